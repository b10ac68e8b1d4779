#include "clients/evolution/evolution_client.h"

#include "clients/common/client_description.h"
#include "clients/evolution/evolution_configurator.h"

namespace quillbank {
namespace {

std::string StatusMessage(ConfigStatus status) {
  // The sources folder is unknown or a source could not be read.
  if (status == status::kCannotConfigure) return kUnableToConfigure;
  return "";
}

std::unique_ptr<AutoModeConfigurator> Make(Platform& platform, const AccountRequest& request,
                                           const ClientOnSystem&) {
  return std::make_unique<EvolutionConfigurator>(platform, request);
}

// Installed when the program is on PATH or a package's desktop entry is
// there; its sources folder alone (left by an uninstalled Evolution, or made
// by the data server for another program) is not enough. The registry
// service may keep running while sources change: it is not the client.
ClientSite HomeEvolution() {
  ClientSite site;
  site.exists = true;
  site.program_on_path = evolution::kProgram;
  site.desktop_entry = evolution::kDesktopEntry;
  site.processes = {"evolution"};
  site.line_end = "\n";
  return site;
}

}  // namespace

const ClientDescriptor& EvolutionClient() {
  static const ClientDescriptor client = [] {
    ClientDescriptor evolution{};
    evolution.default_code = 6;
    evolution.name = "GNOME Evolution";
    evolution.short_name = "Evolution";
    evolution.app_paths_entry = "";
    evolution.mailto_marker = "evolution";
    evolution.has_default_option = false;
    evolution.detection_rank = 5;
    // No button: the dialog is Windows'.
    evolution.button = RadioButtonPlace{};
    evolution.sites[static_cast<std::size_t>(SystemKind::UserHome)] = HomeEvolution();
    evolution.status_message = StatusMessage;
    evolution.make_configurator = ConfiguratorOf<Make>;
    evolution.make_reader = ReaderOf<Make>;
    return evolution;
  }();
  return client;
}

}  // namespace quillbank
