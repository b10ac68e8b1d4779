#include "clients/outlook/outlook_profile_store.h"

#include <cstdio>

namespace quillbank::outlook_profile {

std::string ProfileAccountPath(std::string_view profile) {
  std::string path(kProfilesKey);
  path += '\\';
  path += profile;
  path += '\\';
  path += kAccountStoreKeyName;
  path += '\\';
  return path;
}

bool IsProfileName(std::string_view name) {
  return !name.empty() && name.find('\\') == std::string_view::npos;
}

std::string AccountKeyName(std::uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(number));
  return text;
}

std::optional<std::uint32_t> AccountNumberOf(std::string_view key_name) {
  if (key_name.size() != 8) return std::nullopt;
  std::uint32_t number = 0;
  for (const char c : key_name) {
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    number = number << 4 | digit;
  }
  return number;
}

std::vector<std::uint8_t> ListEntry(std::uint32_t number) {
  return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
          static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

std::vector<std::uint8_t> EncodeAccountList(const std::vector<std::uint32_t>& numbers) {
  std::vector<std::uint8_t> data;
  data.reserve(numbers.size() * kEntrySize);
  for (const std::uint32_t number : numbers) {
    const std::vector<std::uint8_t> entry = ListEntry(number);
    data.insert(data.end(), entry.begin(), entry.end());
  }
  return data;
}

std::optional<std::vector<std::uint32_t>> DecodeAccountList(const std::vector<std::uint8_t>& data) {
  if (data.size() % kEntrySize != 0) return std::nullopt;
  std::vector<std::uint32_t> numbers;
  for (std::size_t i = 0; i < data.size(); i += kEntrySize) {
    numbers.push_back(std::uint32_t{data[i]} | std::uint32_t{data[i + 1]} << 8 |
                      std::uint32_t{data[i + 2]} << 16 | std::uint32_t{data[i + 3]} << 24);
  }
  return numbers;
}

std::vector<std::uint8_t> EncodeText(const CodePage& code_page, std::string_view text) {
  return Utf16LeBytes(code_page.Widen(text));
}

std::string DecodeText(const CodePage& code_page, const std::vector<std::uint8_t>& data,
                       bool* lossless) {
  if (lossless) *lossless = true;
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | unsigned{data[i + 1]} << 8);
    if (unit == 0) break;
    wide.push_back(unit);
  }
  if (std::optional<std::string> text = code_page.Narrow(wide)) return std::move(*text);
  // Character by character, to mark just the ones the code page lacks.
  if (lossless) *lossless = false;
  std::string text;
  for (const char16_t unit : wide) {
    const std::optional<std::string> one = code_page.Narrow(std::u16string_view(&unit, 1));
    text += one ? *one : std::string("?");
  }
  return text;
}

std::vector<std::uint8_t> NextChangeVer(const std::vector<std::uint8_t>& stored) {
  std::uint64_t counter = 0;
  for (std::size_t i = 0; i < stored.size() && i < kChangeCounterSize; ++i) {
    counter |= std::uint64_t{stored[i]} << (8 * i);
  }
  ++counter;
  std::vector<std::uint8_t> data(kChangeCounterSize);
  for (std::size_t i = 0; i < kChangeCounterSize; ++i) {
    data[i] = static_cast<std::uint8_t>(counter >> (8 * i));
  }
  return data;
}

}  // namespace quillbank::outlook_profile
