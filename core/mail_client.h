// The five supported mail clients and everything the program knows about each
// one outside its own store: one row per client. Detection, launch, status
// messages, the command line and the configurator factory all read this
// table, so adding a client starts with one row here.
//
// A client has two numberings: the client index 0..4 (radio button position
// and "-c" value, kNoClient for none) and the default client code 1..5 found
// by detection (0 when not recognised).
#pragma once

#include <array>
#include <optional>
#include <string>

namespace quillbank {

enum class MailClient { OutlookExpress = 0, Outlook = 1, WindowsMail = 2, Eudora = 3, Thunderbird = 4 };

inline constexpr int kNoClient = -1;
inline constexpr int kClientCount = 5;
inline constexpr int kUnrecognisedDefaultClient = 0;

struct ClientRow {
  MailClient client;
  int default_code;            // what detection reports for the default client
  const char* name;            // in log lines and messages
  const char* short_name;      // in the usage text
  const char* mail_key;        // below HKLM "SOFTWARE\Clients\Mail\"; present when installed
  const char* executable;      // the process file name while it runs (compared exactly)
  const char* app_paths_entry; // below HKLM "...\CurrentVersion\App Paths\"
  const char* mailto_marker;   // in the "mailto" command of the default client (lower case)
  bool has_default_option;     // whether "make this my default account" applies
};

// In client index order.
inline constexpr std::array<ClientRow, kClientCount> kClientTable = {{
    // client, default code, name, short name,
    //   Clients\Mail key, executable, App Paths entry, mailto marker, default option
    {MailClient::OutlookExpress, 1, "Microsoft Outlook Express", "Outlook Express",
     "Outlook Express", "msimn.exe", "msimn.exe", "msimn", true},
    {MailClient::Outlook, 2, "Microsoft Outlook", "Outlook",
     "Microsoft Outlook", "OUTLOOK.EXE", "OUTLOOK.EXE", "outlook.exe", true},
    {MailClient::WindowsMail, 3, "Microsoft Windows Mail", "Windows Mail",
     "Windows Mail", "WinMail.exe", "WinMail.exe", "winmail", true},
    // Eudora has no default account to set.
    {MailClient::Eudora, 4, "Qualcomm Eudora", "Eudora",
     "Eudora", "Eudora.exe", "Eudora.exe", "eudora", false},
    {MailClient::Thunderbird, 5, "Mozilla Thunderbird", "Thunderbird",
     "Mozilla Thunderbird", "thunderbird.exe", "thunderbird.exe", "thunde", true},
}};

[[nodiscard]] constexpr bool IsClientIndex(int index) { return index >= 0 && index < kClientCount; }

[[nodiscard]] constexpr const ClientRow& ClientInfo(MailClient client) {
  return kClientTable[static_cast<std::size_t>(client)];
}

// The row of client index `index`; none outside 0..4.
[[nodiscard]] constexpr const ClientRow* ClientAt(int index) {
  return IsClientIndex(index) ? &kClientTable[static_cast<std::size_t>(index)] : nullptr;
}

// The row whose default client code is `code`; none for 0 or an unknown code.
[[nodiscard]] constexpr const ClientRow* ClientWithDefaultCode(int code) {
  for (const ClientRow& row : kClientTable) {
    if (row.default_code == code) return &row;
  }
  return nullptr;
}

// The client's name in log lines and messages; empty for an index outside 0..4.
[[nodiscard]] inline std::string ClientName(int index) {
  const ClientRow* row = ClientAt(index);
  return row ? row->name : "";
}

// Outlook versions below this one keep their accounts in the Outlook 2000 store.
inline constexpr int kFirstProfileStoreOutlookVersion = 10;

}  // namespace quillbank
