#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "cli/console.h"
#include "platform/posix/reg_store.h"

namespace kelvane::cli {

namespace {

// Set by SIGINT and SIGTERM; the run stops at the next copy boundary, or inside a long copy, and
// a write that blocks on a stalled output is interrupted soon after.
std::atomic<bool> stopRequested = false;
std::atomic<int> stopSignal = 0;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the flags are set from a signal handler");

extern "C" void OnStopSignal(int signal) {
  stopSignal = signal;
  stopRequested = true;
}

// Whether two descriptors lead to the same terminal device.
bool SameTerminal(int a, int b) {
  struct stat first {};
  struct stat second {};
  return ::isatty(a) == 1 && ::isatty(b) == 1 && ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 &&
         first.st_rdev == second.st_rdev;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void PrepareStandardStreams() {
  std::signal(SIGPIPE, SIG_IGN);
}

bool WriteText(std::FILE* stream, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
}

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: the engine, not the kernel, decides whether a write that a signal broke goes on.
  for (const int signal : {SIGINT, SIGTERM}) {
    sigaction(signal, &action, nullptr);
  }
}

const std::atomic<bool>& StopRequested() {
  return stopRequested;
}

int StoppedStatus() {
  return 128 + stopSignal.load();
}

std::string_view StoppedStatusHelp() {
  return "130 or 143 when\ninterrupted or terminated (the output then holds whole copies only).\n";
}

bool InterruptLeftALine() {
  return stopSignal.load() == SIGINT && ::isatty(STDERR_FILENO) == 1;
}

std::string SavedJobPlace() {
  return RegistryFilePath();
}

Terminals FindTerminals() {
  const bool standardError = ::isatty(STDERR_FILENO) == 1;
  return {standardError, standardError && !SameTerminal(STDOUT_FILENO, STDERR_FILENO)};
}

}  // namespace kelvane::cli
