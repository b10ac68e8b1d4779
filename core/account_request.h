// What a configurator is made from, complete: it copies the texts and
// borrows the log, which outlives it, and nothing changes them afterwards.
#pragma once

#include <string>
#include <utility>

namespace quillbank {

class RunLog;

struct AccountRequest {
  AccountRequest(std::string address_in, std::string display_name_in, bool make_default_in,
                 bool overwrite_existing_in, bool use_ssl_in, RunLog& log_in,
                 bool automatic_in = false, std::string prefix_in = "")
      : address(std::move(address_in)),
        display_name(std::move(display_name_in)),
        make_default(make_default_in),
        overwrite_existing(overwrite_existing_in),
        use_ssl(use_ssl_in),
        log(log_in),
        automatic(automatic_in),
        prefix(std::move(prefix_in)) {}

  std::string address;
  std::string display_name;
  bool make_default = false;
  bool overwrite_existing = false;
  bool use_ssl = true;
  RunLog& log;
  // The automatic mode's copy of an account: named by the prefix followed
  // directly by the address, and found again by that name.
  bool automatic = false;
  std::string prefix;

  // Prefix + address in the automatic mode, the address otherwise.
  [[nodiscard]] std::string AccountName() const { return automatic ? prefix + address : address; }
};

}  // namespace quillbank
