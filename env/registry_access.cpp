#include "env/registry_access.h"

#include <algorithm>

namespace quillbank {

std::string TextOf(const RegValue& value) {
  const auto end = std::find(value.data.begin(), value.data.end(), std::uint8_t{0});
  return std::string(value.data.begin(), end);
}

std::uint32_t DwordOf(const RegValue& value) {
  if (value.data.size() < 4) return 0;
  return std::uint32_t{value.data[0]} | std::uint32_t{value.data[1]} << 8 |
         std::uint32_t{value.data[2]} << 16 | std::uint32_t{value.data[3]} << 24;
}

std::vector<std::uint8_t> SzData(std::string_view text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

std::vector<std::uint8_t> DwordData(std::uint32_t number) {
  return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
          static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

long QueryWholeValue(RegistryKey& key, std::string_view name, RegValue& out) {
  long result = win32_error::kMoreData;
  for (std::size_t capacity = 4096; capacity <= (16u << 20) && result == win32_error::kMoreData;
       capacity *= 4) {
    result = key.QueryValue(name, capacity, out);
  }
  return result;
}

long SetText(RegistryKey& key, std::string_view name, std::string_view text) {
  return key.SetValue(name, reg_type::kSz, SzData(text));
}

long SetDword(RegistryKey& key, std::string_view name, std::uint32_t number) {
  return key.SetValue(name, reg_type::kDword, DwordData(number));
}

long SetBinary(RegistryKey& key, std::string_view name, const std::vector<std::uint8_t>& data) {
  return key.SetValue(name, reg_type::kBinary, data);
}

std::optional<std::string> ReadText(RegistryKey& key, std::string_view name, std::size_t capacity) {
  RegValue value;
  if (key.QueryValue(name, capacity, value) != win32_error::kSuccess) return std::nullopt;
  return TextOf(value);
}

std::optional<std::string> ReadText(Registry& registry, RegRoot root, std::string_view path,
                                    RegAccess access, std::string_view name, std::size_t capacity) {
  std::unique_ptr<RegistryKey> key;
  if (registry.Open(root, path, access, key) != win32_error::kSuccess) return std::nullopt;
  return ReadText(*key, name, capacity);
}

bool KeyExists(Registry& registry, RegRoot root, std::string_view path, RegAccess access) {
  std::unique_ptr<RegistryKey> key;
  return registry.Open(root, path, access, key) == win32_error::kSuccess;
}

}  // namespace quillbank
