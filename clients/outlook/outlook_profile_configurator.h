// Outlook 2002 and later keep their accounts inside the default mail profile
// (see outlook_profile_store.h). This configurator finds the account with the
// requested address, then leaves it alone, resets it in place or creates it
// under a new number, and can move it to the front of the profile's account
// list, which makes it the default account. Its readers let the automatic
// mode copy the default account, or the first one holding a search text.
//
// Key names never come from the address, the display name or the prefix: an
// account key is named by its number, and a profile name that could reach a
// key below another one is not used.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clients/account_store/requested_account.h"
#include "core/account_request.h"
#include "env/platform/platform.h"

namespace quillbank {

class RunLog;

class OutlookProfileConfigurator final : public outlook::RequestedAccount {
 public:
  OutlookProfileConfigurator(Platform& platform, const AccountRequest& request);

  // 0 written (and "LastChangeVer" counted up);
  // 1 no change could be made: the account list is full (50 accounts),
  //   malformed or longer than 200 bytes, no account number is free, or the
  //   address (or automatic-mode account name) is too long for a later run
  //   to find the account again; nothing written;
  // 2 the profiles key or the profile's account key cannot be opened (other
  //   than missing);
  // 3 the same keys are missing: Outlook has not set up a profile yet;
  // 4 Outlook asks for a profile at start: there is no default profile;
  // 5 an account with the address exists and overwrite is off;
  // 6 the automatic-mode account exists and overwrite is off;
  // 7 a write failed; every value written was put back.
  // 2, 3 and 4 come before anything is written, 5 and 6 after the search only.
  [[nodiscard]] ConfigStatus Configure() override;

  // Readers. None logs, none creates a key; each answers no value when
  // the default profile cannot be named or its key cannot be opened.
  // The key name of the first account in the list; no value when the
  // list is missing or empty.
  [[nodiscard]] std::optional<std::string> GetDefAcct() override;
  // The key name of the first account (in enumeration order) whose "Email"
  // contains `text` (case-sensitive); no value when none does.
  [[nodiscard]] std::optional<std::string> FindAcctByAddr(const std::string& text) override;
  // The account's "Email"; no value when the key name is not an account
  // number or the value is missing, empty, unreadable or not narrow text, so
  // that a wrong address is never copied into a new account.
  [[nodiscard]] std::optional<std::string> GetAcctAddr(
      const std::optional<std::string>& key_name) override;
  // The account's "Display Name"; no value when the account key cannot be
  // opened, the empty text when the value is missing or unreadable.
  [[nodiscard]] std::optional<std::string> GetAcctName(
      const std::optional<std::string>& key_name) override;

 private:
  // What a run writes besides the account values.
  struct ListChange {
    std::vector<std::uint32_t> list;
    std::optional<std::uint32_t> next_account_id;
  };

  // The default profile's account store, opened for the run.
  struct Store {
    std::string path;
    std::unique_ptr<RegistryKey> key;
    std::vector<std::string> subkeys;  // filled by FindAccount
  };
  // What the run writes: the account's number and, unless an existing
  // account keeps its place, the new account list.
  struct Plan {
    std::uint32_t number = 0;
    std::optional<ListChange> change;
  };

  // The steps of Configure; each answers the status to end the run with, or
  // none to go on.
  [[nodiscard]] std::optional<ConfigStatus> ReadDefaultProfile(std::string& profile);
  [[nodiscard]] std::optional<ConfigStatus> OpenStore(const std::string& profile, Store& store);
  [[nodiscard]] std::optional<ConfigStatus> RefuseUnfindableName();
  [[nodiscard]] std::optional<ConfigStatus> FindAccount(Store& store,
                                                        std::optional<std::string>& match);
  [[nodiscard]] std::optional<ConfigStatus> Decide(const Store& store,
                                                   const std::optional<std::string>& match,
                                                   Plan& plan);

  [[nodiscard]] bool AsksForProfile();
  [[nodiscard]] std::optional<std::string> Search(const std::string& store_path,
                                                  const std::vector<std::string>& subkeys);
  [[nodiscard]] bool RebuildList(const std::string& store_path,
                                 const std::vector<std::string>& subkeys, std::uint32_t target,
                                 ListChange& change);
  [[nodiscard]] bool PlanNewAccount(RegistryKey& store, const std::vector<std::string>& subkeys,
                                    std::uint32_t& number, ListChange& change);
  [[nodiscard]] bool WriteAccount(RegistryKey& store, const std::string& store_path,
                                  std::uint32_t number, const std::optional<ListChange>& change);
  // The default profile's account key path; nullopt when the profiles key or
  // "DefaultProfile" cannot be read or does not name one profile key.
  [[nodiscard]] std::optional<std::string> DefaultProfileAccountPath();
  // Reads one UTF-16 value of an account key for a reader.
  [[nodiscard]] long ReadAccountText(const std::optional<std::string>& key_name, const char* value_name,
                                     std::optional<std::string>& text, bool& lossless);

  Platform& platform_;
};

}  // namespace quillbank
