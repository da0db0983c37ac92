// kelvane-cli's cases that need Windows: files held by another program without sharing, and the
// console's Ctrl+C and Ctrl+Break. The POSIX build leaves this file out; its signals and terminals
// are tested in cli_posix_test.cpp.

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/win32/wide.h"
#include "support/test_support.h"

namespace {

using kelvane::Widen;
using kelvane::test::CliResult;
using kelvane::test::ReadFile;
using kelvane::test::RunCli;
using kelvane::test::TempDir;
using kelvane::test::WaitFor;
using kelvane::test::WriteFile;

// Another program's handle on a file, opened without sharing, as a word processor holds a document.
class HeldWithoutSharing {
 public:
  explicit HeldWithoutSharing(const std::string& path)
      : handle_(::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldWithoutSharing() {
    if (IsOpen()) {
      ::CloseHandle(handle_);
    }
  }
  HeldWithoutSharing(const HeldWithoutSharing&) = delete;
  HeldWithoutSharing& operator=(const HeldWithoutSharing&) = delete;
  [[nodiscard]] bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST(cli_console_test, a_file_another_program_holds_without_sharing_is_a_sharing_violation) {
  TempDir dir;
  const std::string held = dir.File("held.txt");
  const struct {
    const char* name;
    std::vector<std::string> args;
  } cases[] = {
      {"output", {"--text", "x", "--output", held}},
      {"output appended to", {"--text", "x", "--output", held, "--append"}},
      {"block", {"--text-file", held}},
      {"list of values", {"--text", "x", "--var-file", "T=" + held}},
  };
  for (const auto& c : cases) {
    WriteFile(held, "kept\r\n");
    CliResult r;
    {
      const HeldWithoutSharing other(held);
      ASSERT_TRUE(other.IsOpen()) << c.name;
      r = RunCli(c.args);
    }
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.err, "kelvane-cli: A sharing violation occurred while accessing " + held + ".\n") << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(ReadFile(held), "kept\r\n") << c.name;
  }
}

// Sends a console event to the console of a process started with one of its own, as a user's key
// press there would; the error code when the system refuses.
DWORD SendConsoleEvent(DWORD event, DWORD processId) {
  // A process is on one console at a time, and the event goes to every process on it: this one
  // ignores it while there, then goes back to the console it came from, if any.
  ::FreeConsole();
  DWORD error = ERROR_SUCCESS;
  if (::AttachConsole(processId) == 0) {
    error = ::GetLastError();
  } else {
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    if (::GenerateConsoleCtrlEvent(event, 0) == 0) {
      error = ::GetLastError();
    }
    ::FreeConsole();
    ::SetConsoleCtrlHandler(nullptr, FALSE);
  }
  ::AttachConsole(ATTACH_PARENT_PROCESS);
  return error;
}

// Runs a long job with a console of its own, presses the key there once copies are on disk, and
// checks that the run stopped at a copy boundary with 130, as SIGINT stops it on Linux.
void ExpectConsoleEventStopsTheRun(DWORD event) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  WriteFile(dir.File("in"), "");
  const kelvane::test::StartedCli cli = kelvane::test::StartCli(
      {"--text", "copy N\r\n", "--var", "N=%%count%010d%%", "--repeat", "2000000000", "--output", out}, dir.File("in"),
      dir.File("stdout"), dir.File("err"), true);
  const auto size = [&] {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(out, error);
    return error ? 0 : bytes;
  };
  const auto exited = [&] { return ::WaitForSingleObject(cli.process, 0) == WAIT_OBJECT_0; };
  // Stopped once copies are on disk, however long the start took.
  const bool started = WaitFor([&] { return size() > 0 || exited(); }) && size() > 0;
  const DWORD refused = started ? SendConsoleEvent(event, cli.id) : ERROR_SUCCESS;
  // A run that the event did not stop is ended here before it fills the disk.
  const bool ended = started && refused == ERROR_SUCCESS &&
                     WaitFor([&] { return exited() || size() > (std::uintmax_t{1} << 30); }) && exited();
  if (!ended) {
    ::TerminateProcess(cli.process, 1);
  }
  const int status = kelvane::test::WaitForCli(cli);
  ASSERT_TRUE(started) << "nothing written: " << ReadFile(dir.File("err"));
  if (refused != ERROR_SUCCESS) {
    GTEST_SKIP() << "this system cannot send the event to a console: GenerateConsoleCtrlEvent failed with error "
                 << refused;
  }
  ASSERT_TRUE(ended) << "the run went on";
  EXPECT_EQ(status, 130);
  const std::string bytes = ReadFile(out);
  ASSERT_EQ(bytes.size() % 17, 0U) << "a copy was cut";
  const size_t copies = bytes.size() / 17;
  const std::string last = std::to_string(copies - 1);
  EXPECT_EQ(bytes.substr(bytes.size() - 17), "copy " + std::string(10 - last.size(), '0') + last + "\r\n");
  EXPECT_EQ(ReadFile(dir.File("err")), "kelvane-cli: Duplicate was cancelled. " + std::to_string(copies) +
                                           " of 2000000000 copies were written to file " + out + "\n");
  EXPECT_EQ(ReadFile(dir.File("stdout")), "");
}

TEST(cli_console_test, ctrl_c_stops_at_a_copy_boundary_with_130) {
  ExpectConsoleEventStopsTheRun(CTRL_C_EVENT);
}

// Wine 8 refuses to send Ctrl+Break (GenerateConsoleCtrlEvent fails with ERROR_INVALID_HANDLE), so
// there this skips; Windows sends it to every process on the console.
TEST(cli_console_test, ctrl_break_stops_at_a_copy_boundary_with_130) {
  ExpectConsoleEventStopsTheRun(CTRL_BREAK_EVENT);
}

}  // namespace
