#include "clients/windows_mail/windows_mail_configurator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "core/provider_servers.h"
#include "clients/common/existing_account.h"
#include "clients/windows_mail/account_xml.h"
#include "clients/windows_mail/utf16_text.h"
#include "core/input_safety.h"
#include "env/registry_access.h"
#include "env/run_log.h"
#include "env/text_file.h"

namespace quillbank {
namespace winmail {

std::string DwordText(std::uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(number));
  return text;
}

std::string XmlEscape(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      default: escaped.push_back(c);
    }
  }
  return escaped;
}

namespace {

// The elements of an account file this configurator writes, in the order it
// writes them, with the label each one gets in the log.
struct Element {
  const char* name;
  const char* type;  // "SZ" or "DWORD"
  const char* label;
};

constexpr std::size_t kElementCount = 16;
constexpr std::array<Element, kElementCount> kElements{{
    {"Account_Name", "SZ", "Account Name: "},
    {"Connection_Type", "DWORD", "Connection Type: "},
    {"POP3_Server", "SZ", "POP3 Server: "},
    {"POP3_User_Name", "SZ", "POP3 User Name: "},
    {"POP3_Use_Sicily", "DWORD", "POP3 Use Sicily: "},
    {"POP3_Port", "DWORD", "POP3 Port: "},
    {"POP3_Secure_Connection", "DWORD", "POP3 Secure Connection: "},
    {"POP3_Timeout", "DWORD", "POP3 Timeout: "},
    {"Leave_Mail_On_Server", "DWORD", "Leave Mail On Server: "},
    {"SMTP_Server", "SZ", "SMTP Server: "},
    {"SMTP_Use_Sicily", "DWORD", "SMTP Use Sicily: "},
    {"SMTP_Port", "DWORD", "SMTP Port: "},
    {"SMTP_Secure_Connection", "DWORD", "SMTP Secure Connection: "},
    {"SMTP_Timeout", "DWORD", "SMTP Timeout: "},
    {"SMTP_Display_Name", "SZ", "SMTP Display Name: "},
    {"SMTP_Email_Address", "SZ", "SMTP Email Address: "},
}};

using ElementValues = std::array<std::string, kElementCount>;

constexpr std::size_t kAccountNameIndex = 0;
constexpr std::size_t kAddressIndex = kElementCount - 1;

// The value of every element for one request, as plain (unescaped) text.
ElementValues ValuesFor(const std::string& account_name, const std::string& address,
                        const std::string& display_name, bool use_ssl) {
  const ServerSettings servers = ServersFor(use_ssl);
  const std::string secure_flag = use_ssl ? "00000001" : "00000000";
  const std::string timeout = DwordText(60);
  return {account_name,
          "00000003",
          servers.incoming_host,
          address,
          "00000000",
          DwordText(static_cast<std::uint32_t>(servers.incoming_port)),
          secure_flag,
          timeout,
          "00000000",
          servers.outgoing_host,
          "00000002",
          DwordText(static_cast<std::uint32_t>(servers.outgoing_port)),
          secure_flag,
          timeout,
          display_name,
          address};
}

// `<Name type="SZ">` and the like.
std::string OpeningTag(const Element& element) {
  return std::string("<") + element.name + " type=\"" + element.type + "\">";
}

std::string ClosingTag(const Element& element) { return std::string("</") + element.name + ">"; }

// An element as this configurator writes it, with the value escaped.
WideText ElementText(const CodePage& code_page, std::size_t index, const std::string& value) {
  const Element& element = kElements[index];
  return code_page.Widen(OpeningTag(element) + XmlEscape(value) + ClosingTag(element));
}

// One element line of a new account file, indented, with its line end.
WideText ElementLine(const CodePage& code_page, std::size_t index, const std::string& value) {
  return u"    " + ElementText(code_page, index, value) + u"\r\n";
}

std::optional<std::size_t> ElementIndexOf(WideView name) {
  for (std::size_t i = 0; i < kElementCount; ++i) {
    const std::string_view known = kElements[i].name;  // ASCII
    if (name.size() == known.size() && std::equal(known.begin(), known.end(), name.begin())) {
      return i;
    }
  }
  return std::nullopt;
}

// The bytes of a new account file.
std::string NewAccountFile(const CodePage& code_page, const ElementValues& values) {
  WideFileWriter out;
  WriteWideText(out, WideView(&kByteOrderMark, 1));
  WriteWideText(out, u"<?xml version=\"1.0\" encoding=\"utf-16\" ?>\r\n");
  WriteWideText(out, u"<MessageAccount>\r\n");
  for (std::size_t i = 0; i < kElementCount; ++i) {
    WriteWideText(out, ElementLine(code_page, i, values[i]));
  }
  WriteWideText(out, u"</MessageAccount>\r\n");
  return out.bytes();
}

bool EndsLine(WideView text, std::size_t at) {
  return at == 0 || text[at - 1] == u'\n' || text[at - 1] == u'\r';
}

// The bytes of an existing account file with every element of the account
// this configurator knows set to its new value where it stands, and the ones
// it lacked added before the account's end tag. Everything else, line breaks
// and indentation included, stays as it was.
std::string RewrittenAccountFile(const CodePage& code_page, const std::string& old_bytes,
                                 const ElementValues& values) {
  const WideText text = CodeUnitsOf(old_bytes);
  const AccountMarkup markup = ReadAccountMarkup(text);
  WideText out;
  out.reserve(text.size() + 1024);
  std::size_t copied = 0;
  std::array<bool, kElementCount> written{};
  for (const XmlElement& element : markup.elements) {
    const std::optional<std::size_t> index = ElementIndexOf(element.name);
    if (!index) continue;
    out.append(text, copied, element.begin - copied);
    out += ElementText(code_page, *index, values[*index]);
    copied = element.end;
    written[*index] = true;
  }
  WideText missing;
  for (std::size_t i = 0; i < kElementCount; ++i) {
    if (!written[i]) missing += ElementLine(code_page, i, values[i]);
  }
  // On a line of their own in front of the end tag, or at the end of a file
  // that has none.
  std::size_t insert_at = markup.root_end.value_or(text.size());
  while (insert_at > copied && (text[insert_at - 1] == u' ' || text[insert_at - 1] == u'\t')) {
    --insert_at;
  }
  if (!missing.empty() && !EndsLine(text, insert_at)) missing.insert(0, u"\r\n");
  out.append(text, copied, insert_at - copied);
  out += missing;
  out.append(text, insert_at, WideText::npos);
  WideFileWriter writer;
  WriteWideText(writer, out);
  return writer.bytes();
}

// The path with its first "%USERPROFILE%" replaced by the variable's value;
// none when the path needs the variable and it is unset or empty.
std::optional<std::string> ExpandUserProfile(const std::string& path, Environment& environment) {
  const std::string placeholder = kUserProfilePlaceholder;
  const std::size_t at = path.find(placeholder);
  if (at == std::string::npos) return path;
  const std::optional<std::string> profile = environment.Get("USERPROFILE");
  if (!profile || profile->empty()) return std::nullopt;
  std::string expanded = path;
  expanded.replace(at, placeholder.size(), *profile);
  return expanded;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

AccountFolder FindAccountFolder(Platform& platform) {
  // Without a store root there is no folder to search or write in.
  const std::optional<std::string> store_root =
      ReadText(platform.registry, RegRoot::CurrentUser, kStoreKey, RegAccess::Read, kStoreRootValue,
               kStoreRootCapacity);
  if (!store_root || store_root->empty()) {
    return {std::nullopt, std::string("Windows Mail store root not found (\"") + kStoreRootValue +
                              "\" of HKEY_CURRENT_USER\\" + kStoreKey + ")."};
  }
  // The root is kept with its closing backslash; one missing is supplied.
  std::string folder = *store_root;
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  folder += "Local Folders";
  const std::optional<std::string> expanded = ExpandUserProfile(folder, platform.environment);
  if (!expanded) {
    return {std::nullopt,
            "USERPROFILE is not set, so the Windows Mail folder " + folder + " cannot be found."};
  }
  if (expanded->size() + std::string_view("\\account*").size() > kMaxPatternLength) {
    return {std::nullopt, "The Windows Mail folder path is too long: " + *expanded + "."};
  }
  return {expanded, ""};
}

}  // namespace winmail

using namespace winmail;

WindowsMailConfigurator::WindowsMailConfigurator(Platform& platform, const AccountRequest& request)
    : RequestedConfigurator(request), platform_(platform) {}

ConfigStatus WindowsMailConfigurator::Configure() {
  // The prefix is typed text like the address and name, which the run has
  // checked already: a control character could break the account file.
  if (automatic_ && HasControlCharacter(prefix_)) {
    *log_ << "Refusing account name '" << LogValue(AccountName())
          << "': the prefix holds a control character. Nothing was written." << kEndLine;
    return status::kUnsafeInput;
  }
  const std::string account_name = AccountName();
  const ElementValues values = ValuesFor(account_name, address_, display_name_, use_ssl_);
  const std::string guid = platform_.uuids.NewUuid();

  const AccountFolder folder = FindAccountFolder(platform_);
  if (!folder.path) {
    *log_ << folder.problem << " No changes will be made." << kEndLine;
    return status::kCannotConfigure;
  }
  const std::optional<std::string>& expanded = folder.path;

  // The automatic copy shares its address with the account it was copied
  // from: it is found by its name, so that the original is never touched.
  LogAccountSearch(*log_, account_name);
  const std::optional<std::string> found =
      automatic_ ? FindFileHolding(*expanded, kAccountNameIndex, account_name)
                 : FindAccountFile(*expanded, address_);
  const AccountDecision decision = DecideOnAccount(*log_, found.has_value(), overwrite_existing_);
  stored_as_ = found;
  if (decision.step == AccountStep::kSkip) return decision.status;
  const bool rewrite = decision.step == AccountStep::kReset;
  log_->EmptyLine();

  const std::string new_name = "account{" + guid + "}.oeaccount";
  const std::string new_path = *expanded + "\\" + new_name;
  log_->Line("Starting Windows Mail configuration...");
  log_->EmptyLine();

  std::string target = new_path;
  std::string content;
  std::optional<std::string> old_bytes;  // what a rewritten file held before
  std::string default_name = new_name;
  if (rewrite) {
    *log_ << " found existant at: " << *found << kEndLine;
    target = *found;
    old_bytes = platform_.files.ReadFile(*found);
    if (!old_bytes) {
      *log_ << "Could not read " << *found << ". No changes were made." << kEndLine;
      return status::kWriteFailed;
    }
    content = RewrittenAccountFile(platform_.code_page, *old_bytes, values);
    // The file's own name, whatever it looks like and wherever its folder lies.
    default_name = FileNameOf(*found);
  } else {
    content = NewAccountFile(platform_.code_page, values);
  }
  // The account file first, then the registry value that names it: a
  // failure of the second step can still put the file back, so the run
  // changes both or neither.
  if (!ReplaceFileContents(platform_.files, target, content, *log_)) return status::kWriteFailed;
  if (make_default_ && !MakeDefault(default_name)) {
    PutBack(target, old_bytes);
    return status::kWriteFailed;
  }
  stored_as_ = target;

  log_->Line("The following settings were written/overwritten in Windows Mail's configuration:");
  log_->EmptyLine();
  for (std::size_t i = 0; i < kElementCount; ++i) {
    *log_ << kElements[i].label << values[i] << kEndLine;
  }
  return status::kSuccess;
}

bool WindowsMailConfigurator::MakeDefault(const std::string& file_name) {
  std::unique_ptr<RegistryKey> key;
  long result = platform_.registry.Create(RegRoot::CurrentUser, kDefaultAccountKey, key);
  if (result == win32_error::kSuccess) result = SetText(*key, kDefaultAccountValue, file_name);
  // The machine folder keeps registry changes until they are committed; the
  // value must be on disk before the account file is known to stay.
  if (result == win32_error::kSuccess) result = platform_.registry.Commit();
  if (result == win32_error::kSuccess) return true;
  *log_ << "Could not write " << kDefaultAccountValue << " (error " << result
       << "). No changes were made." << kEndLine;
  return false;
}

void WindowsMailConfigurator::PutBack(const std::string& path,
                                      const std::optional<std::string>& old_bytes) {
  const bool restored = old_bytes ? platform_.files.ReplaceContents(path, *old_bytes) ==
                                        FileWrite::Written
                                  : platform_.files.DeleteFile(path);
  if (!restored) *log_ << "Could not put " << path << " back as it was." << kEndLine;
}

std::optional<std::string> WindowsMailConfigurator::FindAccountFile(const std::string& folder,
                                                                    const std::string& address) {
  return FindFileHolding(folder, kAddressIndex, address);
}

std::optional<std::string> WindowsMailConfigurator::FindFileHolding(const std::string& folder,
                                                                    std::size_t element,
                                                                    const std::string& value) {
  const std::string pattern = folder + "\\account*";
  log_->Line(pattern);
  if (pattern.size() > kMaxPatternLength) return std::nullopt;  // no listing takes it
  for (const std::string& name : platform_.files.ListFolder(pattern)) {
    const std::string path = folder + "\\" + name;
    if (FileHoldsValue(path, element, value)) return path;
  }
  return std::nullopt;
}

bool WindowsMailConfigurator::FileHoldsAddress(const std::string& path, const std::string& address) {
  return FileHoldsValue(path, kAddressIndex, address);
}

bool WindowsMailConfigurator::FileHoldsValue(const std::string& path, std::size_t element_index,
                                             const std::string& value) {
  const Element& element = kElements[element_index];
  const CodePage& code_page = platform_.code_page;
  const WideText start_tag = code_page.Widen(OpeningTag(element));
  const WideText escaped = code_page.Widen(XmlEscape(value));
  const WideText plain = code_page.Widen(value);
  const std::optional<std::string> bytes = platform_.files.ReadFile(path);
  if (!bytes) return false;
  const WideText text = CodeUnitsOf(*bytes);
  for (const XmlElement& found : ReadAccountMarkup(text).elements) {
    if (found.start_tag == start_tag && (found.content == escaped || found.content == plain)) {
      return true;
    }
  }
  return false;
}

}  // namespace quillbank
