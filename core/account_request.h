// What every configurator is constructed from. The configurator copies the
// texts and borrows the log, which outlives it.
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
};

}  // namespace quillbank
