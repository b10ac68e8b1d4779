// quillbank_manpage: prints the manual page of the Linux program (the
// clients of the machine folder) in roff, to stdout or to the file named by
// its one argument. The build runs it to make quillbank.1.gz for the package.
#include <fstream>
#include <iostream>

#include "app/client_configurators.h"
#include "app/manual_page.h"

int main(int argc, char** argv) {
  using namespace quillbank;
  const std::string page = ManualPage(ClientList(AllClients(), SystemKind::MachineFolder));
  if (argc < 2) {
    std::cout << page;
    return std::cout.flush() ? 0 : 1;
  }
  std::ofstream file(argv[1], std::ios::binary);
  file << page;
  file.close();
  if (!file) {
    std::cerr << "quillbank_manpage: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
