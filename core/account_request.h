// What a configurator is made from, complete: it copies the texts and
// borrows the log, which outlives it, and nothing changes them afterwards.
#pragma once

#include <string>

namespace quillbank {

class RunLog;

struct AccountRequest {
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
