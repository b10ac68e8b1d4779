// Windows Mail keeps each account in its own UTF-16 XML file,
// "account{GUID}.oeaccount", in the "Local Folders" folder below its store
// root, and names the default account's file in the registry. This
// configurator finds the file that holds the requested address, then leaves it
// alone, rewrites its settings in place, or creates a new account file, and
// can make the account the default one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/account_request.h"
#include "core/configurator.h"
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

}  // namespace winmail

class WindowsMailConfigurator final : public Configurator {
 public:
  WindowsMailConfigurator(Platform& platform, const AccountRequest& request);

  // 0 when an account file was created or rewritten; 5 when a file with the
  // address exists and overwrite is off (nothing changed); 1 when the store
  // root cannot be read or its folder cannot be named (nothing changed); 7
  // when the account file could not be written completely, or the default
  // account could not be set (the file is then put back: nothing changed).
  [[nodiscard]] ConfigStatus Configure() override;

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
  // Names the file as the default account; false (logged) when that failed.
  [[nodiscard]] bool MakeDefault(const std::string& file_name);
  // Undoes the account file's change: the old content back, or a new file
  // removed.
  void PutBack(const std::string& path, const std::optional<std::string>& old_bytes);

  Platform& platform_;
  bool use_ssl_;
  std::string address_;
  std::string display_name_;
  bool make_default_;
  bool overwrite_existing_;
  RunLog& log_;
};

}  // namespace quillbank
