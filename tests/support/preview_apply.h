// Applies what a dry run printed to a system, as a reader of the preview
// would by hand: each unified diff to its file (new files made, removed ones
// deleted) and the "; after" side of each regedit block to the registry. A
// test then compares the result with what the real run wrote.
#pragma once

#include <string>

#include "env/platform/platform.h"

namespace quillbank::testing {

// Applies the preview's changes; false (with the reason in `error`) when it
// cannot be read or a hunk does not fit its file. A file whose new content
// the preview shows decoded from UTF-16 is written as UTF-16LE with its byte
// order mark when `utf16` says so of its path.
bool ApplyPreview(Platform& platform, const std::string& preview, std::string& error,
                  bool (*utf16)(const std::string& path) = nullptr);

}  // namespace quillbank::testing
