#include "tests/e2e/e2e_machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "tests/support/host_file.h"
#include "tests/support/log_text.h"

namespace quillbank::e2e {
namespace {

// The roots a registry file names, and where a machine folder keeps them.
struct Root {
  const char* name;
  bool system;
  const char* below;  // the key in the hive the root stands for
};
constexpr Root kRoots[] = {{"HKEY_LOCAL_MACHINE\\", true, ""},
                           {"HKEY_CLASSES_ROOT\\", true, "Software\\Classes\\"},
                           {"HKEY_CURRENT_USER\\", false, ""}};

// A key path as Wine writes it between brackets: each backslash doubled.
std::string HivePath(const std::string& path) {
  std::string out;
  for (const char c : path) {
    out += c;
    if (c == '\\') out += '\\';
  }
  return out;
}

// A value line as Wine writes it in a hive. Text, DWORDs and binary values
// are written alike; an expandable text, which a registry file gives as its
// bytes (hex(2):, in the ANSI code page), Wine writes as text: str(2):"...".
std::string HiveValue(const std::string& line) {
  const std::size_t form = line.find("=hex(2):");
  if (form == std::string::npos) return line;
  std::string text;
  std::istringstream bytes(line.substr(form + 8));
  std::string byte;
  while (std::getline(bytes, byte, ',')) {
    const char c = static_cast<char>(std::stoi(byte, nullptr, 16));
    if (c == '\0') break;
    if (c == '\\' || c == '"') text += '\\';
    text += c;
  }
  return line.substr(0, form) + "=str(2):\"" + text + "\"";
}

}  // namespace

HiveKeys HiveKeysOf(const std::vector<std::string>& registry_files) {
  HiveKeys keys;
  for (const std::string& file : registry_files) {
    std::string* hive = nullptr;  // the hive of the key being read; none in the header
    std::istringstream in(file);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // A hex value goes on after a trailing backslash.
      while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
        std::string more;
        if (!std::getline(in, more)) break;
        if (!more.empty() && more.back() == '\r') more.pop_back();
        line.pop_back();
        line += more.substr(std::min(more.find_first_not_of(' '), more.size()));
      }
      if (line.empty() || line[0] == ';') continue;
      if (line.front() == '[' && line.back() == ']') {
        const std::string path = line.substr(1, line.size() - 2);
        hive = nullptr;
        for (const Root& root : kRoots) {
          if (path.rfind(root.name, 0) != 0) continue;
          hive = root.system ? &keys.system : &keys.user;
          if (!hive->empty()) *hive += "\n";
          *hive += "[" + HivePath(root.below + path.substr(std::string(root.name).size())) +
                   "] 1700000000\n";
        }
        if (!hive) ADD_FAILURE() << "no hive of a machine folder holds " << line;
        continue;
      }
      if (hive) *hive += HiveValue(line) + "\n";
    }
  }
  return keys;
}

JaneMachine::JaneMachine(const std::string& kind) : root_(kind), path_(root_ / "machine") {}

JaneMachine::JaneMachine(const std::string& kind, const std::vector<std::string>& registry_files)
    : JaneMachine(kind) {
  Seed(registry_files);
}

void JaneMachine::Seed(const std::vector<std::string>& registry_files) const {
  const HiveKeys keys = HiveKeysOf(registry_files);
  const std::string machine_keys =
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n"
      "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n";
  const std::string jane_keys =
      std::string(testing::kJaneAppData) + "\"USERPROFILE\"=\"C:\\\\users\\\\jane\"\n";
  testing::WriteMachineFolder(path_, keys.system + (keys.system.empty() ? "" : "\n") + machine_keys,
                              keys.user + (keys.user.empty() ? "" : "\n") + jane_keys);
}

std::vector<std::string> JaneMachine::LogLines() const {
  return testing::MaskedLines(testing::ReadHostFile(LogFile()));
}

ProgramRun JaneMachine::Run(const std::vector<std::string>& args) const {
  return testing::RunNativeProgram(path_, QUILLBANK_PROGRAM, args);
}

std::string ExpandableTextValue(const std::string& name, const std::string& text) {
  std::string line = "\"" + name + "\"=hex(2):";
  char byte[4];
  for (const char c : text) {
    std::snprintf(byte, sizeof byte, "%02x,", static_cast<unsigned char>(c));
    line += byte;
  }
  return line + "00\r\n";
}

ProgramRun ImportRegistry(const ScenarioPrefix& prefix, const std::vector<std::string>& registry_files) {
  // One file: a header, then each file's keys (what follows its own header).
  std::string merged = "REGEDIT4\r\n";
  for (const std::string& file : registry_files) {
    merged += "\r\n" + file.substr(std::min(file.find('['), file.size()));
  }
  testing::WriteHostFile(prefix.DriveC() / "seed.reg", merged);
  return RunWindowsProgram(prefix.path(), "regedit", {"/S", "C:\\seed.reg"});
}

std::string WhyWindowsBuildCannotRun() {
  if (!WineAvailable()) return "wine64 is not installed";
  if (WindowsProgram().empty()) return "the win64 build of the program is missing";
  return "";
}

int RunWindowsProgramTyped(const ScenarioPrefix& prefix, const std::string& arguments) {
  std::string program = "Z:" + WindowsProgram().string();
  std::replace(program.begin(), program.end(), '/', '\\');
  testing::WriteHostFile(prefix.DriveC() / "run.bat",
                         program + " " + arguments + "\r\nexit /b %errorlevel%\r\n");
  return RunWindowsProgram(prefix.path(), "cmd", {"/c", "C:\\run.bat"}).exit_code;
}

std::vector<std::string> AutomaticRunLines(const std::vector<std::string>& lines) {
  const auto first = std::find(lines.begin(), lines.end(),
                               "Automatically Configuring from default email client's default account.");
  return std::vector<std::string>(first, lines.end());
}

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace quillbank::e2e
