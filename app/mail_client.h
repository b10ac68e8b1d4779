// The five supported mail clients and their two numberings: the client index
// 0..4 (radio button position and "-c" value, -1 for none) and the default
// client code 1..5 found by detection (0 when not recognised).
#pragma once

#include <string>

namespace quillbank {

enum class MailClient { OutlookExpress = 0, Outlook = 1, WindowsMail = 2, Eudora = 3, Thunderbird = 4 };

inline constexpr int kNoClient = -1;
inline constexpr int kClientCount = 5;

[[nodiscard]] inline bool IsClientIndex(int index) { return index >= 0 && index < kClientCount; }

// The client's name in log lines and messages; empty for an index outside 0..4.
[[nodiscard]] inline std::string ClientName(int index) {
  switch (index) {
    case 0: return "Microsoft Outlook Express";
    case 1: return "Microsoft Outlook";
    case 2: return "Microsoft Windows Mail";
    case 3: return "Qualcomm Eudora";
    case 4: return "Mozilla Thunderbird";
    default: return "";
  }
}

// Outlook versions below this one keep their accounts in the Outlook 2000 store.
inline constexpr int kFirstProfileStoreOutlookVersion = 10;

}  // namespace quillbank
