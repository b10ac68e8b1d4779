// The machine folder has no MAPI. This stand-in keeps MAPI's profiles where
// Windows keeps them, as keys of the current user's registry, and does what
// the program relies on when it adds an Internet mail service: the profile
// gets a new section, under a fresh name, that names the service's entry point.
#include <algorithm>

#include "env/platform/mapi.h"
#include "env/platform/platform.h"

namespace quillbank {
namespace {

std::string ProfilePath(const std::string& profile) {
  return std::string(kMapiProfilesKey) + "\\" + profile;
}

struct KnownService {
  const char* name;
  const char* entry_point;
};
constexpr KnownService kKnownServices[] = {{"IMAIL", "MailServiceEntry"}};

std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

bool ProfileExists(Registry& registry, const std::string& profile) {
  if (profile.empty() || profile.find('\\') != std::string::npos) return false;
  std::unique_ptr<RegistryKey> key;
  return registry.Open(RegRoot::CurrentUser, ProfilePath(profile), RegAccess::Read, key) ==
         win32_error::kSuccess;
}

class StandInServiceAdmin final : public MapiServiceAdmin {
 public:
  StandInServiceAdmin(Registry& registry, UuidSource& uuids, std::string profile)
      : registry_(registry), uuids_(uuids), profile_(std::move(profile)) {}

  MapiResult CreateMsgService(const std::string& service, const std::string& display_name) override {
    const auto known = std::find_if(std::begin(kKnownServices), std::end(kKnownServices),
                                    [&](const KnownService& s) { return service == s.name; });
    if (known == std::end(kKnownServices)) return mapi_result::kNotFound;
    if (!ProfileExists(registry_, profile_)) return mapi_result::kNotFound;

    // MAPI names a section by a UID: 16 bytes as 32 hex digits.
    std::string section = uuids_.NewUuid();
    section.erase(std::remove(section.begin(), section.end(), '-'), section.end());
    std::unique_ptr<RegistryKey> key;
    if (registry_.Create(RegRoot::CurrentUser, ProfilePath(profile_) + "\\" + section, key) !=
        win32_error::kSuccess) {
      return mapi_result::kFail;
    }
    if (key->SetValue("001e3d09", reg_type::kSz, Sz(known->name)) != win32_error::kSuccess ||
        key->SetValue("001e3d0b", reg_type::kSz, Sz(known->entry_point)) != win32_error::kSuccess ||
        key->SetValue("001e3001", reg_type::kSz, Sz(display_name)) != win32_error::kSuccess) {
      return mapi_result::kFail;
    }
    return mapi_result::kOk;
  }

 private:
  Registry& registry_;
  UuidSource& uuids_;
  std::string profile_;
};

class StandInProfileAdmin final : public MapiProfileAdmin {
 public:
  StandInProfileAdmin(Registry& registry, UuidSource& uuids) : registry_(registry), uuids_(uuids) {}

  MapiResult AdminServices(const std::string& profile,
                           std::unique_ptr<MapiServiceAdmin>& admin) override {
    if (!ProfileExists(registry_, profile)) return mapi_result::kNotFound;
    admin = std::make_unique<StandInServiceAdmin>(registry_, uuids_, profile);
    return mapi_result::kOk;
  }

 private:
  Registry& registry_;
  UuidSource& uuids_;
};

class StandInSession final : public MapiSession {};

class RegistryMapiStandIn final : public MapiAdmin {
 public:
  RegistryMapiStandIn(Registry& registry, UuidSource& uuids) : registry_(registry), uuids_(uuids) {}

  MapiResult Initialize() override {
    ++initialized_;
    return mapi_result::kOk;
  }
  MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) override {
    if (initialized_ == 0) return mapi_result::kNotInitialized;
    admin = std::make_unique<StandInProfileAdmin>(registry_, uuids_);
    return mapi_result::kOk;
  }
  MapiResult LogonEx(const std::string& profile, std::unique_ptr<MapiSession>& session) override {
    if (initialized_ == 0) return mapi_result::kNotInitialized;
    if (!ProfileExists(registry_, profile)) return mapi_result::kLogonFailed;
    session = std::make_unique<StandInSession>();
    return mapi_result::kOk;
  }
  void Uninitialize() override {
    if (initialized_ > 0) --initialized_;
  }

 private:
  Registry& registry_;
  UuidSource& uuids_;
  int initialized_ = 0;
};

}  // namespace

std::unique_ptr<MapiAdmin> MakeRegistryMapiStandIn(Registry& registry, UuidSource& uuids) {
  return std::make_unique<RegistryMapiStandIn>(registry, uuids);
}

}  // namespace quillbank
