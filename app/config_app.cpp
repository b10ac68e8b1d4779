#include "app/config_app.h"

#include "app/command_line.h"
#include "app/help_text.h"
#include "app/long_options.h"
#include "app/run_report.h"
#include "core/input_safety.h"
#include "env/change_record.h"
#include "session/config_session.h"
#include "session/run_state.h"


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
// the file lies on this computer (`host`).
std::string LogFileText(const std::string& log_path, const std::optional<std::string>& host) {
  if (log_path.empty()) return "(none: no application data folder)";
  return host ? log_path + " (" + *host + ")" : log_path;
}

// What the run did, for --json: its client and address as it ended up (the
// automatic mode's are the account it copied), and what it changed. A run
// that failed changed nothing: it put back what it had written.
void FillReport(const ConfigSession& session, const std::optional<std::string>& host_log,
                const CodePage& code_page, int exit_code, const ChangeRecord& record,
                RunReport& report) {
  const ConfigSession::Account& account = session.account();
  if (const ClientDescriptor* client = session.clients().At(account.client_index)) {
    report.client = client->short_name;
  }
  if (!account.address.empty()) report.address = NarrowToUtf8(code_page, account.address);
  if (!session.log_path().empty()) report.log = host_log.value_or(session.log_path());
  if (exit_code == exit_code::kSuccess) report.changes = record.changes();
}

}  // namespace

ConfigApp::ConfigApp(ConfigAppServices services, TextOut out, TextOut err)
    : services_(std::move(services)), out_(out), err_(err) {}

int ConfigApp::InitInstance(std::string command_text) {
  const LongOptions options = TakeLongOptions(command_text);
  RunReport report;
  report.exit_code = Run(options, command_text, report);
  if (options.json && !dialog_ran_) out_ << JsonLine(report) << "\n";
  return report.exit_code;
}

int ConfigApp::Run(const LongOptions& options, const std::string& command_text, RunReport& report) {
  const SystemChoice choice = options.home ? SystemChoice::UserHome : SystemChoice::Default;
  // The one place that asks which kind of system the run changes: the
  // clients learn their facts for it here, before the system is opened.
  const ClientList clients(services_.clients, services_.kind_of(choice));
  if (options.unknown) {
    err_ << "quillbank: unknown option: " << *options.unknown << "\n";
    return exit_code::kUsage;
  }
  if (options.help) {
    out_ << HelpText(clients);
    return exit_code::kSuccess;
  }
  if (options.version) {
    out_ << "quillbank " << QUILLBANK_VERSION << "\n";
    return exit_code::kSuccess;
  }

  if (options.home && services_.machine_named) {
    err_ << "quillbank: --home configures your own "
         << clients.ShortNamesOn(SystemKind::UserHome)
         << ", and QUILLBANK_MACHINE names a machine folder; use one or the other. Nothing was "
            "configured.\n";
    return exit_code::kUsage;
  }

  RunState state;
  const StartMode mode = ReadCommandText(command_text, state);
  if (mode == StartMode::MissingOption) {
    err_ << UsageText(clients);
    return exit_code::kUsage;
  }
  if (mode == StartMode::CommandLine) {
    report.address = state.address;
    // The dialog keeps Configure disabled for such an address; the command
    // line refuses it before anything is read or written.
    if (!IsValidAddress(state.address)) {
      err_ << "quillbank: not an email address: " << state.address << "\n";
      return exit_code::kUsage;
    }
  }
  if (mode == StartMode::CommandLine && clients.IsIndex(state.client_index)) {
    const ClientDescriptor& client = *clients.At(state.client_index);
    report.client = client.short_name;
    if (!clients.ExistsHere(state.client_index)) {
      out_ << client.name << " exists only on " << WhereItExists(client)
           << "; on this computer Quillbank can configure " << clients.ShortNamesOn(clients.kind())
           << ".\n";
      return exit_code::kNoConfigurator;
    }
  }
  const CodePage& code_page = services_.code_page(choice);
  if (mode != StartMode::Dialog) {
    // Decided before the machine is opened: refused text writes nothing.
    if (const std::optional<std::string> refusal = NarrowCommandValues(code_page, state)) {
      out_ << *refusal << "\n";
      return exit_code::kUnsafeInput;
    }
  }
  if (mode == StartMode::Dialog && !services_.run_dialog) {
    err_ << "This build has no dialog; run it from the command line instead.\n"
         << UsageText(clients);
    return exit_code::kUsage;
  }

  std::string error;
  std::unique_ptr<SystemServices> system = services_.open_system(choice, error);
  if (!system) {
    err_ << "quillbank: " << error << "\n";
    return exit_code::kMachineUnusable;
  }
  Platform& platform = system->platform();
  if (mode == StartMode::Dialog) {
    std::unique_ptr<ConfiguratorFactory> factory = services_.make_factory(platform, clients);
    dialog_ran_ = true;
    return services_.run_dialog(platform, clients, *factory);
  }

  // The run goes through services that note what it changes, for the report.
  ChangeRecord record;
  RecordingFiles files(platform.files, record);
  RecordingRegistry registry(platform.registry, record);
  Platform recorded{registry,          files,         platform.environment, platform.processes,
                    platform.clock,    platform.uuids, platform.code_page,  platform.user,
                    platform.mapi,     platform.run_lock};
  std::unique_ptr<ConfiguratorFactory> factory = services_.make_factory(recorded, clients);
  ConfigSession session(recorded, clients, *factory, state, nullptr);
  if (session.OnInitDialog()) session.OnConfigure();

  std::string message = state.outcome_message;
  if (!state.refused && state.status == status::kNotRun && state.exit_code == exit_code::kNoConfigurator) {
    message = ClientRangeMessage(clients);
  } else if (message.empty()) {
    message = "ERROR: The configuration failed with error code " + std::to_string(state.status) + ".";
  }
  out_ << message << "\n";
  // Where the log lies is looked up once, for the line and for --json: on the
  // machine folder each look-up walks the path's folders.
  std::optional<std::string> host_log;
  if (!session.log_path().empty()) host_log = system->HostPathOf(session.log_path());
  out_ << "Log file: " << LogFileText(session.log_path(), host_log) << "\n";
  FillReport(session, host_log, code_page, state.exit_code, record, report);
  return state.exit_code;
}

}  // namespace quillbank
