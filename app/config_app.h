// The application object: reads the command text, chooses the mode and runs
// the program. The dialog mode is handed to a dialog runner (none on systems
// without a dialog host); the command-line and automatic modes run the
// session without a window and tell the person who started them the outcome.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "session/configurator_factory.h"
#include "env/platform/system.h"

namespace quillbank {

struct ConfigAppServices {
  // Opens the machine the program works on; may fail (exit 69).
  std::function<std::unique_ptr<SystemServices>(std::string& error)> open_system;
  // Makes the configurator factory for a platform.
  std::function<std::unique_ptr<ConfiguratorFactory>(Platform&)> make_factory;
  // The code page the program's narrow text is in (see SystemCodePage).
  const CodePage* code_page = &Windows1252();
  // Runs the modal dialog; empty where there is no dialog host.
  std::function<int(Platform&, ConfiguratorFactory&)> run_dialog;
};

class ConfigApp {
 public:
  ConfigApp(ConfigAppServices services, std::ostream& out, std::ostream& err);

  // Runs the whole program for one command text and returns the exit code.
  int InitInstance(const std::string& command_text);

 private:
  ConfigAppServices services_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace quillbank
