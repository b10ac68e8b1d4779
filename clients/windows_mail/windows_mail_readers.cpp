// The automatic mode's readers of Windows Mail accounts. They only open the
// registry for reading and only read files: a failed automatic run leaves
// the store as it found it.
#include <algorithm>
#include <string>
#include <vector>

#include "clients/windows_mail/account_xml.h"
#include "clients/windows_mail/utf16_text.h"
#include "clients/windows_mail/windows_mail_configurator.h"
#include "core/address_search.h"
#include "env/registry_access.h"
#include "env/run_log.h"

namespace quillbank {

using namespace winmail;

namespace {

constexpr const char* kAddressElement = "SMTP_Email_Address";
constexpr const char* kDisplayNameElement = "SMTP_Display_Name";
// A file name, as Windows keeps it (MAX_PATH, terminator included).
constexpr std::size_t kFileNameCapacity = 260;

// Whether the key is one file name of the account folder, not a path that
// would lead out of it or name the folder itself.
bool IsAccountFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string::npos;
}

// An element of an account file as a reader sees it.
struct ElementValue {
  bool present = false;
  std::optional<std::string> text;  // none when present but not plain text of the code page
};

// The first element of the account with that name, decoded and narrowed.
ElementValue ReadElement(const CodePage& code_page, const std::string& bytes, const char* element) {
  const WideText text = CodeUnitsOf(bytes);
  const std::string_view wanted = element;  // ASCII
  for (const XmlElement& found : ReadAccountMarkup(text).elements) {
    if (!std::equal(found.name.begin(), found.name.end(), wanted.begin(), wanted.end())) continue;
    const std::optional<WideText> decoded = DecodedText(found.content);
    // Text the code page cannot hold is not read as something else.
    if (!decoded) return {true, std::nullopt};
    return {true, code_page.Narrow(*decoded)};
  }
  return {};
}

}  // namespace

void WindowsMailConfigurator::LogReaderResult(const char* reader, const std::string& what,
                                              const std::optional<std::string>& value) {
  *log_ << reader << " Result (" << what << "): " << LogValue(value.value_or(kReaderError))
        << kEndLine;
}

std::optional<std::string> WindowsMailConfigurator::ReadAccountFile(
    const std::optional<std::string>& key_name) {
  if (!key_name || !IsAccountFileName(*key_name)) return std::nullopt;
  const std::optional<std::string> folder = FindAccountFolder(platform_).path;
  if (!folder) return std::nullopt;
  return platform_.files.ReadFile(*folder + "\\" + *key_name);
}

std::optional<std::string> WindowsMailConfigurator::GetDefAcct() {
  std::optional<std::string> name =
      ReadText(platform_.registry, RegRoot::CurrentUser, kDefaultAccountKey, RegAccess::Read,
               kDefaultAccountValue, kFileNameCapacity);
  // An empty value names no account. A name whose file is missing is still
  // returned: the address reader then finds no account, and the run reports
  // that the default account no longer exists.
  if (name && name->empty()) name.reset();
  LogReaderResult("GetDefAcct", kDefaultAccountValue, name);
  return name;
}

std::optional<std::string> WindowsMailConfigurator::FindAcctByAddr(const std::string& text) {
  const std::optional<std::string> folder = FindAccountFolder(platform_).path;
  const std::string pattern = folder ? *folder + "\\account*" : "Windows Mail's account folder";
  std::optional<std::string> match;
  if (folder) {  // a folder is only named when its pattern fits a listing
    // The listing's own order differs between file systems; byte order of
    // the names makes the first match the same everywhere.
    std::vector<std::string> names = platform_.files.ListFolder(pattern);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::optional<std::string> bytes = ReadAccountFile(name);
      if (!bytes) continue;
      const std::optional<std::string> address =
          ReadElement(platform_.code_page, *bytes, kAddressElement).text;
      if (address && !address->empty() && AddressMatches(*address, text)) {
        match = name;
        break;
      }
    }
  }
  LogReaderResult("FindAcctByAddr",
                  std::string(kAddressElement) + " containing '" + LogValue(text) + "' in " + pattern,
                  match);
  return match;
}

std::optional<std::string> WindowsMailConfigurator::GetAcctAddr(
    const std::optional<std::string>& key_name) {
  std::optional<std::string> address;
  if (const std::optional<std::string> bytes = ReadAccountFile(key_name)) {
    address = ReadElement(platform_.code_page, *bytes, kAddressElement).text;
  }
  // An empty address is no address: it must never be copied into a new account.
  if (address && address->empty()) address.reset();
  LogReaderResult("GetAcctAddr",
                  std::string(kAddressElement) + " of " + LogValue(key_name.value_or(kReaderError)),
                  address);
  return address;
}

std::optional<std::string> WindowsMailConfigurator::GetAcctName(
    const std::optional<std::string>& key_name) {
  std::optional<std::string> name;
  if (const std::optional<std::string> bytes = ReadAccountFile(key_name)) {
    // An account without a display name gets an empty one rather than none.
    const ElementValue element = ReadElement(platform_.code_page, *bytes, kDisplayNameElement);
    name = element.present ? element.text : std::string();
  }
  LogReaderResult("GetAcctName",
                  std::string(kDisplayNameElement) + " of " +
                      LogValue(key_name.value_or(kReaderError)),
                  name);
  return name;
}

}  // namespace quillbank
