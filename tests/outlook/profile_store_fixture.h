// A profile account store of Outlook 2002 and later in an in-memory registry,
// with shorthands for seeding accounts and reading values back, and a
// registry wrapper that fails chosen opens and writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/account_request.h"
#include "clients/outlook/outlook_profile_configurator.h"
#include "clients/outlook/outlook_profile_store.h"
#include "env/platform/registry_tree.h"
#include "tests/support/fake_platform.h"

namespace quillbank::testing {

using Bytes = std::vector<std::uint8_t>;

inline constexpr RegRoot kHkcu = RegRoot::CurrentUser;
inline constexpr const char* kProfileName = "Default Outlook Profile";
inline constexpr const char* kAddress = "jane@tessaline.net";
inline constexpr const char* kDisplayName = "Jane Doe";

// UTF-16 bytes of a text of code units below 0x100, with the closing zero.
inline Bytes Utf16(const std::string& text) {
  Bytes data;
  for (const char c : text) {
    data.push_back(static_cast<std::uint8_t>(c));
    data.push_back(0);
  }
  data.push_back(0);
  data.push_back(0);
  return data;
}

// Fails opens and creates of one key, and writes of one value name, with a
// chosen Win32 code; everything else goes to the wrapped registry.
class FaultyRegistry final : public Registry {
 public:
  explicit FaultyRegistry(Registry& inner) : inner_(inner) {}

  long Open(RegRoot root, std::string_view path, RegAccess access,
            std::unique_ptr<RegistryKey>& key) override {
    if (IsFailingKey(path)) return key_error;
    std::unique_ptr<RegistryKey> inner;
    const long result = inner_.Open(root, path, access, inner);
    if (result == win32_error::kSuccess) key = std::make_unique<Key>(*this, std::move(inner));
    return result;
  }
  long Create(RegRoot root, std::string_view path, std::unique_ptr<RegistryKey>& key) override {
    if (IsFailingKey(path)) return key_error;
    std::unique_ptr<RegistryKey> inner;
    const long result = inner_.Create(root, path, inner);
    if (result == win32_error::kSuccess) key = std::make_unique<Key>(*this, std::move(inner));
    return result;
  }
  long DeleteKey(RegRoot root, std::string_view path) override {
    return inner_.DeleteKey(root, path);
  }

  std::string failing_key;    // path, compared without regard to case and backslashes
  long key_error = win32_error::kAccessDenied;
  std::string failing_value;  // value name whose writes fail
  long value_error = win32_error::kAccessDenied;

 private:
  class Key final : public RegistryKey {
   public:
    Key(FaultyRegistry& owner, std::unique_ptr<RegistryKey> inner)
        : owner_(owner), inner_(std::move(inner)) {}
    long QueryValue(std::string_view name, std::size_t capacity, RegValue& out) override {
      return inner_->QueryValue(name, capacity, out);
    }
    long SetValue(std::string_view name, std::uint32_t type, const Bytes& data) override {
      if (!owner_.failing_value.empty() && SameName(name, owner_.failing_value)) {
        return owner_.value_error;
      }
      return inner_->SetValue(name, type, data);
    }
    long DeleteValue(std::string_view name) override { return inner_->DeleteValue(name); }
    long EnumKey(std::uint32_t index, std::size_t capacity, std::string& name) override {
      return inner_->EnumKey(index, capacity, name);
    }
    long QuerySubkeyCount(std::uint32_t& count) override {
      return inner_->QuerySubkeyCount(count);
    }

   private:
    FaultyRegistry& owner_;
    std::unique_ptr<RegistryKey> inner_;
  };

  bool IsFailingKey(std::string_view path) const {
    if (failing_key.empty()) return false;
    const std::vector<std::string> a = SplitKeyPath(path);
    const std::vector<std::string> b = SplitKeyPath(failing_key);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (!SameName(a[i], b[i])) return false;
    }
    return true;
  }

  Registry& inner_;
};

// Every key and value below HKEY_CURRENT_USER, one line each, so that a test
// can tell that a run changed nothing.
inline void DescribeNode(const RegistryNode& node, const std::string& path,
                         std::vector<std::string>& out) {
  out.push_back("[" + path + "]");
  for (const auto& [name, value] : node.values) {
    std::string line = "  " + Utf16ToUtf8(name) + "=" + std::to_string(value.type) + ":";
    std::vector<std::uint8_t> data = value.data;
    if (IsTextType(value.type)) {
      // Text as the narrow API reads it back.
      std::u16string units;
      for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
      }
      const std::string narrow = Windows1252().Narrow(units).value_or("<not 1252>");
      data.assign(narrow.begin(), narrow.end());
    }
    for (const std::uint8_t byte : data) line += " " + std::to_string(byte);
    out.push_back(line);
  }
  for (const auto& [upper, child] : node.subkeys) {
    const std::string name = Utf16ToUtf8(child->name);
    DescribeNode(*child, path.empty() ? name : path + "\\" + name, out);
  }
}

class ProfileStoreTest : public ::testing::Test {
 protected:
  ProfileStoreTest() : faulty_(fake_.registry) {
    fake_.SetText(kHkcu, outlook_profile::kProfilesKey, "DefaultProfile", kProfileName);
  }

  static std::string Store(const std::string& profile = kProfileName) {
    return outlook_profile::ProfileAccountPath(profile);
  }
  static std::string Account(const std::string& key_name,
                             const std::string& profile = kProfileName) {
    return Store(profile) + key_name + "\\";
  }

  // The profile's account list and next number; an empty list is left out.
  void SeedStore(const Bytes& list, std::uint32_t next_account_id,
                 const std::string& profile = kProfileName) {
    fake_.CreateKey(kHkcu, Store(profile));
    if (!list.empty()) fake_.SetBinary(kHkcu, Store(profile), outlook_profile::kAccountListValue, list);
    fake_.SetDword(kHkcu, Store(profile), outlook_profile::kNextAccountIdValue, next_account_id);
  }
  // A mail account as Outlook keeps it.
  void SeedAccount(const std::string& key_name, const std::string& email,
                   const std::string& display_name = "Someone",
                   const std::string& account_name = "",
                   const std::string& profile = kProfileName) {
    const std::string path = Account(key_name, profile);
    fake_.SetBinary(kHkcu, path, "Account Name", Utf16(account_name.empty() ? email : account_name));
    fake_.SetBinary(kHkcu, path, "Display Name", Utf16(display_name));
    fake_.SetBinary(kHkcu, path, "Email", Utf16(email));
    fake_.SetBinary(kHkcu, path, "POP3 Server", Utf16("mail.example.org"));
  }

  std::vector<std::string> Snapshot() {
    std::vector<std::string> lines;
    DescribeNode(fake_.registry.RootNode(kHkcu), "", lines);
    return lines;
  }

  Bytes Binary(const std::string& path, const std::string& name) {
    const std::optional<RegValue> value = fake_.Value(kHkcu, path, name);
    if (!value) return {};
    EXPECT_EQ(value->type, reg_type::kBinary) << name;
    return value->data;
  }
  // A UTF-16 value's text; "<missing>" when there is none.
  std::string Text16(const std::string& path, const std::string& name) {
    const std::optional<RegValue> value = fake_.Value(kHkcu, path, name);
    if (!value) return "<missing>";
    EXPECT_EQ(value->type, reg_type::kBinary) << name;
    return outlook_profile::DecodeText(Windows1252(), value->data);
  }
  Bytes List(const std::string& profile = kProfileName) {
    return Binary(Store(profile), outlook_profile::kAccountListValue);
  }
  std::optional<std::uint32_t> NextId(const std::string& profile = kProfileName) {
    return fake_.Dword(kHkcu, Store(profile), outlook_profile::kNextAccountIdValue);
  }

  AccountRequest Request(bool make_default = false, bool overwrite = false, bool ssl = true,
                         const std::string& address = kAddress) {
    return AccountRequest{address, kDisplayName, make_default, overwrite, ssl, log_.log()};
  }
  std::unique_ptr<OutlookProfileConfigurator> Make(const AccountRequest& request) {
    return std::make_unique<OutlookProfileConfigurator>(fake_.platform, request);
  }
  // A configurator whose registry fails as `faulty_` is told to.
  std::unique_ptr<OutlookProfileConfigurator> MakeFaulty(const AccountRequest& request) {
    return std::make_unique<OutlookProfileConfigurator>(faulty_platform_, request);
  }

  FakePlatform fake_;
  CapturedLog log_;
  FaultyRegistry faulty_;
  Platform faulty_platform_{faulty_,          fake_.files, fake_.environment, fake_.processes,
                            fake_.clock, fake_.uuids, Windows1252(), fake_.user};
};

}  // namespace quillbank::testing
