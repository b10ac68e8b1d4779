// The clients one run knows, in client index order, with the kind of system
// the run changes: the list of descriptors from app/ seen from that system.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/client_descriptor.h"

namespace quillbank {

class ClientList {
 public:
  ClientList(std::vector<const ClientDescriptor*> clients, SystemKind kind)
      : clients_(std::move(clients)), kind_(kind) {}

  [[nodiscard]] int size() const { return static_cast<int>(clients_.size()); }
  [[nodiscard]] SystemKind kind() const { return kind_; }
  [[nodiscard]] bool IsIndex(int index) const { return index >= 0 && index < size(); }

  // The client of `index`; null outside the list.
  [[nodiscard]] const ClientDescriptor* At(int index) const {
    return IsIndex(index) ? clients_[static_cast<std::size_t>(index)] : nullptr;
  }
  // The client's name in log lines and messages; empty outside the list.
  [[nodiscard]] std::string Name(int index) const {
    const ClientDescriptor* client = At(index);
    return client ? client->name : "";
  }
  // What the client looks like on this run's system.
  [[nodiscard]] const ClientSite& SiteOf(int index) const { return At(index)->site(kind_); }
  [[nodiscard]] bool ExistsHere(int index) const { return IsIndex(index) && SiteOf(index).exists; }

  // The index of the client whose default client code is `code`; kNoClient
  // for kUnrecognisedDefaultClient or an unknown code.
  [[nodiscard]] int IndexWithDefaultCode(int code) const {
    for (int index = 0; index < size(); ++index) {
      if (code != kUnrecognisedDefaultClient && At(index)->default_code == code) return index;
    }
    return kNoClient;
  }

  // How many clients this system's texts number and its detection looks
  // for: every client up to the last one that exists here. A client that
  // exists only on another kind of system and comes after all of those (the
  // home's own clients, on Windows) stays out of this system's usage, range
  // and log, though its number is still told apart from a wrong one.
  [[nodiscard]] int NumberedCount() const {
    int count = 0;
    for (int index = 0; index < size(); ++index) {
      if (ExistsHere(index)) count = index + 1;
    }
    return count;
  }

  // "0 Outlook Express, 1 Outlook, ..." for the usage text and messages.
  [[nodiscard]] std::string Numbers() const {
    std::string text;
    for (int index = 0; index < NumberedCount(); ++index) {
      if (!text.empty()) text += ", ";
      text += std::to_string(index) + " " + At(index)->short_name;
    }
    return text;
  }

  // The short names of the clients that exist on `kind`, as a sentence
  // lists them: "A", "A and B", "A, B and C".
  [[nodiscard]] std::string ShortNamesOn(SystemKind kind) const {
    std::vector<const char*> names;
    for (const ClientDescriptor* client : clients_) {
      if (client->site(kind).exists) names.push_back(client->short_name);
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
      text += names[i];
    }
    return text;
  }

 private:
  std::vector<const ClientDescriptor*> clients_;
  SystemKind kind_;
};

}  // namespace quillbank
