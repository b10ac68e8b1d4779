// The kinds of system a run can change. The application chooses one before
// the system is opened and hands each client its facts for that kind.
#pragma once

#include <cstddef>

namespace quillbank {

enum class SystemKind { Windows, MachineFolder, UserHome };
inline constexpr std::size_t kSystemKindCount = 3;

}  // namespace quillbank
