#include "env/text_file.h"

#include <cstring>

namespace quillbank {
namespace {

// The first `c` in text[from, to), or `to`.
std::size_t Find(std::string_view text, std::size_t from, std::size_t to, char c) {
  const void* found = std::memchr(text.data() + from, c, to - from);
  return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : to;
}

}  // namespace

// Two memchr calls a line, one for "\n" and one for "\r" before it, keep a
// prefs.js of half a million lines quick to cut.
std::string_view LineCutter::LineAt(std::size_t start) {
  if (start < searched_from_ || start > newline_) {
    newline_ = Find(text_, start, text_.size(), '\n');
    searched_from_ = start;
  }
  std::size_t stop = newline_ == text_.size() ? newline_ : newline_ + 1;
  const std::size_t cr = Find(text_, start, newline_, '\r');
  if (cr + 1 < newline_) stop = cr + 1;  // a "\r" on its own ends the line
  return text_.substr(start, stop - start);
}

std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  LineCutter cutter(text);
  for (std::size_t start = 0; start < text.size(); start += lines.back().size()) {
    lines.push_back(cutter.LineAt(start));
  }
  return lines;
}

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines = SplitLinesKeepingEnds(text);
  for (std::string_view& line : lines) line = WithoutLineEnd(line);
  return lines;
}

void PiecedText::Borrow(std::string_view run) {
  if (run.empty()) return;
  back_ = run.back();
  // Lines copied one after another from the old text make one run.
  if (!pieces_.empty() && borrowed_last_ &&
      pieces_.back().data() + pieces_.back().size() == run.data()) {
    pieces_.back() = std::string_view(pieces_.back().data(), pieces_.back().size() + run.size());
    return;
  }
  pieces_.push_back(run);
  borrowed_last_ = true;
}

void PiecedText::Add(std::string text) {
  if (text.empty()) return;
  back_ = text.back();
  pieces_.push_back(own_.emplace_back(std::move(text)));
  borrowed_last_ = false;
}

std::string PiecedText::Joined() const {
  std::string text;
  for (const std::string_view piece : pieces_) text.append(piece);
  return text;
}

namespace {

// True when the file was written; otherwise the log says why not.
bool Replaced(FileWrite result, const std::string& path, RunLog& log) {
  switch (result) {
    case FileWrite::Written:
      return true;
    case FileWrite::ReadOnly:
      log << "Could not write " << path << ": the file is read-only. No changes were made."
          << kEndLine;
      return false;
    case FileWrite::Failed:
      break;
  }
  log << "Could not write " << path << ". No changes were made." << kEndLine;
  return false;
}

}  // namespace

bool ReplaceFileContents(Files& files, const std::string& path, std::string_view content,
                         RunLog& log) {
  return Replaced(files.ReplaceContents(path, content), path, log);
}

bool ReplaceFileContents(Files& files, const std::string& path, const PiecedText& content,
                         RunLog& log) {
  return Replaced(files.ReplaceContentsInPieces(path, content.pieces()), path, log);
}

}  // namespace quillbank
