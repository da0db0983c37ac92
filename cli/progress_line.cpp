#include "cli/progress_line.h"

#include <cstdio>

#include "cli/console.h"

namespace kelvane::cli {

// Drawn over copies written to the same terminal, the line would be torn apart and leave its
// pieces in the user's output.
ProgressLine::ProgressLine(std::int64_t total) : total_(total) {
  const Terminals terminals = FindTerminals();
  onTerminal_ = terminals.standardError;
  enabled_ = terminals.progress;
}

ProgressLine::~ProgressLine() {
  MakeRoomForMessage(false);
}

void ProgressLine::MakeRoomForMessage(bool afterInterrupt) {
  if (shown_) {
    WriteText(stderr, "\r\033[K");
    shown_ = false;
  } else if (afterInterrupt && onTerminal_) {
    WriteText(stderr, "\n");
  }
}

void ProgressLine::Update(std::int64_t copies, std::uint64_t bytes) {
  if (!enabled_) {
    return;
  }
  const auto now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) {
    return;
  }
  last_ = now;
  shown_ = true;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double megabytes = static_cast<double>(bytes) / 1e6;
  const double copiesPerSecond = static_cast<double>(copies) / seconds;
  const auto left =
      copiesPerSecond > 0 ? static_cast<long long>(static_cast<double>(total_ - copies) / copiesPerSecond) : 0;
  char line[160];
  std::snprintf(line, sizeof line, "\r%lld of %lld copies, %.1f MB, %.1f MB/s, %lld:%02lld left\033[K",
                static_cast<long long>(copies), static_cast<long long>(total_), megabytes, megabytes / seconds,
                left / 60, left % 60);
  WriteText(stderr, line);
}

}  // namespace kelvane::cli
