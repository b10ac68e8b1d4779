// Quillbank: sets up the provider's POP3 account in the user's mail client.
#include <cstdlib>

#include "app/command_line.h"
#include "app/config_app.h"
#include "app/client_configurators.h"
#include "core/text_sink.h"
#include "env/platform/system.h"
#include "ui/dialog_mode.h"

int main(int argc, char** argv) {
  using namespace quillbank;
  AttachToParentConsole();
  ConfigAppServices services;
  services.open_system = [](SystemChoice choice, OpenFor purpose, std::string& error) {
    SystemOpenResult opened = OpenSystem(choice, purpose);
    error = opened.error;
    return std::move(opened.services);
  };
  services.code_page = [](SystemChoice choice) -> const CodePage& { return SystemCodePage(choice); };
  const char* machine = std::getenv("QUILLBANK_MACHINE");
  services.machine_named = machine && *machine;
  services.kind_of = KindOfSystem;
  services.make_factory = [](Platform& platform, const ClientList& clients) {
    return MakeClientConfiguratorFactory(platform, clients);
  };
  if (HasDialogHost()) services.run_dialog = RunDialogMode;
  ConfigApp app(std::move(services), StandardOutput(), StandardError());
  return app.InitInstance(SystemCommandText().value_or(CommandTextFromArguments(argc, argv)));
}
