// The progress of a long run, drawn as one line on a terminal.
#pragma once

#include <chrono>
#include <cstdint>

namespace kelvane::cli {

// One line on standard error when it is a terminal of its own (not the one the copies go to),
// rewritten in place: copies, bytes, rate and time left. It appears only once a run has taken a
// second, and is cleared when the run ends.
class ProgressLine {
 public:
  explicit ProgressLine(std::int64_t total);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine();

  // Redraws the line, at most five times a second.
  void Update(std::int64_t copies, std::uint64_t bytes);

  // Makes sure a message printed next starts on a line of its own: clears the line, or after an
  // interrupt that left the terminal's current line in use (a "^C" echoed there) starts a new one.
  void MakeRoomForMessage(bool afterInterrupt);

 private:
  using Clock = std::chrono::steady_clock;
  std::int64_t total_;
  bool onTerminal_ = false;
  bool enabled_ = false;
  bool shown_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_ = start_;
};

}  // namespace kelvane::cli
