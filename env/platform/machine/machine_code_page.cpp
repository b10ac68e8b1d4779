// The machine folder stands in for a Windows machine set up for Western
// Europe and the Americas: its narrow text is Windows-1252. The user's home
// on Linux is UTF-8 throughout.
#include "env/platform/system.h"

namespace quillbank {

const CodePage& SystemCodePage(SystemChoice choice) {
  return choice == SystemChoice::UserHome ? Utf8() : Windows1252();
}

}  // namespace quillbank
