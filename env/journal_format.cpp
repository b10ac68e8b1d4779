#include "env/journal_format.h"

#include <algorithm>

namespace quillbank::journal {
std::string_view BytesOf(const std::vector<std::uint8_t>& data) {
  return {reinterpret_cast<const char*>(data.data()), data.size()};
}

std::string HashOf(std::string_view bytes) {
  Hash hash;
  hash.Add(bytes);
  return hash.Text();
}

std::string ValueHash(const RegValue& value) {
  Hash hash;
  hash.Add(std::to_string(value.type) + ":");
  hash.Add(BytesOf(value.data));
  return hash.Text();
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return hex;
}

std::vector<std::uint8_t> Unhex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

RegRoot RootNamed(const std::string& name) {
  if (name == "HKEY_LOCAL_MACHINE") return RegRoot::LocalMachine;
  if (name == "HKEY_CLASSES_ROOT") return RegRoot::ClassesRoot;
  return RegRoot::CurrentUser;
}

std::vector<std::string> JournalNames(Files& files, const std::string& folder, char separator) {
  std::vector<std::string> names;
  for (const std::string& name : files.ListFolder(folder + separator + "*")) {
    if (name.size() == 8 && std::all_of(name.begin(), name.end(), [](char c) {
          return c >= '0' && c <= '9';
        })) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveJournal(Files& files, const std::string& folder, char separator) {
  for (const std::string& name : files.ListFolder(folder + separator + "*")) {
    files.DeleteFile(folder + separator + name);
  }
  files.RemoveFolder(folder);
}

}  // namespace quillbank::journal
