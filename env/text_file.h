// Line-by-line handling of the clients' text files, and how a configurator
// rewrites one: through Files::ReplaceContents, which replaces the old file
// only by a complete new one, and with the reason in the log when it could
// not.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "env/platform/platform.h"
#include "env/run_log.h"

namespace quillbank {

// The lines of a text, each with its own line end: split after "\r\n", "\n"
// or a "\r" on its own, as the files other programs write end their lines
// in any of these ways. A last line without a line end is returned as it is;
// a text that ends with a line end has no empty last line.
[[nodiscard]] std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text);

// Cuts a text into lines as SplitLinesKeepingEnds does, one at a time and
// from any line start. The next "\n" is remembered, so that cutting the lines
// in order is one pass over the text however its lines end.
class LineCutter {
 public:
  explicit LineCutter(std::string_view text) : text_(text) {}

  // The line that starts at `start` (a line start before the text's end),
  // with its line end.
  [[nodiscard]] std::string_view LineAt(std::size_t start);

 private:
  std::string_view text_;
  std::size_t searched_from_ = 1;  // no search yet
  std::size_t newline_ = 0;        // the first "\n" at or after searched_from_, or the end
};

// The line without the "\r\n", "\n" or "\r" at its end.
[[nodiscard]] std::string_view WithoutLineEnd(std::string_view line);

// The lines of a text as SplitLinesKeepingEnds cuts them, without their ends.
[[nodiscard]] std::vector<std::string_view> SplitLines(std::string_view text);

// A file's new content as pieces in order: runs of an old text, borrowed
// (the old text must outlive this), and text of its own. A large file that
// gains a few lines is then written from the old text itself, with no
// second copy of it in memory.
class PiecedText {
 public:
  PiecedText() = default;
  PiecedText(PiecedText&&) = default;  // the pieces keep pointing at the moved texts
  PiecedText& operator=(PiecedText&&) = default;
  PiecedText(const PiecedText&) = delete;
  PiecedText& operator=(const PiecedText&) = delete;

  void Borrow(std::string_view run);
  void Add(std::string text);
  [[nodiscard]] bool Empty() const { return pieces_.empty(); }
  // The last character so far; only when not empty (a text may end in "\0").
  [[nodiscard]] char Back() const { return back_; }
  [[nodiscard]] const std::vector<std::string_view>& pieces() const { return pieces_; }
  [[nodiscard]] std::string Joined() const;

 private:
  std::vector<std::string_view> pieces_;
  std::deque<std::string> own_;  // a deque never moves its elements as it grows
  char back_ = '\0';
  bool borrowed_last_ = false;
};

// Replaces the content of the file at `path`. On failure `path` keeps its old
// content, the log tells why ("Could not write <path>. No changes were
// made.", with the reason for a read-only file), and false is returned.
[[nodiscard]] bool ReplaceFileContents(Files& files, const std::string& path,
                                       std::string_view content, RunLog& log);
[[nodiscard]] bool ReplaceFileContents(Files& files, const std::string& path,
                                       const PiecedText& content, RunLog& log);

}  // namespace quillbank
