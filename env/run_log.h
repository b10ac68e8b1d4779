// The run log: one append-only text file per user ("Quillbank.log"), written a
// line at a time: the pieces of a line are gathered and the whole line goes
// to the file in one write at its end, flushed before the run goes on, so the
// record is complete up to the last finished line even when the program is
// ended abruptly.
//
// Writes to a log that is not open (never opened, failed to open, or closed)
// are discarded silently: the log never changes the outcome of a run.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "env/platform/platform.h"

namespace quillbank {

struct EndLine {};
// Ends the current log line: writes the line end and flushes.
inline constexpr EndLine kEndLine{};

class RunLog {
 public:
  // Line end written on every platform, so both builds produce the same bytes.
  static constexpr std::string_view kLineEnd = "\r\n";

  RunLog() = default;
  // An unfinished line is written as it is.
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Starts writing to `file`; a null file leaves the log discarding writes.
  void Open(std::unique_ptr<AppendFile> file);
  // Writes what there is of an unfinished line, then closes the file; later
  // writes are discarded. A failed close is ignored.
  void Close();
  [[nodiscard]] bool IsOpen() const { return file_ != nullptr; }
  // What there is of the line not yet ended (and so not yet written).
  [[nodiscard]] std::string_view UnfinishedLine() const { return line_; }

  RunLog& operator<<(std::string_view text);
  RunLog& operator<<(const char* text) { return *this << std::string_view(text); }
  RunLog& operator<<(const std::string& text) { return *this << std::string_view(text); }
  RunLog& operator<<(char c) { return *this << std::string_view(&c, 1); }
  template <typename Number,
            typename = std::enable_if_t<std::is_integral_v<Number> && !std::is_same_v<Number, bool> &&
                                        !std::is_same_v<Number, char>>>
  RunLog& operator<<(Number number) {
    return *this << std::string_view(std::to_string(number));
  }
  RunLog& operator<<(bool) = delete;  // write "Yes"/"No" or 1/0 explicitly
  RunLog& operator<<(EndLine);

  // Text followed by a line end.
  void Line(std::string_view text) { *this << text << kEndLine; }
  // A line end with nothing before it.
  void EmptyLine() { *this << kEndLine; }

 private:
  std::unique_ptr<AppendFile> file_;
  std::string line_;  // the pieces of the line not yet written
};

// Local time as the log shows it: "14:03:22 on 12/08/09" (24-hour clock,
// month/day/two-digit year).
[[nodiscard]] std::string TimeStamp(Clock& clock);

// A value the user typed or a store held, made safe for one log line: a
// control character (below 0x20, or 0x7F) is written as \xNN with two
// upper-case hex digits and a backslash as \\. No value can then end the
// line and add lines of its own, nor pass for an escape it does not hold.
[[nodiscard]] std::string LogValue(std::string_view value);

// "Yes" or "No", as the log writes the request's flags.
[[nodiscard]] inline const char* YesNo(bool value) { return value ? "Yes" : "No"; }

}  // namespace quillbank
