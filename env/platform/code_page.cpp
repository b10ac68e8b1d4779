#include "env/platform/code_page.h"

#include <cstdint>
#include <utility>

namespace quillbank {
namespace {

// Bytes 0x80..0x9F of Windows-1252 as Unicode code points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

class Cp1252 final : public CodePage {
 public:
  std::u16string Widen(std::string_view narrow) const override {
    std::u16string wide;
    wide.reserve(narrow.size());
    for (const char c : narrow) {
      const auto byte = static_cast<unsigned char>(c);
      wide.push_back(byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : char16_t{byte});
    }
    return wide;
  }

  std::optional<std::string> Narrow(std::u16string_view wide) const override {
    std::string narrow;
    narrow.reserve(wide.size());
    for (const char16_t unit : wide) {
      const std::optional<char> byte = ByteOf(unit);
      if (!byte) return std::nullopt;
      narrow.push_back(*byte);
    }
    return narrow;
  }

 private:
  static std::optional<char> ByteOf(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
    for (int i = 0; i < 32; ++i) {
      if (kCp1252High[i] == unit) return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
  }
};

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendUtf8(std::uint32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

// UTF-8 as a code page: every character has a narrow form, and a byte that
// is not part of a well-formed sequence widens to U+FFFD.
class Utf8CodePage final : public CodePage {
 public:
  std::u16string Widen(std::string_view narrow) const override {
    if (std::optional<std::u16string> wide = Utf8ToUtf16(narrow)) return std::move(*wide);
    std::u16string out;
    std::size_t start = 0;
    while (start < narrow.size()) {
      const std::size_t length = WellFormedLength(narrow.substr(start));
      if (length == 0) {
        out.push_back(u'\uFFFD');
        ++start;
      } else {
        out += *Utf8ToUtf16(narrow.substr(start, length));
        start += length;
      }
    }
    return out;
  }
  std::optional<std::string> Narrow(std::u16string_view wide) const override {
    for (std::size_t i = 0; i < wide.size(); ++i) {
      const bool high = wide[i] >= 0xD800 && wide[i] <= 0xDBFF;
      const bool low = wide[i] >= 0xDC00 && wide[i] <= 0xDFFF;
      if (low) return std::nullopt;
      if (high && !(i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)) {
        return std::nullopt;
      }
      if (high) ++i;
    }
    return Utf16ToUtf8(wide);
  }

 private:
  // The length of the well-formed sequence `text` starts with; 0 when none.
  static std::size_t WellFormedLength(std::string_view text) {
    for (std::size_t length = 1; length <= 4 && length <= text.size(); ++length) {
      if (Utf8ToUtf16(text.substr(0, length))) return length;
    }
    return 0;
  }
};

}  // namespace

const CodePage& Utf8() {
  static const Utf8CodePage code_page;
  return code_page;
}

const CodePage& Windows1252() {
  static const Cp1252 code_page;
  return code_page;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = 0;
    std::uint32_t code_point = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      length = 1, code_point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, code_point = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, code_point = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, code_point = lead & 0x07, minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (utf8.size() - i < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto byte = static_cast<unsigned char>(utf8[i + k]);
      if (!IsContinuation(byte)) return std::nullopt;
      code_point = (code_point << 6) | (byte & 0x3F);
    }
    if (code_point < minimum || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF)) {
      return std::nullopt;
    }
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (code_point >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (code_point & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code_point));
    }
    i += length;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    std::uint32_t code_point = utf16[i];
    const bool high = code_point >= 0xD800 && code_point <= 0xDBFF;
    const bool low_next = i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF;
    if (high && low_next) {
      code_point = 0x10000 + ((code_point - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (code_point >= 0xD800 && code_point <= 0xDFFF) {
      code_point = 0xFFFD;
    }
    AppendUtf8(code_point, out);
  }
  return out;
}

std::vector<std::uint8_t> Utf16LeBytes(std::u16string_view wide) {
  std::vector<std::uint8_t> data;
  data.reserve(wide.size() * 2 + 2);
  for (const char16_t unit : wide) {
    data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

std::string NarrowToUtf8(const CodePage& code_page, std::string_view narrow) {
  return Utf16ToUtf8(code_page.Widen(narrow));
}

std::optional<std::string> Utf8ToNarrow(const CodePage& code_page, std::string_view utf8) {
  const std::optional<std::u16string> wide = Utf8ToUtf16(utf8);
  if (!wide) return std::nullopt;
  return code_page.Narrow(*wide);
}

}  // namespace quillbank
