// The signed result of a configurator's Configure. 0 is success, -1 means no
// configurator ran, positive values are failure causes. Each configurator has
// its own causes; the ones below may come from any of them.
#pragma once

namespace quillbank {

using ConfigStatus = int;

namespace status {
inline constexpr ConfigStatus kSuccess = 0;
inline constexpr ConfigStatus kNotRun = -1;
inline constexpr ConfigStatus kCannotConfigure = 1;
inline constexpr ConfigStatus kAlreadyExists = 5;
inline constexpr ConfigStatus kAutoAccountExists = 6;
// A store file could not be replaced completely; the old file stays.
inline constexpr ConfigStatus kWriteFailed = 7;
// The address or display name holds characters that cannot be stored safely.
inline constexpr ConfigStatus kUnsafeInput = 30;
}  // namespace status

}  // namespace quillbank
