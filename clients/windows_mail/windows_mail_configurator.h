// Windows Mail keeps each account in its own UTF-16 XML file,
// "account{GUID}.oeaccount", in the "Local Folders" folder below its store
// root, and names the default account's file in the registry. This
// configurator finds the file that holds the requested address, then leaves it
// alone, rewrites its settings in place, or creates a new account file, and
// can make the account the default one. For the automatic mode it reads the
// default account, or searches the account files by address; the key its
// readers pass around is an account file's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/account_request.h"
#include "core/requested_configurator.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

namespace winmail {

// Where Windows Mail keeps its store root, under HKEY_CURRENT_USER.
inline constexpr const char* kStoreKey = "Software\\Microsoft\\Windows Mail";
inline constexpr const char* kStoreRootValue = "Store Root";
inline constexpr std::size_t kStoreRootCapacity = 300;  // bytes, terminator included
// The default account: the name of its file, without folder.
inline constexpr const char* kDefaultAccountKey = "Software\\Microsoft\\IAM\\";
inline constexpr const char* kDefaultAccountValue = "Default Mail Account";
inline constexpr const char* kUserProfilePlaceholder = "%USERPROFILE%";
// The longest search pattern a directory listing takes (MAX_PATH less its
// terminator).
inline constexpr std::size_t kMaxPatternLength = 259;

// A number as Windows Mail stores DWORD elements: lower-case hexadecimal,
// at least eight digits ("0000003c" for 60).
[[nodiscard]] std::string DwordText(std::uint32_t number);

// The text with "&", "<" and ">" written as XML character references.
[[nodiscard]] std::string XmlEscape(const std::string& text);

// Where the account files lie: the store root's "Local Folders", expanded.
// Without it, `problem` says why in a log sentence.
struct AccountFolder {
  std::optional<std::string> path;
  std::string problem;
};
[[nodiscard]] AccountFolder FindAccountFolder(Platform& platform);

}  // namespace winmail

class WindowsMailConfigurator final : public RequestedConfigurator {
 public:
  WindowsMailConfigurator(Platform& platform, const AccountRequest& request);

  // 0 when an account file was created or rewritten; 5 when a file with the
  // address (in the automatic mode: with the account name) exists and
  // overwrite is off (nothing changed); 1 when the store root cannot be read
  // or its folder cannot be named (nothing changed); 7 when the account file
  // could not be written completely, or the default account could not be set
  // (the file is then put back: nothing changed); 30 when the prefix holds a
  // control character (nothing changed).
  [[nodiscard]] ConfigStatus Configure() override;

  // The automatic mode names the account prefix + address and finds an
  // earlier copy by that name, never by its address, which it shares with
  // the account it was copied from.

  // Readers: each logs one line naming what it read and its result, and
  // never changes the registry or a file. No value when the store root, the
  // default-account value or the account file cannot be read.
  [[nodiscard]] std::optional<std::string> GetDefAcct() override;
  // The first account file, in ascending byte order of the file names, whose
  // address contains the text.
  [[nodiscard]] std::optional<std::string> FindAcctByAddr(const std::string& text) override;
  // SMTP_Email_Address of the named account file; an empty one is no value.
  [[nodiscard]] std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) override;
  // SMTP_Display_Name of the named account file; empty when it has none.
  [[nodiscard]] std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) override;

  // The full path of the first entry of `folder` named "account*" that holds
  // `address`, in listing order; none when there is none. Logs the search
  // pattern as a line.
  [[nodiscard]] std::optional<std::string> FindAccountFile(const std::string& folder,
                                                           const std::string& address);
  // Whether the account in the file has the address as its
  // SMTP_Email_Address element, with the start tag this configurator writes
  // and the address escaped or (as older files may hold it) unescaped,
  // however the file's lines break. Case-sensitive; an unreadable file holds
  // nothing.
  [[nodiscard]] bool FileHoldsAddress(const std::string& path, const std::string& address);

 private:
  // Prefix + address in the automatic mode, the address otherwise.
  // The first entry of `folder` named "account*", in listing order, whose
  // element (index into the element table) holds `value`; logs the pattern.
  [[nodiscard]] std::optional<std::string> FindFileHolding(const std::string& folder,
                                                           std::size_t element,
                                                           const std::string& value);
  // Whether the file's element (index into the element table) holds `value`,
  // as FileHoldsAddress compares the address.
  [[nodiscard]] bool FileHoldsValue(const std::string& path, std::size_t element,
                                    const std::string& value);
  // The bytes of an account file named by a reader's key; none when the key
  // names no file in the account folder or the file cannot be read.
  [[nodiscard]] std::optional<std::string> ReadAccountFile(const std::optional<std::string>& key_name);
  // Logs one reader's line: "<reader> Result (<what>): <value or *ERROR*>".
  void LogReaderResult(const char* reader, const std::string& what,
                       const std::optional<std::string>& value);
  // Names the file as the default account; false (logged) when that failed.
  [[nodiscard]] bool MakeDefault(const std::string& file_name);
  // Undoes the account file's change: the old content back, or a new file
  // removed.
  void PutBack(const std::string& path, const std::optional<std::string>& old_bytes);

  Platform& platform_;
};

}  // namespace quillbank
