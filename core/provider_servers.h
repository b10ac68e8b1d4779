// The provider's fixed servers and the one rule every configurator applies:
// with SSL both directions use the secure host on ports 995 and 465, without
// it the plain hosts on ports 110 and 587.
#pragma once

namespace quillbank {

struct ProviderServers {
  static constexpr const char* kIncomingHost = "pop.tessaline.net";
  static constexpr const char* kOutgoingHost = "smtp.tessaline.net";
  static constexpr const char* kSecureHost = "secure.tessaline.net";
  static constexpr int kPlainIncomingPort = 110;
  static constexpr int kPlainOutgoingPort = 587;
  static constexpr int kSecureIncomingPort = 995;
  static constexpr int kSecureOutgoingPort = 465;
};

// The servers and ports an account gets for one choice of SSL.
struct ServerSettings {
  const char* incoming_host;
  const char* outgoing_host;
  int incoming_port;
  int outgoing_port;
};

[[nodiscard]] constexpr ServerSettings ServersFor(bool use_ssl) {
  if (use_ssl) {
    return {ProviderServers::kSecureHost, ProviderServers::kSecureHost,
            ProviderServers::kSecureIncomingPort, ProviderServers::kSecureOutgoingPort};
  }
  return {ProviderServers::kIncomingHost, ProviderServers::kOutgoingHost,
          ProviderServers::kPlainIncomingPort, ProviderServers::kPlainOutgoingPort};
}

}  // namespace quillbank
