// The account store that Outlook 2002, 2003 and 2007 keep inside a mail
// profile: below the profile's account key every account is a subkey named by
// its number (8 lower-case hex digits), a binary list of those numbers names
// the accounts in order (the first is the default), "NextAccountID" gives the
// number of the next new account and "LastChangeVer" counts changes. Most
// text values are UTF-16 in REG_BINARY values.
//
// This file holds the store's names and the encodings of its values; the
// configurator that writes an account is in outlook_profile_configurator.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/code_page.h"
#include "env/platform/mapi.h"

namespace quillbank::outlook_profile {

// Keys and values, all under HKEY_CURRENT_USER.
inline constexpr const char* kExchangeOptionsKey = "Software\\Microsoft\\Exchange\\Client\\Options";
inline constexpr const char* kPickLogonProfileValue = "PickLogonProfile";
inline constexpr const char* kProfilesKey = kMapiProfilesKey;
inline constexpr const char* kDefaultProfileValue = "DefaultProfile";
// The profile whose accounts are used when the default profile has none.
inline constexpr const char* kFallbackProfile = "Outlook";
inline constexpr const char* kAccountStoreKeyName = "9375CFF0413111d3B88A00104B2A6676";
inline constexpr const char* kNextAccountIdValue = "NextAccountID";
inline constexpr const char* kAccountListValue = "{ED475418-B0D6-11D2-8C3B-00104B2A6676}";
inline constexpr const char* kLastChangeVerValue = "LastChangeVer";
inline constexpr const char* kPop3AccountClsid = "{ED475411-B0D6-11D2-8C3B-00104B2A6676}";

// The account list is read with 200 bytes: at most 50 accounts.
inline constexpr std::size_t kAccountListCapacity = 200;
inline constexpr std::size_t kEntrySize = 4;
inline constexpr std::size_t kMaxListEntries = kAccountListCapacity / kEntrySize;
// Values are read with 100 bytes: UTF-16 text of at most 49 characters.
inline constexpr std::size_t kTextValueCapacity = 100;
inline constexpr std::size_t kMaxTextLength = kTextValueCapacity / 2 - 1;
// "LastChangeVer" is written back as exactly 8 bytes.
inline constexpr std::size_t kChangeCounterSize = 8;

// The profile's account key: kProfilesKey\<profile>\9375CFF0...\ (with the
// closing backslash).
[[nodiscard]] std::string ProfileAccountPath(std::string_view profile);

// True when `name` can name a profile key of its own: not empty, no backslash
// (which would reach a key below another one).
[[nodiscard]] bool IsProfileName(std::string_view name);

// An account number as its key name: 8 lower-case hex digits (26 -> 0000001a).
[[nodiscard]] std::string AccountKeyName(std::uint32_t number);
// The number an account key is named by; nullopt unless the name is exactly
// 8 hex digits (either case). Other subkeys are not accounts of this store.
[[nodiscard]] std::optional<std::uint32_t> AccountNumberOf(std::string_view key_name);

// The account list: 4 bytes per account, the number little-endian.
[[nodiscard]] std::vector<std::uint8_t> ListEntry(std::uint32_t number);
[[nodiscard]] std::vector<std::uint8_t> EncodeAccountList(const std::vector<std::uint32_t>& numbers);
// The numbers of a list; nullopt when its length is not a multiple of 4.
[[nodiscard]] std::optional<std::vector<std::uint32_t>> DecodeAccountList(
    const std::vector<std::uint8_t>& data);

// Narrow text as the store keeps it: widened to UTF-16 through the code page
// (so 0x80 of Windows-1252 is the euro sign), little-endian, then a 16-bit
// zero.
[[nodiscard]] std::vector<std::uint8_t> EncodeText(const CodePage& code_page,
                                                   std::string_view text);
// The text of a UTF-16 value as narrow text of the code page: its units up to
// the first zero unit. A character the code page has no byte for becomes "?"
// and `lossless` (when given) is set false.
[[nodiscard]] std::string DecodeText(const CodePage& code_page,
                                     const std::vector<std::uint8_t>& data,
                                     bool* lossless = nullptr);

// The change counter after one more change: the stored bytes read as a
// little-endian number (the first 8 of them; missing counts as 0) plus one,
// as 8 little-endian bytes.
[[nodiscard]] std::vector<std::uint8_t> NextChangeVer(const std::vector<std::uint8_t>& stored);

}  // namespace quillbank::outlook_profile
