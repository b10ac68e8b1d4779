#include "env/platform/machine/machine_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <thread>

#include "env/platform/machine/host_files.h"
#include "env/platform/machine/registry_hive.h"
#include "env/platform/mapi.h"
#include "env/platform/registry_tree.h"
#include "env/registry_access.h"

namespace quillbank {
namespace {

namespace fs = std::filesystem;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> ReadHostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

// Writes a host file the one safe way (see host_files.h).
bool WriteHostFileReplacing(const fs::path& path, const std::string& bytes) {
  return ReplaceHostFile(path, bytes) == FileWrite::Written;
}

// Wine's time stamps: 100 ns intervals since 1601, as its key lines show them
// in seconds since 1970 for the text stamp.
long long WineStamp() { return static_cast<long long>(std::time(nullptr)); }

// -------------------------------------------------------------- registry

// The registry of the machine folder: the two hives in memory, changed by the
// run and written when it commits. Until then nothing on disk changes, so a
// run that fails or is killed part-way leaves the hives as they were.
class MachineRegistry final : public Registry {
 public:
  explicit MachineRegistry(HostFileWriter write) : write_(std::move(write)) {}

  bool Load(const fs::path& folder, std::string& error) {
    hives_[0].path = folder / "user.reg";
    hives_[0].root = RegRoot::CurrentUser;
    hives_[1].path = folder / "system.reg";
    hives_[1].root = RegRoot::LocalMachine;
    for (HiveFile& hive : hives_) {
      const auto text = ReadHostFile(hive.path);
      if (!text) {
        error = "cannot read " + hive.path.string();
        return false;
      }
      std::string problem;
      if (!hive.model.Load(*text, tree_->RootNode(hive.root), problem)) {
        error = hive.path.string() + ": " + problem;
        return false;
      }
      hive.on_disk = *text;
    }
    tree_->OnChange([this](RegRoot root) {
      hives_[root == RegRoot::CurrentUser ? 0 : 1].changed = true;
    });
    return true;
  }

  // Drops what was read and reads the hives again.
  bool Reload(const fs::path& folder, std::string& error) {
    tree_ = std::make_unique<MemoryRegistry>(Windows1252());
    for (HiveFile& hive : hives_) hive = HiveFile();
    return Load(folder, error);
  }

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override {
    return tree_->Open(root, path, access, key);
  }
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override {
    return tree_->Create(root, path, key);
  }
  long DeleteKey(RegRoot root, std::string_view path) override {
    return tree_->DeleteKey(root, path);
  }

  // Writes each hive the run changed, once. When a later hive cannot be
  // written, the ones written before it get their old text back, so the run's
  // changes reach the disk together or not at all.
  long Commit() override {
    const long long stamp = WineStamp();
    std::vector<std::pair<HiveFile*, std::string>> pending;
    for (HiveFile& hive : hives_) {
      if (!hive.changed) continue;
      std::string text = hive.model.Render(tree_->RootNode(hive.root), stamp);
      if (text != hive.on_disk) pending.emplace_back(&hive, std::move(text));
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
      if (write_(pending[i].first->path.string(), pending[i].second)) continue;
      for (std::size_t k = 0; k < i; ++k) {
        (void)write_(pending[k].first->path.string(), pending[k].first->on_disk);
      }
      return win32_error::kCantWrite;
    }
    for (auto& [hive, text] : pending) hive->on_disk = std::move(text);
    for (HiveFile& hive : hives_) hive.changed = false;
    return win32_error::kSuccess;
  }

 private:
  struct HiveFile {
    fs::path path;
    RegRoot root = RegRoot::CurrentUser;
    RegistryHive model;
    std::string on_disk;  // the file's text as last read or written
    bool changed = false;
  };

  HostFileWriter write_;
  std::unique_ptr<MemoryRegistry> tree_ = std::make_unique<MemoryRegistry>(Windows1252());
  HiveFile hives_[2];
};

// ----------------------------------------------------------------- files

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip) {
      if (WildcardMatch(pattern.substr(1), name.substr(skip))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  const bool same = pattern[0] == '?' || std::toupper(static_cast<unsigned char>(pattern[0])) ==
                                             std::toupper(static_cast<unsigned char>(name[0]));
  return same && WildcardMatch(pattern.substr(1), name.substr(1));
}

class MachineAppendFile final : public AppendFile {
 public:
  explicit MachineAppendFile(int fd) : fd_(fd) {}
  ~MachineAppendFile() override { Close(); }
  bool Append(std::string_view bytes) override {
    if (fd_ < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t written = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (written <= 0) return false;
      done += static_cast<std::size_t>(written);
    }
    return true;
  }
  bool Close() override {
    if (fd_ < 0) return false;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed;
  }

 private:
  int fd_;
};

class MachineFiles final : public Files {
 public:
  explicit MachineFiles(fs::path drive_c) : drive_c_(std::move(drive_c)) {}

  std::optional<std::string> ReadFile(const std::string& path) override {
    const auto host = Resolve(path);
    if (!host || !fs::is_regular_file(*host)) return std::nullopt;
    return ReadHostFile(*host);
  }

  FileWrite ReplaceContents(const std::string& path, std::string_view bytes) override {
    const auto host = Resolve(path);
    if (!host) return FileWrite::Failed;
    return ReplaceHostFile(*host, bytes);
  }

  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override {
    const auto host = Resolve(path);
    if (!host) return nullptr;
    const int fd = ::open(host->c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0) return nullptr;
    return std::make_unique<MachineAppendFile>(fd);
  }

  // Like DeleteFileA, refuses a file marked read-only (no write bit at all).
  bool DeleteFile(const std::string& path) override {
    const auto host = Resolve(path);
    if (!host || !fs::is_regular_file(*host)) return false;
    constexpr fs::perms kWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((fs::status(*host).permissions() & kWrite) == fs::perms::none) return false;
    return ::unlink(host->c_str()) == 0;
  }

  bool RemoveFolder(const std::string& path) override {
    const auto host = Resolve(path);
    return host && fs::is_directory(fs::symlink_status(*host)) && ::rmdir(host->c_str()) == 0;
  }

  bool CreateFolder(const std::string& path) override {
    const auto host = Resolve(path);
    if (!host) return false;
    std::error_code error;
    fs::create_directory(*host, error);
    return fs::is_directory(*host);
  }

  bool FileExists(const std::string& path) override {
    const auto host = Resolve(path);
    return host && fs::is_regular_file(*host);
  }

  bool FolderExists(const std::string& path) override {
    const auto host = Resolve(path);
    return host && fs::is_directory(*host);
  }

  std::vector<std::string> ListFolder(const std::string& pattern) override {
    std::vector<std::string> names;
    const std::size_t cut = pattern.find_last_of("\\/");
    if (cut == std::string::npos) return names;
    const auto folder = Resolve(pattern.substr(0, cut));
    const std::string name_pattern = pattern.substr(cut + 1);
    if (!folder || !fs::is_directory(*folder)) return names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(*folder, error)) {
      const std::string name = entry.path().filename().string();
      if (WildcardMatch(name_pattern, name)) names.push_back(name);
    }
    // NTFS lists names in upper-case order.
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return Upper(a) < Upper(b); });
    return names;
  }

 private:
  // The host path of a Windows path on drive C:, each existing component
  // found without regard to case; null for other drives.
  std::optional<fs::path> Resolve(const std::string& windows_path) const {
    std::string path = windows_path;
    for (char& c : path) c = c == '/' ? '\\' : c;
    if (path.size() < 2 || path[1] != ':' || std::toupper(static_cast<unsigned char>(path[0])) != 'C') {
      return std::nullopt;
    }
    fs::path host = drive_c_;
    for (const std::string& part : SplitKeyPath(path.substr(2))) {
      if (part == ".") continue;
      if (part == "..") {
        if (host != drive_c_) host = host.parent_path();
        continue;
      }
      host /= MatchComponent(host, part);
    }
    return host;
  }

  static std::string MatchComponent(const fs::path& folder, const std::string& name) {
    if (fs::exists(folder / name)) return name;
    std::error_code error;
    const std::string wanted = Upper(name);
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      const std::string candidate = entry.path().filename().string();
      if (Upper(candidate) == wanted) return candidate;
    }
    return name;
  }

  fs::path drive_c_;
};

// ----------------------------------------------------------- environment

class MachineEnvironment final : public Environment {
 public:
  explicit MachineEnvironment(Registry& registry) : registry_(registry) {}

  std::optional<std::string> Get(std::string_view name) override {
    std::optional<std::string> found;
    const std::pair<RegRoot, const char*> sources[] = {
        {RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Session Manager\\Environment"},
        {RegRoot::CurrentUser, "Environment"},
        {RegRoot::CurrentUser, "Volatile Environment"}};
    for (const auto& [root, path] : sources) {
      if (auto value = ReadText(registry_, root, path, RegAccess::Read, name, 32767)) found = value;
    }
    const std::string upper = Upper(name);
    const char* program_files = upper == "PROGRAMFILES"        ? "ProgramFilesDir"
                                : upper == "PROGRAMFILES(X86)" ? "ProgramFilesDir (x86)"
                                                               : nullptr;
    if (program_files) {
      if (auto value = ReadText(registry_, RegRoot::LocalMachine,
                                "Software\\Microsoft\\Windows\\CurrentVersion", RegAccess::Read,
                                program_files, 32767)) {
        found = value;
      }
    }
    if (found) return Expand(*found, 0);
    return found;
  }

 private:
  // Expands %NAME% references, as Windows does for REG_EXPAND_SZ values.
  std::string Expand(const std::string& text, int depth) {
    if (depth > 4) return text;
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
      const std::size_t open = text.find('%', pos);
      const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
      if (close == std::string::npos) {
        out += text.substr(pos);
        break;
      }
      out += text.substr(pos, open - pos);
      const std::string name = text.substr(open + 1, close - open - 1);
      auto value = name.empty() ? std::nullopt : Get(name);
      out += value ? Expand(*value, depth + 1) : text.substr(open, close - open + 1);
      pos = close + 1;
    }
    return out;
  }

  Registry& registry_;
};

// ------------------------------------------------------------- processes

std::optional<std::string> ReadProcFile(int pid, const char* name) {
  auto text = ReadHostFile(fs::path("/proc") / std::to_string(pid) / name);
  if (text && !text->empty() && text->back() == '\n') text->pop_back();
  return text;
}

bool ProcessGone(std::uint32_t id) {
  const auto stat = ReadProcFile(static_cast<int>(id), "stat");
  if (!stat) return true;
  const std::size_t paren = stat->rfind(')');
  return paren != std::string::npos && paren + 2 < stat->size() && (*stat)[paren + 2] == 'Z';
}

class MachineProcesses final : public Processes {
 public:
  explicit MachineProcesses(fs::path folder) : folder_(std::move(folder)) {}

  std::vector<ProcessEntry> List() override {
    std::vector<ProcessEntry> entries;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
      const std::string name = entry.path().filename().string();
      if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
      const int pid = std::atoi(name.c_str());
      if (ProcessGone(static_cast<std::uint32_t>(pid))) continue;
      // The name the system reports: Wine names its processes after the
      // Windows executable.
      if (auto comm = ReadProcFile(pid, "comm")) entries.push_back({static_cast<std::uint32_t>(pid), *comm});
    }
    std::sort(entries.begin(), entries.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.id < b.id; });
    return entries;
  }

  // One process only: kill() takes 0, and any id that becomes a negative
  // pid_t, as a whole process group.
  bool Terminate(std::uint32_t id) override {
    if (id == 0 || id > static_cast<std::uint32_t>(std::numeric_limits<pid_t>::max())) return false;
    return ::kill(static_cast<pid_t>(id), SIGTERM) == 0;
  }

  bool WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!ProcessGone(id)) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  bool Start(const std::string& command_line) override {
    const char* wine = "/usr/lib/wine/wine64";
    if (::access(wine, X_OK) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
      ::setsid();
      // The client runs on its own: it must not hold the caller's terminal or
      // pipes open after the program has ended.
      const int null_fd = ::open("/dev/null", O_RDWR);
      if (null_fd >= 0) {
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) ::dup2(null_fd, fd);
        if (null_fd > STDERR_FILENO) ::close(null_fd);
      }
      ::setenv("WINEPREFIX", folder_.c_str(), 1);
      ::execl(wine, wine, "cmd", "/c", "start", "", command_line.c_str(), nullptr);
      ::_exit(127);
    }
    return true;
  }

 private:
  fs::path folder_;
};

class MachineClock final : public Clock {
 public:
  LocalTime Now() override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour, local.tm_min, local.tm_sec};
  }
};

class MachineUuids final : public UuidSource {
 public:
  std::string NewUuid() override {
    std::uint8_t bytes[16];
    std::ifstream random("/dev/urandom", std::ios::binary);
    random.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
  }
};

// The folder's lock file. The hives were read when the folder was opened;
// once the lock is held they are read again, since the run that held it
// before may have changed them in the meantime.
class MachineRunLock final : public RunLock {
 public:
  MachineRunLock(MachineRegistry& registry, fs::path folder)
      : registry_(registry), folder_(std::move(folder)) {}

  bool Open(std::string& error) { return lock_.Open(folder_ / "quillbank.lock", error); }

  bool Acquire(std::uint32_t timeout_ms) override {
    if (!lock_.Acquire(timeout_ms)) return false;
    std::string unreadable;
    if (registry_.Reload(folder_, unreadable)) return true;
    lock_.Release();
    return false;
  }
  void Release() override { lock_.Release(); }

 private:
  MachineRegistry& registry_;
  fs::path folder_;
  FileLock lock_;
};

class MachineSystem final : public SystemServices {
 public:
  MachineSystem(const fs::path& folder, HostFileWriter write_hive)
      : registry_(std::move(write_hive)),
        files_(folder / "drive_c"),
        environment_(registry_),
        processes_(folder),
        run_lock_(registry_, folder) {}
  bool Load(const fs::path& folder, std::string& error) {
    if (!run_lock_.Open(error)) return false;
    if (!registry_.Load(folder, error)) return false;
    mapi_ = MakeRegistryMapiStandIn(registry_, uuids_);
    platform_.mapi = mapi_.get();
    platform_.run_lock = &run_lock_;
    return true;
  }
  Platform& platform() override { return platform_; }

 private:
  MachineRegistry registry_;
  MachineFiles files_;
  MachineEnvironment environment_;
  MachineProcesses processes_;
  MachineClock clock_;
  MachineUuids uuids_;
  MachineRunLock run_lock_;
  std::unique_ptr<MapiAdmin> mapi_;
  Platform platform_{registry_, files_, environment_, processes_, clock_, uuids_, Windows1252()};
};

// ------------------------------------------------------- machine creation

std::string UserName() {
  const char* user = std::getenv("USER");
  std::string name = user && *user ? user : "user";
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
  }
  return name;
}

bool CreateMinimalMachine(const fs::path& folder, std::string& error) {
  const std::string user = UserName();
  const std::string profile = "C:\\\\users\\\\" + user;
  std::error_code failed;
  fs::create_directories(folder / "drive_c" / "users" / user / "AppData" / "Roaming", failed);
  fs::create_directories(folder / "drive_c" / "users" / user / "AppData" / "Local", failed);
  fs::create_directories(folder / "drive_c" / "Program Files", failed);
  const long long stamp = WineStamp();
  const std::string user_reg =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
      "#arch=win64\n\n[Volatile Environment] " + std::to_string(stamp) +
      "\n\"APPDATA\"=\"" + profile + "\\\\AppData\\\\Roaming\"\n"
      "\"HOMEDRIVE\"=\"C:\"\n\"HOMEPATH\"=\"\\\\users\\\\" + user + "\"\n"
      "\"LOCALAPPDATA\"=\"" + profile + "\\\\AppData\\\\Local\"\n"
      "\"USERNAME\"=\"" + user + "\"\n\"USERPROFILE\"=\"" + profile + "\"\n\n";
  const std::string system_reg =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] " + std::to_string(stamp) +
      "\n\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n";
  if (!WriteHostFileReplacing(folder / "user.reg", user_reg) ||
      !WriteHostFileReplacing(folder / "system.reg", system_reg)) {
    error = "cannot create the machine folder " + folder.string();
    return false;
  }
  return true;
}

// A running wineserver works in a folder named after the prefix's device and
// inode; while one serves this folder the hives on disk are not current.
bool ServedByWineserver(const fs::path& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return false;
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "server-%llx-%llx",
                static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino));
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    const auto comm = ReadProcFile(std::atoi(name.c_str()), "comm");
    if (!comm || comm->rfind("wineserver", 0) != 0) continue;
    std::error_code no_link;
    const fs::path cwd = fs::read_symlink(entry.path() / "cwd", no_link);
    if (!no_link && cwd.filename() == wanted) return true;
  }
  return false;
}

}  // namespace

std::string DefaultMachineFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return (fs::path(data) / "quillbank" / "machine").string();
  const char* home = std::getenv("HOME");
  return (fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "quillbank" / "machine").string();
}

std::unique_ptr<SystemServices> OpenMachineFolder(const std::string& folder_name, std::string& error,
                                                  HostFileWriter write_hive) {
  const fs::path folder(folder_name);
  std::error_code failed;
  if (!fs::exists(folder / "user.reg") && !fs::exists(folder / "system.reg")) {
    if (fs::exists(folder) && !fs::is_empty(folder, failed)) {
      error = "the folder " + folder.string() + " is not a machine folder (no user.reg or system.reg)";
      return nullptr;
    }
    fs::create_directories(folder, failed);
    if (!CreateMinimalMachine(folder, error)) return nullptr;
  }
  if (ServedByWineserver(folder)) {
    error = "a running wineserver is using the machine folder " + folder.string() +
            "; end it (wineserver -k) and try again. Nothing was changed.";
    return nullptr;
  }
  if (!write_hive) {
    write_hive = [](const std::string& path, const std::string& bytes) {
      return WriteHostFileReplacing(path, bytes);
    };
  }
  auto system = std::make_unique<MachineSystem>(folder, std::move(write_hive));
  if (!system->Load(folder, error)) return nullptr;
  return system;
}

SystemOpenResult OpenSystem() {
  const char* chosen = std::getenv("QUILLBANK_MACHINE");
  const std::string folder = chosen && *chosen ? chosen : DefaultMachineFolder();
  SystemOpenResult result;
  result.services = OpenMachineFolder(folder, result.error);
  return result;
}

std::string CommandText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    const std::string previous = i > 1 ? argv[i - 1] : "";
    const bool quoted_value = previous == "-n" || previous == "-p" || previous == "-s";
    if (quoted_value && !(argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')) {
      argument = "\"" + argument + "\"";
    }
    if (!text.empty()) text += ' ';
    text += argument;
  }
  return text;
}

void AttachToParentConsole() {}

}  // namespace quillbank
