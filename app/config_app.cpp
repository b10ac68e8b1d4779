#include "app/config_app.h"

#include "app/command_line.h"
#include "app/help_text.h"
#include "app/long_options.h"
#include "app/run_report.h"
#include "core/input_safety.h"
#include "env/change_preview.h"
#include "env/change_record.h"
#include "env/gsettings_tool.h"
#include "env/preview_services.h"
#include "env/staged_files.h"
#include "env/staged_registry.h"
#include "env/undo_journal.h"
#include "session/config_session.h"
#include "session/run_state.h"
#include "session/undo_session.h"


namespace quillbank {
namespace {

std::string ClientRangeMessage(const ClientList& clients) {
  return "ERROR: The \"-c\" value must be a client number from 0 to " +
         std::to_string(clients.NumberedCount() - 1) + " (" + clients.Numbers() +
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

std::string LogLine(const std::string& log_path, const std::optional<std::string>& host,
                    bool dry_run) {
  return (dry_run ? "Log file (not written in a dry run): " : "Log file: ") +
         LogFileText(log_path, host) + "\n";
}

// Where the log lies on this computer, looked up once for the outcome line
// and for --json: on the machine folder each look-up walks the path's
// folders.
std::optional<std::string> HostLog(const std::string& log_path, SystemServices& system) {
  if (log_path.empty()) return std::nullopt;
  return system.HostPathOf(log_path);
}

// What the run did, for --json: its client and address as it ended up (the
// automatic mode's are the account it copied), and what it changed. A run
// that failed changed nothing: it put back what it had written.
void FillReport(const ConfigSession& session, const std::optional<std::string>& host_log,
                const CodePage& code_page, RunReport& report) {
  const ConfigSession::Account& account = session.account();
  if (const ClientDescriptor* client = session.clients().At(account.client_index)) {
    report.client = client->short_name;
  }
  if (!account.address.empty()) report.address = NarrowToUtf8(code_page, account.address);
  if (account.stored_as) report.account = NarrowToUtf8(code_page, *account.stored_as);
  if (!session.log_path().empty()) report.log = host_log.value_or(session.log_path());
}

// The stores a run changed, for the report: an undo's removal of its
// journal is no change of a store.
std::vector<StoreChange> StoreChanges(const ChangeRecord& record,
                                      const std::optional<std::string>& journals) {
  std::vector<StoreChange> changes;
  for (const StoreChange& change : record.changes()) {
    if (journals && change.store.compare(0, journals->size(), *journals) == 0) continue;
    changes.push_back(change);
  }
  return changes;
}

// The log's lines end with CR LF on every system; shown on a terminal they
// end as its lines do.
std::string WithoutCarriageReturns(std::string text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    shown += text[i];
  }
  return shown;
}

}  // namespace

ConfigApp::ConfigApp(ConfigAppServices services, TextSink out, TextSink err)
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
  StartMode mode = StartMode::CommandLine;
  if (options.undo) {
    // The undo takes the journal's word for what to do: nothing else may
    // be asked of it.
    if (command_text.find_first_not_of(' ') != std::string::npos) {
      err_ << "quillbank: --undo takes no options but --home, --dry-run and --json: "
           << command_text << "\n";
      return exit_code::kUsage;
    }
  } else if (const std::optional<int> refused =
                 ReadCommand(command_text, clients, choice, state, mode, report)) {
    return *refused;
  }

  std::string error;
  std::unique_ptr<SystemServices> system = services_.open_system(
      choice, options.dry_run ? OpenFor::Preview : OpenFor::Change, error);
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
  // The desktop's settings are read and written through its own tool,
  // wherever the system does not offer them itself.
  GSettingsTool gsettings(platform.user, platform.environment);
  Platform with_settings = platform;
  if (!with_settings.settings) with_settings.settings = &gsettings;
  return options.dry_run ? Preview(options, clients, state, *system, with_settings, report)
                         : Change(options, clients, state, *system, with_settings, report);
}

std::optional<int> ConfigApp::ReadCommand(const std::string& command_text,
                                           const ClientList& clients, SystemChoice choice,
                                           RunState& state, StartMode& mode, RunReport& report) {
  mode = ReadCommandText(command_text, state);
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

  return std::nullopt;
}

int ConfigApp::Change(const LongOptions& options, const ClientList& clients, RunState& state,
                      SystemServices& system, Platform& platform, RunReport& report) {
  // Each change is noted in the undo journal before it is made, and the
  // run goes through services that note what it changed, for the report.
  const std::optional<std::string> journals = JournalsFolder(platform);
  JournalWriter journal(platform, journals.value_or(""));
  // An undo keeps no journal of its own: it removes the one it undoes.
  std::optional<JournalingServices> journaled;
  if (journals && !options.undo) journaled.emplace(platform, journal);
  ChangeRecord record;
  RecordingServices recorded(journaled ? journaled->platform() : platform, record);
  Platform& watched = recorded.platform();
  const int exit_code = options.undo ? Undo(watched, clients, system, report)
                                     : Configure(watched, clients, state, system, report);
  journal.Finish(exit_code == exit_code::kSuccess);
  if (exit_code == exit_code::kSuccess) report.changes = StoreChanges(record, journals);
  return exit_code;
}

int ConfigApp::Preview(const LongOptions& options, const ClientList& clients, RunState& state,
                       SystemServices& system, Platform& platform, RunReport& report) {
  // The same run, against services that keep every change in memory.
  PreviewNotes notes;
  StagedFiles staged_files(platform.files, platform.user.PathSeparator());
  StagedRegistry staged_registry(platform.registry);
  PreviewProcesses processes(platform.processes, notes);
  std::optional<PreviewMapi> mapi;
  if (platform.mapi) mapi.emplace(*platform.mapi, notes);
  std::optional<StagedSettings> staged_settings;
  if (platform.settings) staged_settings.emplace(*platform.settings);
  Platform staged_platform = Rewired(platform, staged_registry, staged_files, processes,
                                     mapi ? &*mapi : nullptr,
                                     staged_settings ? &*staged_settings : nullptr);
  ChangeRecord record;
  RecordingServices recorded(staged_platform, record);
  Platform& staged = recorded.platform();
  report.dry_run = true;
  std::string outcome;
  const int exit_code = options.undo ? Undo(staged, clients, system, report, &outcome)
                                     : Configure(staged, clients, state, system, report, &outcome);
  std::vector<std::string> changed_files;
  for (const StoreChange& change : record.changes()) {
    if (change.kind == StoreChange::Kind::File) changed_files.push_back(change.store);
  }
  if (exit_code == exit_code::kSuccess) {
    out_ << ChangePreview(changed_files, staged_registry.Touched(),
                          staged_settings ? staged_settings->staged() : std::vector<StagedSetting>(),
                          {platform.files, staged_files, platform.registry, staged_registry,
                           platform.code_page});
    for (const std::string& note : notes) out_ << note << "\n";
    report.changes = StoreChanges(record, JournalsFolder(platform));
  }
  out_ << "The log would get these lines:\n"
       << WithoutCarriageReturns(NarrowToUtf8(platform.code_page, staged_files.appended()));
  out_ << outcome;
  return exit_code;
}

int ConfigApp::Configure(Platform& platform, const ClientList& clients, RunState& state,
                         SystemServices& system, RunReport& report, std::string* held_outcome) {
  std::unique_ptr<ConfiguratorFactory> factory = services_.make_factory(platform, clients);
  ConfigSession session(platform, clients, *factory, state, nullptr);
  if (session.OnInitDialog()) session.OnConfigure();

  std::string message = state.outcome_message;
  if (!state.refused && state.status == status::kNotRun && state.exit_code == exit_code::kNoConfigurator) {
    message = ClientRangeMessage(clients);
  } else if (message.empty()) {
    message = "ERROR: The configuration failed with error code " + std::to_string(state.status) + ".";
  }
  const std::optional<std::string> host_log = HostLog(session.log_path(), system);
  const std::string outcome =
      message + "\n" + LogLine(session.log_path(), host_log, held_outcome != nullptr);
  if (held_outcome) {
    *held_outcome = outcome;
  } else {
    out_ << outcome;
  }
  FillReport(session, host_log, platform.code_page, report);
  return state.exit_code;
}

int ConfigApp::Undo(Platform& platform, const ClientList& clients, SystemServices& system,
                    RunReport& report, std::string* held_outcome) {
  UndoSession undo(platform, clients);
  const int exit_code = undo.Run();
  const std::optional<std::string> host_log = HostLog(undo.log_path(), system);
  const std::string outcome =
      undo.message() + "\n" + LogLine(undo.log_path(), host_log, held_outcome != nullptr);
  if (held_outcome) {
    *held_outcome = outcome;
  } else {
    out_ << outcome;
  }
  if (!undo.log_path().empty()) report.log = host_log.value_or(undo.log_path());
  return exit_code;
}

}  // namespace quillbank
