// The file-name patterns a folder listing takes, as Windows matches them.
#pragma once

#include <string>
#include <string_view>

namespace quillbank {

// True when `name` matches `pattern`, where "*" stands for any run of
// characters (none included) and "?" for exactly one. The letters A to Z
// match without regard to case, as on Windows' file systems; other bytes
// match only themselves.
[[nodiscard]] bool MatchesWildcard(std::string_view name, std::string_view pattern);

// The name with the letters a to z upper-cased: the form in which names are
// compared without regard to case, and by which NTFS orders a listing.
[[nodiscard]] std::string UpperFileName(std::string_view name);

}  // namespace quillbank
