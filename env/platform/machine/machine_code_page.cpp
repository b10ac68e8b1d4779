// The machine folder stands in for a Windows machine set up for Western
// Europe and the Americas: its narrow text is Windows-1252.
#include "env/platform/system.h"

namespace quillbank {

const CodePage& SystemCodePage() { return Windows1252(); }

}  // namespace quillbank
