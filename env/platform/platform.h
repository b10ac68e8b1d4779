// The platform seam: the only services the program takes from the operating
// system. Each interface is shaped after the Windows call it stands for, so the
// Win32 backend stays a thin wrapper and the machine-folder backend (a folder
// laid out like a Wine prefix) behaves the same way: same error codes, same
// buffer capacities, same enumeration order.
//
// Nothing above env/platform/ includes a system header; code that needs a
// service receives a Platform and uses these interfaces only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "env/platform/code_page.h"

namespace quillbank {

// ---------------------------------------------------------------- registry

// Win32 error codes as the registry functions return them. The program's own
// logic and several log lines use these numbers, so both backends keep them.
namespace win32_error {
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidParameter = 87;
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;
inline constexpr long kCantWrite = 1013;  // ERROR_CANTWRITE: a registry change was not saved
}  // namespace win32_error

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };

// KEY_ALL_ACCESS or KEY_READ. The machine folder grants both everywhere; on
// Windows full access to HKEY_LOCAL_MACHINE may be refused (error 5).
enum class RegAccess { All, Read };

// Registry value types, numbered as Windows numbers them.
namespace reg_type {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kMultiSz = 7;
}  // namespace reg_type

struct RegValue {
  std::uint32_t type = reg_type::kNone;
  std::vector<std::uint8_t> data;
};

// An open registry key. Closing happens when the object is destroyed; a key
// whose path was deleted meanwhile behaves like an empty key.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // RegQueryValueExA. The empty name is the key's default value. Fails with 2
  // when the value is missing and with 234 when the data is longer than
  // `capacity` bytes; on failure `out` is left untouched.
  [[nodiscard]] virtual long QueryValue(std::string_view name, std::size_t capacity,
                                        RegValue& out) = 0;
  // RegSetValueExA: replaces the value (creating it when missing). This and
  // DeleteValue fail with 5 on a key opened for reading.
  virtual long SetValue(std::string_view name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) = 0;
  // RegDeleteValueA: 2 when the value was missing.
  virtual long DeleteValue(std::string_view name) = 0;
  // RegEnumKeyExA: the name of the subkey at `index` in Windows' enumeration
  // order (sorted by upper-cased name). 259 past the end; 234 when the name
  // needs `capacity` characters or more (the terminator counts); `name` is left
  // untouched on failure.
  [[nodiscard]] virtual long EnumKey(std::uint32_t index, std::size_t capacity,
                                     std::string& name) = 0;
  // RegQueryInfoKeyA, subkey count only.
  [[nodiscard]] virtual long QuerySubkeyCount(std::uint32_t& count) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA: fails with 2 when the key is missing; never creates it. A
  // trailing backslash names the same key as the path without it.
  [[nodiscard]] virtual long Open(RegRoot root, std::string_view path, RegAccess access,
                                  std::unique_ptr<RegistryKey>& key) = 0;
  // RegCreateKeyExA with full access: opens the key, creating it and every
  // missing key above it.
  [[nodiscard]] virtual long Create(RegRoot root, std::string_view path,
                                    std::unique_ptr<RegistryKey>& key) = 0;
  // RegDeleteKeyA: deletes a key that has no subkeys (5 when it has some, 2
  // when it is missing). Keys opened on it must be closed first.
  [[nodiscard]] virtual long DeleteKey(RegRoot root, std::string_view path) = 0;
  // Ends the run's registry changes. Windows has applied each change as it was
  // made, so there this succeeds at once; the machine folder writes every hive
  // the run changed now, all or nothing. A failure means none of the run's
  // changes were kept.
  [[nodiscard]] virtual long Commit() { return win32_error::kSuccess; }
};

// ------------------------------------------------------------------- files

// A file opened for appending, written line by line and flushed on each call
// (the run log). Closed when destroyed.
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  // Appends the bytes and flushes them to the file. False when that failed.
  virtual bool Append(std::string_view bytes) = 0;
  // Closes the file; false when closing failed. Later appends fail.
  virtual bool Close() = 0;
};

// What became of a file's replacement.
enum class FileWrite {
  Written,   // the new content is in the file's place
  ReadOnly,  // refused: the file is marked read-only
  Failed,    // could not be written
};

// A file's bytes held for reading, as they were when the file was opened.
class FileView {
 public:
  virtual ~FileView() = default;
  [[nodiscard]] virtual std::string_view bytes() const = 0;
};

// A view of bytes read into memory.
class HeldFileView final : public FileView {
 public:
  explicit HeldFileView(std::string bytes) : bytes_(std::move(bytes)) {}
  [[nodiscard]] std::string_view bytes() const override { return bytes_; }

 private:
  std::string bytes_;
};

// Windows paths in ("C:\Users\jane\file.txt"); "\" and "/" are both accepted.
// Every file is handled in binary mode: the bytes read are the bytes on disk.
class Files {
 public:
  virtual ~Files() = default;

  // The whole content of a file; nullopt when it is missing or unreadable.
  [[nodiscard]] virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // The content of a file to read through, without a copy where the system
  // can map a large file; null when it is missing or unreadable. Backends
  // without a mapping hold what ReadFile gives.
  [[nodiscard]] virtual std::unique_ptr<FileView> ViewFile(const std::string& path) {
    std::optional<std::string> bytes = ReadFile(path);
    if (!bytes) return nullptr;
    return std::make_unique<HeldFileView>(std::move(*bytes));
  }
  // Opens for appending, creating a missing file; shared with other writers.
  [[nodiscard]] virtual std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) = 0;
  // Puts `bytes` in the place of the file's content; the one way the program
  // changes a file. The complete content goes to a new temporary file beside
  // the target (created exclusively, so a file or link already at that name
  // is never written through), is flushed to disk, and then takes the
  // target's place in one step; the old file is never deleted first. A
  // symbolic link is followed and the file it names is replaced. The target
  // keeps its mode and owner (its attributes and security on Windows). A
  // missing file is created. ReadOnly when the target is marked read-only
  // (even where the user could write it anyway), Failed on any other
  // failure; either way the target is as it was and no temporary file is
  // left behind.
  [[nodiscard]] virtual FileWrite ReplaceContents(const std::string& path,
                                                  std::string_view bytes) = 0;
  // ReplaceContents for content given as pieces, in order: runs of a large
  // text the caller holds and lines of its own. The host files write them one
  // after another, so a large file is not copied once more in memory; other
  // backends join them first.
  [[nodiscard]] virtual FileWrite ReplaceContentsInPieces(
      const std::string& path, const std::vector<std::string_view>& pieces) {
    std::string joined;
    for (const std::string_view piece : pieces) joined.append(piece);
    return ReplaceContents(path, joined);
  }
  virtual bool DeleteFile(const std::string& path) = 0;
  // Gives the file `existing` a second name, `link` (a hard link; a symbolic
  // link at `existing` is followed), where both lie on one file system and
  // the system has such links. False, with nothing made, otherwise.
  virtual bool LinkFile(const std::string& existing, const std::string& link) {
    (void)existing;
    (void)link;
    return false;
  }
  // Creates one folder level; true when it exists afterwards.
  virtual bool CreateFolder(const std::string& path) = 0;
  // RemoveDirectoryA: removes an empty folder. False when it is missing, not
  // empty, or cannot be removed.
  virtual bool RemoveFolder(const std::string& path) = 0;
  [[nodiscard]] virtual bool FileExists(const std::string& path) = 0;
  [[nodiscard]] virtual bool FolderExists(const std::string& path) = 0;
  // FindFirstFileA/FindNextFileA: the names (not paths) of the entries that
  // match the wildcard pattern of the last component ("*" and "?", without
  // regard to case), in the order Windows lists them.
  [[nodiscard]] virtual std::vector<std::string> ListFolder(const std::string& pattern) = 0;
};

// ------------------------------------------------------------- environment

class Environment {
 public:
  virtual ~Environment() = default;
  // The value of a Windows environment variable (name without regard to
  // case); nullopt when it is not set.
  [[nodiscard]] virtual std::optional<std::string> Get(std::string_view name) = 0;
};

// --------------------------------------------------------------- processes

struct ProcessEntry {
  std::uint32_t id = 0;
  std::string executable;  // file name only, as the system reports it
};

class Processes {
 public:
  virtual ~Processes() = default;
  // The running processes, in the order the system lists them.
  [[nodiscard]] virtual std::vector<ProcessEntry> List() = 0;
  // Asks the process to end with exit code 0; does not wait.
  virtual bool Terminate(std::uint32_t id) = 0;
  // Waits until the process has ended or `timeout_ms` have passed; true when
  // it has ended (or did not exist).
  virtual bool WaitForExit(std::uint32_t id, std::uint32_t timeout_ms) = 0;
  // Starts `command_line` as a separate process without waiting for it.
  virtual bool Start(const std::string& command_line) = 0;
};

// ------------------------------------------------------------ clock, UUID

struct LocalTime {
  int year = 2000;  // four digits
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  [[nodiscard]] virtual LocalTime Now() = 0;
};

class UuidSource {
 public:
  virtual ~UuidSource() = default;
  // A new random UUID: 36 lower-case hex digits and hyphens.
  [[nodiscard]] virtual std::string NewUuid() = 0;
};

// ---------------------------------------------------------------- run lock

// Lets one run at a time change a machine: every run of the program on the
// same machine (on Windows, in the same session) shares this lock, and holds
// it from its first read of a client's store to its end, so that no run
// writes back what it read before another run changed it.
class RunLock {
 public:
  virtual ~RunLock() = default;
  // Waits up to `timeout_ms` for the lock; true when this run holds it now.
  // The machine as the services show it afterwards includes every change a
  // run made before it let the lock go.
  [[nodiscard]] virtual bool Acquire(std::uint32_t timeout_ms) = 0;
  // Lets the next run in. Ending the process lets it go as well.
  virtual void Release() = 0;
};

// ------------------------------------------------------------ the user's space

// What a system offers about the user and the host beyond files and
// processes: where the user's folders are, how paths are written, and the
// facts a client's rules for "is it running" need. Every backend has one; a
// service a system does not have answers "none" or false.
class UserSpace {
 public:
  virtual ~UserSpace() = default;
  // The separator of this system's paths: "\" for Windows paths, "/" for
  // host paths, where "\" is an ordinary character of a name.
  [[nodiscard]] virtual char PathSeparator() const = 0;
  // The user's home folder on a system that has one (HOME); none on Windows.
  [[nodiscard]] virtual std::optional<std::string> HomeFolder() = 0;
  // The program's own folder for its log and run lock, where the system
  // keeps one apart from the user's application data: $XDG_STATE_HOME/
  // quillbank, by default ~/.local/state/quillbank, existing once the
  // backend is open. None where the log lives in the application data.
  [[nodiscard]] virtual std::optional<std::string> StateFolder() = 0;
  // True when PATH holds an executable file named `program`; empty PATH
  // entries (the current folder to a shell) are passed over.
  [[nodiscard]] virtual bool OnPath(const std::string& program) = 0;
  // When the file was last modified, in seconds since 1970; none when it is
  // missing.
  [[nodiscard]] virtual std::optional<std::int64_t> ModifiedTime(const std::string& path) = 0;
  // True when another process holds a lock on the file that conflicts with
  // writing it (asked with F_GETLK, which sees locks across PID namespaces).
  // The file is opened for reading only, never created, a link at its name
  // is not followed; false when it is missing or the system cannot tell.
  [[nodiscard]] virtual bool LockedByOtherProcess(const std::string& path) = 0;
  // What the symbolic link at `path` names.
  struct Link {
    bool is_link = false;            // false: no link there (or nothing at all)
    std::optional<std::string> target;  // none when the link cannot be read
  };
  [[nodiscard]] virtual Link ReadLink(const std::string& path) = 0;
  // True while a process with this id exists (someone else's counts).
  [[nodiscard]] virtual bool ProcessAlive(std::uint32_t id) = 0;
  // The IPv4 addresses the host's own name resolves to, as dotted numbers.
  [[nodiscard]] virtual std::vector<std::string> HostAddresses() = 0;
  // The desktop's folders (XDG base directories), in the order a desktop
  // looks in them; none on a system without a desktop of that kind.
  // Configuration: $XDG_CONFIG_HOME (by default ~/.config), then each of
  // $XDG_CONFIG_DIRS (by default /etc/xdg).
  [[nodiscard]] virtual std::vector<std::string> ConfigFolders() { return {}; }
  // Data: $XDG_DATA_HOME (by default ~/.local/share), each of $XDG_DATA_DIRS
  // (by default /usr/local/share and /usr/share), then the folders Flatpak
  // exports its applications' files to (~/.local/share/flatpak/exports/share,
  // /var/lib/flatpak/exports/share).
  [[nodiscard]] virtual std::vector<std::string> DataFolders() { return {}; }
  // The desktops $XDG_CURRENT_DESKTOP names (it may name several, separated
  // by ":"), lower-cased, in order.
  [[nodiscard]] virtual std::vector<std::string> CurrentDesktops() { return {}; }
  // What a program of the desktop prints to standard output, for reading a
  // setting a desktop keeps behind a tool of its own: `argv[0]` is looked up
  // in PATH, and the program runs with the user's home as HOME, standard
  // input empty and its errors dropped. None when it cannot be started, does
  // not exit with 0 within a few seconds, or the system runs no such tools.
  [[nodiscard]] virtual std::optional<std::string> CommandOutput(
      const std::vector<std::string>& argv) {
    (void)argv;
    return std::nullopt;
  }
};

// ------------------------------------------------------- desktop settings

// One key of a desktop's settings store: a GSettings schema and a key in it.
struct SettingKey {
  std::string schema;  // "org.gnome.Evolution.DefaultSources"
  std::string key;     // "default-mail-account"
};

// A desktop's settings store (GSettings, kept by dconf on GNOME), for the
// clients that keep a choice there instead of in their own files. Values
// are GVariant text, as gsettings prints and takes them ('text').
class DesktopSettings {
 public:
  virtual ~DesktopSettings() = default;
  // True when a change can be carried to the store: dconf takes changes
  // over the session bus only, and without one a change is dropped silently.
  [[nodiscard]] virtual bool CanSave() = 0;
  // The key's value; none when it cannot be read (no such schema or tool).
  [[nodiscard]] virtual std::optional<std::string> Get(const SettingKey& key) = 0;
  // Asks the store to take `value`; false when refused. True does not
  // prove it was saved: read it back.
  virtual bool Set(const SettingKey& key, const std::string& value) = 0;
};

class MapiAdmin;  // MAPI profile administration for Outlook 2000 (mapi.h)

// The services handed to the code that needs them. Every member is borrowed;
// whoever builds the Platform owns the services.
struct Platform {
  Registry& registry;
  Files& files;
  Environment& environment;
  Processes& processes;
  Clock& clock;
  UuidSource& uuids;
  // The code page of the program's narrow text.
  const CodePage& code_page;
  UserSpace& user;
  // Loaded on demand by the backend; null where no MAPI stand-in exists.
  MapiAdmin* mapi = nullptr;
  // Null where no other run can reach the machine (a machine in memory).
  RunLock* run_lock = nullptr;
  // Null where the system has no desktop settings store.
  DesktopSettings* settings = nullptr;
};

}  // namespace quillbank
