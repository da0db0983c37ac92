// kelvane-cli's cases that need POSIX: signals, pseudo-terminals, pipes and /dev/full. The Windows
// build leaves this file out, having none of them; its console's cases are in
// cli_console_win32_test.cpp.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using kelvane::test::CliResult;
using kelvane::test::ExecCli;
using kelvane::test::ReadFile;
using kelvane::test::RunCli;
using kelvane::test::TempDir;

TEST(cli_test, a_full_disk_is_a_file_error_for_the_copies_and_for_help) {
  const CliResult r = RunCli({"--text", "x", "--output", "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kelvane-cli: Disk full while accessing /dev/full.\n");
  for (const char* flag : {"--help", "--version"}) {
    const CliResult full = RunCli({flag}, "", "/dev/full");
    EXPECT_EQ(full.status, 1) << flag;
    EXPECT_EQ(full.err, "kelvane-cli: Disk full while accessing standard output.\n") << flag;
  }
}

}  // namespace

namespace {

using kelvane::test::WaitFor;

// Reads what is there to read within a few milliseconds; false at the end of the stream.
bool ReadSome(int fd, std::string& into) {
  pollfd poll{fd, POLLIN, 0};
  if (::poll(&poll, 1, 10) <= 0) {
    return true;
  }
  char buffer[65536];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got > 0) {
    into.append(buffer, static_cast<size_t>(got));
  }
  return got > 0 || (got < 0 && errno == EINTR);
}

// The program on a pseudo-terminal of its own, as a user at a terminal runs it: standard error
// always on the terminal, standard output on it too or on stdoutPath.
class TerminalRun {
 public:
  TerminalRun(const std::vector<std::string>& args, const std::string& stdoutPath) {
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (!stdoutPath.empty()) {
        ::dup2(::open(stdoutPath.c_str(), O_WRONLY | O_CREAT, 0600), 1);
      }
      ExecCli(args);
    }
  }
  ~TerminalRun() {
    if (status_ < 0) {
      ::kill(pid_, SIGKILL);
      kelvane::test::WaitStatus(pid_);
    }
    ::close(master_);
  }
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  // Reads the terminal until it shows text; false when it never does.
  bool WaitForScreen(const std::string& text) {
    return WaitFor([&] { return !ReadSome(master_, screen_) || screen_.find(text) != std::string::npos; }) &&
           screen_.find(text) != std::string::npos;
  }
  // Types Ctrl+C, which the terminal turns into SIGINT and echoes as "^C".
  void PressCtrlC() const { ASSERT_EQ(::write(master_, "\x03", 1), 1); }
  // Reads the terminal to the end and returns the exit status.
  int Finish() {
    while (ReadSome(master_, screen_)) {
    }
    status_ = kelvane::test::WaitStatus(pid_);
    return status_;
  }
  [[nodiscard]] const std::string& screen() const { return screen_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  std::string screen_;
};

// Whether the message at pos begins a line: after a line feed, or on a line just cleared.
bool StartsALine(const std::string& screen, size_t pos) {
  return pos != std::string::npos &&
         (pos == 0 || screen[pos - 1] == '\n' || (pos >= 4 && screen.compare(pos - 4, 4, "\r\033[K") == 0));
}

TEST(cli_test, interrupt_and_terminate_stop_at_a_copy_boundary) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  const struct {
    int signal;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
  for (const auto& c : cases) {
    std::filesystem::remove(out);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_WRONLY), 1);
      ::dup2(::open(dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      // A byte that is not UTF-8 keeps every copy on the slower, searching way: fewer bytes to disk.
      ExecCli({"--text", "\xFF copy N\n", "--var", "N=%%count%010d%%", "--repeat", "2000000000", "--output", out});
    }
    // Stopped once copies are on disk, however long the start took.
    const bool started = WaitFor([&] {
      std::error_code error;
      return std::filesystem::file_size(out, error) > 0 && !error;
    });
    ::kill(pid, c.signal);
    const int status = kelvane::test::WaitStatus(pid);
    ASSERT_TRUE(started) << "nothing written";
    EXPECT_EQ(status, c.status);
    const std::string bytes = ReadFile(out);
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.size() % 18, 0U) << "a copy was cut";
    const size_t copies = bytes.size() / 18;
    EXPECT_EQ(bytes.substr(bytes.size() - 16),
              "copy " + std::string(10 - std::to_string(copies - 1).size(), '0') + std::to_string(copies - 1) + "\n");
    EXPECT_EQ(ReadFile(dir.File("err")), "kelvane-cli: Duplicate was cancelled. " + std::to_string(copies) +
                                             " of 2000000000 copies were written to file " + out + "\n");
  }
}

TEST(cli_test, a_long_run_on_a_terminal_shows_one_updating_progress_line_and_ctrl_c_clears_it) {
  TerminalRun run({"--text", "x", "--repeat", "2000000000", "--output", "/dev/null"}, "/dev/null");
  ASSERT_TRUE(run.WaitForScreen(" of 2000000000 copies, ")) << run.screen();
  run.PressCtrlC();
  EXPECT_EQ(run.Finish(), 130);
  const std::string& screen = run.screen();
  EXPECT_NE(screen.find(" MB/s, "), std::string::npos) << screen;
  EXPECT_NE(screen.find(" left"), std::string::npos) << screen;
  const size_t message = screen.find("kelvane-cli: Duplicate was cancelled. ");
  EXPECT_TRUE(StartsALine(screen, message)) << screen;
  // The pseudo-terminal writes a line feed as CR LF: the message's is the only one.
  EXPECT_EQ(screen.find('\n'), screen.size() - 1) << screen;
}

// The copies and a progress line on one terminal would tear each other apart.
TEST(cli_test, no_progress_line_when_the_copies_go_to_the_same_terminal_and_ctrl_c_starts_a_new_line) {
  {
    TerminalRun run({"--text", "x\n", "--repeat", "300000"}, "");
    ASSERT_TRUE(run.WaitForScreen("x\r\n"));
    // The copies are far more than a terminal buffers, so the run cannot end before they are read:
    // holding them back makes it last more than the second after which progress would show.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(run.Finish(), 0);
    EXPECT_EQ(run.screen().find(" copies, "), std::string::npos);
    EXPECT_EQ(run.screen().size(), 300000U * 3);
  }
  TerminalRun run({"--text", "x", "--repeat", "2000000000"}, "");
  ASSERT_TRUE(run.WaitForScreen("xxx"));
  run.PressCtrlC();
  EXPECT_EQ(run.Finish(), 130);
  const size_t message = run.screen().find("kelvane-cli: Duplicate was cancelled. ");
  ASSERT_NE(message, std::string::npos) << run.screen().substr(run.screen().size() - 200);
  // After the copies and the terminal's "^C", neither of which ends its line.
  EXPECT_EQ(run.screen()[message - 1], '\n');
  EXPECT_EQ(run.screen().find(" copies, "), std::string::npos);
}

TEST(cli_test, off_a_terminal_no_progress_is_shown) {
  TempDir dir;
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::dup2(::open(dir.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    ExecCli({"--text", "x\n", "--repeat", "300000"});
  }
  ::close(pipeFds[1]);
  std::string out;
  ASSERT_TRUE(WaitFor([&] { return !ReadSome(pipeFds[0], out) || !out.empty(); }));
  // As above: the pipe holds far less than the copies, so the run lasts as long as this.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  while (ReadSome(pipeFds[0], out)) {
  }
  ::close(pipeFds[0]);
  EXPECT_EQ(kelvane::test::WaitStatus(pid), 0);
  EXPECT_EQ(out.size(), 600000U);
  EXPECT_EQ(ReadFile(dir.File("err")), "");
}

}  // namespace
