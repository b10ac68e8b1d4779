// The README's option and client tables say what the program knows: the
// "-c" numbers and names, the range in the exit-code table, a row of the
// automatic mode's table for every client, and a row for every option the
// help names.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/help_text.h"
#include "tests/support/mail_clients.h"

namespace quillbank {
namespace {

#ifndef _WIN32  // the Windows build's tests run under Wine, away from the sources

std::vector<std::string> ReadmeLines() {
  std::ifstream file(std::string(QUILLBANK_SOURCE_DIR) + "/README.md");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// The first cell of every table row below the heading line `heading`.
std::vector<std::string> FirstCellsAfter(const std::vector<std::string>& lines,
                                         const std::string& heading) {
  std::vector<std::string> cells;
  bool in_table = false;
  for (const std::string& line : lines) {
    if (line.rfind(heading, 0) == 0) {
      in_table = true;
      continue;
    }
    if (!in_table || line.rfind("|---", 0) == 0) continue;
    if (line.rfind("| ", 0) != 0) break;
    cells.push_back(line.substr(2, line.find(" |", 2) - 2));
  }
  return cells;
}

std::string RowStartingWith(const std::vector<std::string>& lines, const std::string& start) {
  for (const std::string& line : lines) {
    if (line.rfind(start, 0) == 0) return line;
  }
  return "";
}

TEST(ReadmeTest, TheClientAndOptionTablesMatchTheClients) {
  const std::vector<std::string> lines = ReadmeLines();
  ASSERT_FALSE(lines.empty());
  const ClientList& clients = MachineClients();

  EXPECT_EQ(RowStartingWith(lines, "| `-c N` |"), "| `-c N` | client: " + clients.Numbers() + " |");
  EXPECT_NE(RowStartingWith(lines, "| 10 |").find("not 0 to " + std::to_string(clients.NumberedCount() - 1)),
            std::string::npos);
  // The home numbers its own clients after the Windows ones.
  EXPECT_EQ(RowStartingWith(lines, "| `--home -c N` |"),
            "| `--home -c N` | client in your home: " + HomeClients().Numbers() + " |");
  EXPECT_NE(RowStartingWith(lines, "| 10 |")
                .find("(with `--home`, 0 to " + std::to_string(HomeClients().NumberedCount() - 1) + ")"),
            std::string::npos);

  std::string automatic_clients;
  for (const std::string& cell : FirstCellsAfter(lines, "| client | default account |")) {
    automatic_clients += cell + ", ";
  }
  for (int index = 0; index < clients.size(); ++index) {
    EXPECT_NE(automatic_clients.find(std::string(clients.At(index)->short_name) + ","),
              std::string::npos)
        << clients.At(index)->short_name << " has no row in the automatic mode's table";
  }

  // Every option --help lists has its row, and every exit code.
  const std::vector<std::string> options = FirstCellsAfter(lines, "| option | meaning |");
  for (const HelpRow& row : OptionRows(clients)) {
    const std::string option = row.key.substr(0, row.key.find_first_of(" ,"));
    bool found = false;
    for (const std::string& cell : options) found = found || cell.rfind("`" + option, 0) == 0;
    EXPECT_TRUE(found) << option << " has no row in the option table";
  }
  const std::vector<std::string> codes = FirstCellsAfter(lines, "| code | meaning |");
  for (const HelpRow& row : ExitCodeRows(clients)) {
    const std::string code = row.key == "1-9" ? "1–9" : row.key;
    EXPECT_NE(std::find(codes.begin(), codes.end(), code), codes.end())
        << code << " has no row in the exit-code table";
  }
}

#endif

}  // namespace
}  // namespace quillbank
