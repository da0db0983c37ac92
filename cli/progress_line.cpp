#include "cli/progress_line.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace kelvane::cli {

namespace {

// Whether two descriptors lead to the same terminal device.
bool SameTerminal(int a, int b) {
  struct stat first {};
  struct stat second {};
  return ::isatty(a) == 1 && ::isatty(b) == 1 && ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 &&
         first.st_rdev == second.st_rdev;
}

}  // namespace

// Drawn over copies written to the same terminal, the line would be torn apart and leave its
// pieces in the user's output.
ProgressLine::ProgressLine(std::int64_t total)
    : total_(total),
      onTerminal_(::isatty(STDERR_FILENO) == 1),
      enabled_(onTerminal_ && !SameTerminal(STDOUT_FILENO, STDERR_FILENO)) {}

ProgressLine::~ProgressLine() {
  MakeRoomForMessage(false);
}

void ProgressLine::MakeRoomForMessage(bool afterInterrupt) {
  if (shown_) {
    std::fputs("\r\033[K", stderr);
    shown_ = false;
  } else if (afterInterrupt && onTerminal_) {
    std::fputs("\n", stderr);
  }
  std::fflush(stderr);
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
  std::fprintf(stderr, "\r%lld of %lld copies, %.1f MB, %.1f MB/s, %lld:%02lld left\033[K",
               static_cast<long long>(copies), static_cast<long long>(total_), megabytes, megabytes / seconds,
               left / 60, left % 60);
  std::fflush(stderr);
}

}  // namespace kelvane::cli
