#include "app/run_report.h"

#include <nlohmann/json.hpp>

namespace quillbank {
namespace {

nlohmann::ordered_json OrNull(const std::optional<std::string>& text) {
  return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

}  // namespace

const char* OutcomeWord(int exit_code) {
  if (exit_code >= 1 && exit_code <= 4) return "client-failed";
  switch (exit_code) {
    case 0: return "configured";
    case 5:
    case 6: return "exists";
    case 7: return "write-failed";
    case 8: return "unsupported-version";
    case 10: return "no-client";
    case 11: return "no-match";
    case 12: return "no-default-account";
    case 13: return "unknown-default-client";
    case 20: return "client-running";
    case 21: return "busy";
    case 22: return "changed-since";
    case 23: return "nothing-to-undo";
    case 30: return "invalid-text";
    case 64: return "usage";
    case 69: return "unavailable";
    case 70: return "no-window";
    default: return "client-failed";
  }
}

std::string JsonLine(const RunReport& report) {
  nlohmann::ordered_json changes = nlohmann::ordered_json::array();
  for (const StoreChange& change : report.changes) {
    changes.push_back({{"store", change.store},
                       {"kind", KindName(change.kind)},
                       {"action", ActionName(change.action)}});
  }
  const nlohmann::ordered_json line = {
      {"exit", report.exit_code},      {"outcome", OutcomeWord(report.exit_code)},
      {"client", OrNull(report.client)}, {"address", OrNull(report.address)},
      {"account", OrNull(report.account)}, {"changes", changes},
      {"log", OrNull(report.log)},     {"dry_run", report.dry_run},
  };
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace quillbank
