#include "session/config_session.h"

#include <algorithm>
#include <vector>

#include "core/input_safety.h"
#include "session/status_message.h"
#include "env/client_detection.h"
#include "env/registry_access.h"
#include "env/user_folders.h"

namespace quillbank {
namespace {

constexpr const char* kRefusalText = "Please exit all running email clients, and then restart Quillbank.";
constexpr const char* kMachineBusyText = "Another Quillbank run is changing this machine; try again.";

// The indexes of the clients this system numbers, in the order detection
// tests and logs them: by each client's rank.
std::vector<int> DetectionOrder(const ClientList& clients) {
  std::vector<int> order;
  for (int index = 0; index < clients.NumberedCount(); ++index) order.push_back(index);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return clients.At(a)->detection_rank < clients.At(b)->detection_rank;
  });
  return order;
}

}  // namespace

struct AutomaticFailure {
  const char* name;
  const char* description;
  int exit_code;
};
static constexpr AutomaticFailure kNoDefault{
    "noDefault",
    "The system's default email client's default account could not be identified using your "
    "search criteria.",
    exit_code::kNoDefault};
static constexpr AutomaticFailure kDefaultDoesNotExist{
    "defaultDNE", "The system's default email client's default account no longer exists.",
    exit_code::kDefaultDoesNotExist};
static constexpr AutomaticFailure kUnsupportedDefault{
    "unsupportedDef", "The system's default email client is not supported by Quillbank.",
    exit_code::kUnsupportedDefault};

ConfigSession::ConfigSession(Platform& platform, const ClientList& clients,
                             ConfiguratorFactory& factory, RunState& state, RunView* view)
    : platform_(platform), clients_(clients), factory_(factory), state_(state), view_(view) {}

// ------------------------------------------------------------ initialisation

bool ConfigSession::OnInitDialog() {
  if (view_) view_->PrepareControls();
  default_client_code_ = -1;
  OpenLog();
  WriteBanner();
  DetectInstalledClients();
  if (CloseRunningClients(platform_, clients_, state_.close_running, log_) ==
      RunningClients::Running) {
    Refuse();
    return false;
  }
  DetectDefaultClient();
  return true;
}

void ConfigSession::OpenLog() {
  const std::optional<std::string> folder = LogFolder(platform_);
  if (!folder) return;  // no defined place: the run goes on without a log
  log_path_ = JoinPath(platform_, *folder, "Quillbank.log");
  log_.Open(platform_.files.OpenForAppend(log_path_));
}

void ConfigSession::WriteBanner() {
  log_.Line("Quillbank - Tessaline Log");
  log_.Line("-------------------------------------------");
  log_.EmptyLine();
  const std::string time = TimeStamp(platform_.clock);
  log_ << (state_.command_line ? "* Beginning Configuration (command line) at "
                               : "* Beginning Configuration at ")
       << time << " *" << kEndLine;
  log_.EmptyLine();
}

void ConfigSession::DetectInstalledClients() {
  versions_.assign(static_cast<std::size_t>(clients_.size()), -1);
  for (const int index : DetectionOrder(clients_)) {
    const ClientDescriptor& client = *clients_.At(index);
    log_ << "Searching for " << client.name << " ... ";
    if (IsClientInstalled(platform_, clients_.SiteOf(index))) {
      log_ << "found.";
      if (client.read_version) {
        versions_[static_cast<std::size_t>(index)] = client.read_version(platform_.registry);
        log_ << " (Version " << versions_[static_cast<std::size_t>(index)] << ")";
      }
    } else {
      if (view_) view_->DisableClientButton(index);
      log_ << "not detected.";
    }
    log_ << kEndLine;
  }
  log_.EmptyLine();
}

void ConfigSession::Refuse() {
  EndRefused("Running Email Client Detected. Closing.", kRefusalText, exit_code::kClientRunning);
}

void ConfigSession::RefuseBusyMachine() {
  EndRefused(kMachineBusyText, kMachineBusyText, exit_code::kMachineBusy);
}

// A run that ends before any configurator ran: the reason and the
// termination line in the log, the message in the view, the exit code.
void ConfigSession::EndRefused(const char* log_line, const char* message, int exit_code) {
  if (view_) {
    view_->ShowResultView(false);
    view_->SetIntroText(message);
  }
  const std::string time = TimeStamp(platform_.clock);
  log_.Line(log_line);
  log_.EmptyLine();
  log_ << "* Configuration Incomplete. Terminated automatically at " << time << " *" << kEndLine;
  log_.EmptyLine();
  log_.Close();
  state_.refused = true;
  state_.outcome_message = message;
  state_.exit_code = exit_code;
}

void ConfigSession::DetectDefaultClient() {
  const DefaultClientFound found = DefaultClient(platform_, clients_);
  default_client_code_ = found.code;
  log_ << "Detecting default email client ... ";
  if (!view_) {
    log_ << "done.";
  } else {
    const int client_index = clients_.IndexWithDefaultCode(default_client_code_);
    if (clients_.IsIndex(client_index) && view_->IsClientButtonEnabled(client_index)) {
      view_->TickClientButton(client_index);
      log_ << "found. (" << clients_.Name(client_index) << ")";
    } else {
      log_ << "unrecognized.";
    }
  }
  log_ << kEndLine;
  if (found.asked_desktop) LogDesktopHandler(found);
  log_.EmptyLine();
}

// Where the home's default client came from: the desktop file and the
// mimeapps.list that named it, or the client taken when none names one.
void ConfigSession::LogDesktopHandler(const DefaultClientFound& found) {
  log_ << "Default email client: ";
  if (found.handler) {
    log_ << LogValue(found.handler->desktop_id) << " (" << LogValue(found.handler->list_file)
         << ")";
  } else {
    log_ << "none set";
    const ClientDescriptor* client = clients_.At(clients_.IndexWithDefaultCode(found.code));
    if (client) log_ << "; " << client->short_name;
  }
  log_ << kEndLine;
}

// ------------------------------------------------------------ configuration

void ConfigSession::OnConfigure() {
  // Held from before the first store is read (the automatic mode reads the
  // default account first), so no other run changes a store between this
  // run's reading and writing it.
  // A run that names no client reads and writes no store: it needs no lock,
  // and does not read the machine's hives again under one.
  const bool reads_a_store = state_.automatic || clients_.IsIndex(state_.client_index);
  RunLock* lock = reads_a_store ? platform_.run_lock : nullptr;
  if (lock && !lock->Acquire(kRunLockWaitMs)) {
    RefuseBusyMachine();
    return;
  }
  const HeldRunLock held(lock);
  Configure();
}

void ConfigSession::Configure() {
  if (state_.automatic) {
    if (!PrepareAutomaticRun()) return;  // ended with one of the automatic failures
  } else {
    if (view_) view_->ReadControls();
    run_ = {state_.client_index, state_.address, state_.display_name, std::nullopt};
    log_ << "User Entered Email Address: " << LogValue(run_.address) << kEndLine;
    log_ << "User Entered Display Name: " << LogValue(run_.display_name) << kEndLine;
  }

  log_ << "Make Account Default: " << YesNo(state_.make_default) << kEndLine;
  log_ << "Overwrite Existing Account: " << YesNo(state_.overwrite_existing) << kEndLine;

  ConfigStatus status = status::kNotRun;
  if (clients_.IsIndex(run_.client_index)) {
    log_ << "Client Selected to Configure: " << clients_.Name(run_.client_index) << kEndLine;
    log_.EmptyLine();
    status = RunConfigurator();
  }
  ReportOutcome(status);
}

AccountRequest ConfigSession::MakeRequest() {
  AccountRequest request{run_.address, run_.display_name, state_.make_default,
                         state_.overwrite_existing, state_.use_ssl, log_};
  request.automatic = state_.automatic;
  request.prefix = state_.account_prefix;
  return request;
}

ConfigStatus ConfigSession::RunConfigurator() {
  // Addresses become registry key names and file content: refuse what could
  // nest keys or break a client's file before anything is written.
  if (IsUnsafeAddress(run_.address) || IsUnsafeDisplayName(run_.display_name)) {
    return status::kUnsafeInput;
  }
  const std::unique_ptr<Configurator> configurator =
      factory_.Create(run_.client_index, VersionOf(run_.client_index), MakeRequest());
  if (!configurator) return status::kCannotConfigure;
  const ConfigStatus status = configurator->Configure();
  run_.stored_as = configurator->stored_as();
  if (status != status::kSuccess) return status;
  const ConfigStatus committed = CommitRegistry();
  if (committed != status::kSuccess) run_.stored_as.reset();
  return committed;
}

ConfigStatus ConfigSession::CommitRegistry() {
  // The machine folder keeps the run's registry changes in memory until now;
  // a hive that cannot be written fails the run with nothing changed.
  const long result = platform_.registry.Commit();
  if (result == win32_error::kSuccess) return status::kSuccess;
  log_ << "Could not save the registry changes (error " << result << "). Nothing was changed."
       << kEndLine;
  return status::kWriteFailed;
}

bool ConfigSession::PrepareAutomaticRun() {
  log_.Line("Automatically Configuring from default email client's default account.");
  const int client_index = clients_.IndexWithDefaultCode(default_client_code_);
  std::unique_ptr<AccountReader> reader;
  if (clients_.IsIndex(client_index)) {
    reader = factory_.CreateReader(client_index, VersionOf(client_index), log_);
  }
  // A default client without readers is reported as unsupported rather than
  // configured from empty texts.
  if (!reader) {
    FailAutomaticRun(kUnsupportedDefault);
    return false;
  }
  // A client whose store the program leaves alone ends the run as its
  // configurator would, with nothing read.
  if (const std::optional<ConfigStatus> refused = reader->RefusesToRead()) {
    run_ = {client_index, "", "", std::nullopt};
    ReportOutcome(*refused);
    return false;
  }

  const std::optional<std::string> key =
      state_.search_text ? reader->FindAcctByAddr(*state_.search_text) : reader->GetDefAcct();
  const std::optional<std::string> address = reader->GetAcctAddr(key);
  const std::optional<std::string> name = reader->GetAcctName(key);
  if (!key && state_.search_text) {
    FailAutomaticRun(kNoDefault);
    return false;
  }
  // An account whose address or name cannot be read is not copied: the copy
  // would carry the error text as its address or name.
  if (!address || !name) {
    FailAutomaticRun(kDefaultDoesNotExist);
    return false;
  }
  run_ = {client_index, *address, *name, std::nullopt};
  log_ << "Default Email Address: " << LogValue(run_.address) << kEndLine;
  log_ << "Default Display Name: " << LogValue(run_.display_name) << kEndLine;
  return true;
}

void ConfigSession::FailAutomaticRun(const AutomaticFailure& failure) {
  const std::string time = TimeStamp(platform_.clock);
  log_ << "Email Client Configuration failed with error : " << failure.name << kEndLine;
  log_ << "Description: " << failure.description << kEndLine;
  log_ << "* Configuration Failed at " << time << " *" << kEndLine;
  log_.EmptyLine();
  log_.Close();
  state_.outcome_message = failure.description;
  state_.exit_code = failure.exit_code;
}

void ConfigSession::ReportOutcome(ConfigStatus status) {
  state_.status = status;
  state_.run_succeeded = status == status::kSuccess;
  if (view_) view_->ShowResultView(state_.run_succeeded);

  if (state_.run_succeeded) {
    log_.Line("Email Client Configuration Successful!");
    log_.EmptyLine();
    state_.outcome_message = SuccessMessage(clients_.At(run_.client_index));
    if (view_) view_->SetIntroText(state_.outcome_message);
    log_ << "* Configuration Complete at " << TimeStamp(platform_.clock) << " *" << kEndLine;
    log_.EmptyLine();
  } else {
    const ClientDescriptor* client = clients_.At(run_.client_index);
    state_.outcome_message = StatusMessage(client, status);
    if (view_) view_->SetIntroText(state_.outcome_message);
    const std::string time = TimeStamp(platform_.clock);
    log_ << "Email Client Configuration failed with error code: " << StatusNumber(status) << kEndLine;
    log_ << "Description: " << state_.outcome_message << kEndLine;
    if (client && client->log_failure) client->log_failure(platform_, status, log_);
    log_ << "* Configuration Failed at " << time << " *" << kEndLine;
    log_.EmptyLine();
  }
  log_.Close();
  state_.exit_code = ExitCodeForStatus(status);
}

void ConfigSession::ReopenLog() {
  if (log_.IsOpen() || log_path_.empty()) return;
  log_.Open(platform_.files.OpenForAppend(log_path_));
}

void ConfigSession::LogTerminatedByUser() {
  log_ << "* Configuration Incomplete. Terminated by user at " << TimeStamp(platform_.clock)
       << " *" << kEndLine;
  log_.EmptyLine();
  log_.Close();
}

int ConfigSession::VersionOf(int client_index) const {
  if (client_index < 0 || static_cast<std::size_t>(client_index) >= versions_.size()) return -1;
  return versions_[static_cast<std::size_t>(client_index)];
}

int ExitCodeForStatus(ConfigStatus status) {
  if (status == status::kSuccess) return exit_code::kSuccess;
  if (status == status::kNotRun) return exit_code::kNoConfigurator;
  return StatusNumber(status);
}

}  // namespace quillbank
