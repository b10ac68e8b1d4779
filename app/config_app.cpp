#include "app/config_app.h"

#include "app/command_line.h"
#include "session/config_session.h"
#include "session/run_state.h"

#ifndef QUILLBANK_VERSION
#define QUILLBANK_VERSION "1.0.0"
#endif

namespace quillbank {
namespace {

std::string ClientRangeMessage(const ClientList& clients) {
  return "ERROR: The \"-c\" value must be a client number from 0 to " +
         std::to_string(clients.size() - 1) + " (" + clients.Numbers() +
         "). Nothing was configured.";
}

// Where a client that does not exist on this system does exist, for the
// refusal: the first kind of system it has a site on.
std::string WhereItExists(const ClientDescriptor& client) {
  return client.site(SystemKind::Windows).exists ? "Windows" : "Linux";
}

// The log's path as the program knows it and, on the machine folder, where
// the file lies on this computer.
std::string LogFileText(const std::string& log_path, SystemServices& system) {
  if (log_path.empty()) return "(none: no application data folder)";
  const std::optional<std::string> host = system.HostPathOf(log_path);
  return host ? log_path + " (" + *host + ")" : log_path;
}

}  // namespace

ConfigApp::ConfigApp(ConfigAppServices services, std::ostream& out, std::ostream& err)
    : services_(std::move(services)), out_(out), err_(err) {}

int ConfigApp::InitInstance(std::string command_text) {
  const bool home = TakeHomeOption(command_text);
  const SystemChoice choice = home ? SystemChoice::UserHome : SystemChoice::Default;
  // The one place that asks which kind of system the run changes: the
  // clients learn their facts for it here, before the system is opened.
  const ClientList clients(services_.clients, services_.kind_of(choice));
  if (command_text == "--help" || command_text == "/?") {
    out_ << UsageText(clients) << "\n";
    return exit_code::kSuccess;
  }
  if (command_text == "--version") {
    out_ << "quillbank " << QUILLBANK_VERSION << "\n";
    return exit_code::kSuccess;
  }

  if (home && services_.machine_named) {
    err_ << "quillbank: --home configures your own "
         << clients.ShortNamesOn(SystemKind::UserHome)
         << ", and QUILLBANK_MACHINE names a machine folder; use one or the other. Nothing was "
            "configured.\n";
    return exit_code::kUsage;
  }

  RunState state;
  const StartMode mode = ReadCommandText(command_text, state);
  if (mode == StartMode::MissingOption) {
    err_ << UsageText(clients) << "\n";
    return exit_code::kUsage;
  }
  if (mode == StartMode::CommandLine && clients.IsIndex(state.client_index) &&
      !clients.ExistsHere(state.client_index)) {
    const ClientDescriptor& client = *clients.At(state.client_index);
    out_ << client.name << " exists only on " << WhereItExists(client)
         << "; on this computer Quillbank can configure " << clients.ShortNamesOn(clients.kind())
         << ".\n";
    return exit_code::kNoConfigurator;
  }
  if (mode != StartMode::Dialog) {
    // Decided before the machine is opened: refused text writes nothing.
    if (const std::optional<std::string> refusal =
            NarrowCommandValues(services_.code_page(choice), state)) {
      out_ << *refusal << "\n";
      return exit_code::kUnsafeInput;
    }
  }
  if (mode == StartMode::Dialog && !services_.run_dialog) {
    err_ << "This build has no dialog; run it from the command line instead.\n"
         << UsageText(clients) << "\n";
    return exit_code::kUsage;
  }

  std::string error;
  std::unique_ptr<SystemServices> system = services_.open_system(choice, error);
  if (!system) {
    err_ << "quillbank: " << error << "\n";
    return exit_code::kMachineUnusable;
  }
  Platform& platform = system->platform();
  std::unique_ptr<ConfiguratorFactory> factory = services_.make_factory(platform, clients);
  if (mode == StartMode::Dialog) {
    return services_.run_dialog(platform, clients, *factory);
  }

  ConfigSession session(platform, clients, *factory, state, nullptr);
  if (session.OnInitDialog()) session.OnConfigure();

  std::string message = state.outcome_message;
  if (!state.refused && state.status == status::kNotRun && state.exit_code == exit_code::kNoConfigurator) {
    message = ClientRangeMessage(clients);
  } else if (message.empty()) {
    message = "ERROR: The configuration failed with error code " + std::to_string(state.status) + ".";
  }
  out_ << message << "\n";
  out_ << "Log file: " << LogFileText(session.log_path(), *system) << "\n";
  return state.exit_code;
}

}  // namespace quillbank
