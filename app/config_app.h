// The application object: reads the command text, chooses the mode and runs
// the program. The dialog mode is handed to a dialog runner (none on systems
// without a dialog host); the command-line and automatic modes run the
// session without a window and tell the person who started them the outcome.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/client_configurators.h"
#include "app/command_line.h"
#include "app/long_options.h"
#include "app/run_report.h"
#include "core/client_list.h"
#include "core/text_sink.h"
#include "session/run_state.h"

#include "session/configurator_factory.h"
#include "env/platform/system.h"

namespace quillbank {

struct ConfigAppServices {
  // Opens the system the program works on; may fail (exit 69).
  std::function<std::unique_ptr<SystemServices>(SystemChoice choice, OpenFor purpose,
                                                 std::string& error)>
      open_system;
  // Every client the program knows, in client index order.
  std::vector<const ClientDescriptor*> clients = AllClients();
  // The kind of system a choice opens (see KindOfSystem).
  std::function<SystemKind(SystemChoice)> kind_of = [](SystemChoice choice) {
    return choice == SystemChoice::UserHome ? SystemKind::UserHome : SystemKind::MachineFolder;
  };
  // Makes the configurator factory for a platform and the run's clients.
  std::function<std::unique_ptr<ConfiguratorFactory>(Platform&, const ClientList&)> make_factory;
  // The code page the program's narrow text is in (see SystemCodePage).
  std::function<const CodePage&(SystemChoice)> code_page = [](SystemChoice choice) -> const CodePage& {
    return choice == SystemChoice::UserHome ? Utf8() : Windows1252();
  };
  // True when QUILLBANK_MACHINE names a machine folder, which the home mode
  // cannot honour.
  bool machine_named = false;
  // Runs the modal dialog; empty where there is no dialog host.
  std::function<int(Platform&, const ClientList&, ConfiguratorFactory&)> run_dialog;
};

class ConfigApp {
 public:
  ConfigApp(ConfigAppServices services, TextSink out, TextSink err);

  // Runs the whole program for one command text and returns the exit code.
  // The long options may stand anywhere: "--home" chooses the user's own
  // home, "--json" ends the output with one line of JSON.
  int InitInstance(std::string command_text);

 private:
  // The run itself; fills what --json reports as it goes.
  int Run(const LongOptions& options, const std::string& command_text, RunReport& report);
  // Reads the command text and refuses what cannot run, before anything is
  // opened: the exit code then, none when the run goes on.
  std::optional<int> ReadCommand(const std::string& command_text, const ClientList& clients,
                                 SystemChoice choice, RunState& state, StartMode& mode,
                                 RunReport& report);
  // A run that changes the system (through `platform`, the system's
  // services with the desktop's settings), each change noted in the undo
  // journal first.
  int Change(const LongOptions& options, const ClientList& clients, RunState& state,
             SystemServices& system, Platform& platform, RunReport& report);
  // A dry run: the same run against services that keep every change in
  // memory, then what it would change, its log lines and its outcome.
  int Preview(const LongOptions& options, const ClientList& clients, RunState& state,
              SystemServices& system, Platform& platform, RunReport& report);
  // The configuring run and the undo run on the services given. With
  // `held_outcome` the outcome lines are kept there rather than printed.
  int Configure(Platform& platform, const ClientList& clients, RunState& state,
                SystemServices& system, RunReport& report, std::string* held_outcome = nullptr);
  int Undo(Platform& platform, const ClientList& clients, SystemServices& system,
           RunReport& report, std::string* held_outcome = nullptr);

  ConfigAppServices services_;
  TextSink out_;
  TextSink err_;
  bool dialog_ran_ = false;  // the dialog reports to its user, not in JSON
};

}  // namespace quillbank
