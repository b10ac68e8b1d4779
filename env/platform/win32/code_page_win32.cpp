// The ANSI code page of the running Windows, through the system's own tables.
#include <windows.h>

#include "env/platform/system.h"
#include "env/platform/win32/win32_platform.h"

namespace quillbank {
namespace {

class Win32AnsiCodePage final : public CodePage {
 public:
  std::u16string Widen(std::string_view narrow) const override {
    if (narrow.empty()) return {};
    const int size = static_cast<int>(narrow.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, wide.data(), units);
    return std::u16string(wide.begin(), wide.end());
  }

  std::optional<std::string> Narrow(std::u16string_view wide) const override {
    if (wide.empty()) return std::string();
    const std::wstring text(wide.begin(), wide.end());
    const int size = static_cast<int>(text.size());
    // UTF-8 and UTF-7 take no default character; the round trip below tells
    // whether the text converted exactly.
    const bool utf = GetACP() == CP_UTF8 || GetACP() == CP_UTF7;
    const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* used = utf ? nullptr : &used_default;
    const int bytes = WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr, used);
    if (bytes <= 0 || used_default) return std::nullopt;
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, flags, text.data(), size, narrow.data(), bytes, nullptr, used);
    if (used_default || Widen(narrow) != wide) return std::nullopt;
    return narrow;
  }
};

}  // namespace

const CodePage& AnsiCodePage() {
  static const Win32AnsiCodePage code_page;
  return code_page;
}

const CodePage& SystemCodePage(SystemChoice) { return AnsiCodePage(); }

}  // namespace quillbank
