#include "clients/thunderbird/thunderbird_accounts.h"

#include <algorithm>

#include "core/ascii_text.h"

namespace quillbank::thunderbird {
namespace {

// The items of a comma-separated list, blanks around them dropped, empty
// ones skipped.
std::vector<std::string> Items(std::string_view list) {
  std::vector<std::string> items;
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view item = TrimBlanks(list.substr(0, comma));
    if (!item.empty()) items.emplace_back(item);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return items;
}

std::string Key(std::string_view prefix, std::string_view name, std::string_view suffix) {
  std::string key(prefix);
  key.append(name).append(suffix);
  return key;
}

}  // namespace

std::optional<std::string_view> AccountList::Text(std::string_view key) const {
  std::optional<std::size_t> last;
  for (std::optional<std::size_t> at = scan_.FindPref(key); at; at = scan_.FindPref(key, *at + 1)) {
    last = at;
  }
  if (!last) return std::nullopt;
  const std::optional<Pref> pref = ParsePref(lines_[*last]);
  if (!pref || !pref->is_text) return std::nullopt;
  return pref->value;
}

std::vector<std::string> AccountList::Listed() const {
  return Items(Text(kAccountListKey).value_or(""));
}

std::vector<std::string> AccountList::MailAccounts() const {
  std::vector<std::string> accounts = Listed();
  accounts.erase(std::remove_if(accounts.begin(), accounts.end(),
                                [this](const std::string& account) {
                                  return !IsMailAccount(account);
                                }),
                 accounts.end());
  return accounts;
}

bool AccountList::IsMailAccount(std::string_view account) const {
  const std::vector<std::string> listed = Listed();
  if (std::find(listed.begin(), listed.end(), account) == listed.end()) return false;
  const std::optional<std::string_view> server = ServerOf(account);
  if (!server) return false;
  // A server without a type is one Thunderbird cannot load: no mail account
  // either.
  const std::optional<std::string_view> type = Text(Key("mail.server.", *server, ".type"));
  return type && !type->empty() && *type != kNoServerType;
}

std::optional<std::string> AccountList::FirstIdentity(std::string_view account) const {
  const std::vector<std::string> identities =
      Items(Text(Key("mail.account.", account, ".identities")).value_or(""));
  if (identities.empty()) return std::nullopt;
  return identities.front();
}

std::optional<std::string> AccountList::AccountWithServerName(std::string_view name) const {
  for (const std::string& account : Listed()) {
    const std::optional<std::string_view> server = ServerOf(account);
    if (!server) continue;
    const std::optional<std::string_view> server_name = Text(Key("mail.server.", *server, ".name"));
    if (server_name && EqualsIgnoringCase(*server_name, name)) return account;
  }
  return std::nullopt;
}

std::optional<std::string> AccountList::AccountWithServer(std::string_view type,
                                                         std::string_view host,
                                                         std::string_view user) const {
  for (const std::string& account : Listed()) {
    const std::optional<std::string_view> server = ServerOf(account);
    if (!server) continue;
    auto same = [&](std::string_view setting, std::string_view wanted) {
      const std::optional<std::string_view> value = Text(Key("mail.server.", *server, setting));
      return value && EqualsIgnoringCase(*value, wanted);
    };
    if (same(".type", type) && same(".hostname", host) && same(".userName", user)) return account;
  }
  return std::nullopt;
}

std::optional<std::string_view> AccountList::ServerOf(std::string_view account) const {
  const std::optional<std::string_view> server = Text(Key("mail.account.", account, ".server"));
  if (!server || TrimBlanks(*server).empty()) return std::nullopt;
  return TrimBlanks(*server);
}

}  // namespace quillbank::thunderbird
