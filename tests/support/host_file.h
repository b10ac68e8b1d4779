// Files of the host's own file system as tests set them up and read them back:
// whole contents as bytes, never translated, so that line ends and encodings
// are compared exactly as the program wrote them.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace quillbank::testing {

// The whole content of a file as bytes; empty when it cannot be read.
[[nodiscard]] inline std::string ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Makes the folders above the file, then writes `bytes` as its whole content.
inline void WriteHostFile(const std::filesystem::path& path, const std::string& bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Makes the folders above the file, then adds `bytes` at its end.
inline void AppendHostFile(const std::filesystem::path& path, const std::string& bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// The first file named `name` anywhere below `folder`; empty when there is
// none or the folder cannot be read.
[[nodiscard]] inline std::filesystem::path FindHostFile(const std::filesystem::path& folder,
                                                        const std::string& name) {
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->path().filename() == name) return it->path();
  }
  return {};
}

}  // namespace quillbank::testing
