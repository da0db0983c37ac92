// Outputs that stop taking bytes, readers that go away, FIFOs and pipes as inputs, list files cut
// short under a run: a stop still takes effect, a broken pipe or a list that ends early is a file
// error, and a FIFO is read to its end.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "engine/duplicate.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ExecCli;
using test::ReadFile;
using test::RunCli;
using test::TempDir;
using test::WaitStatus;
using test::WriteFile;

// Long enough for anything but a hang on a busy machine.
constexpr auto kLimit = std::chrono::seconds(60);

// How a child ended, or nothing when it has not within the limit (it is then killed).
std::optional<int> WaitWithin(pid_t pid, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(pid, SIGKILL);
  WaitStatus(pid);
  return std::nullopt;
}

// Waits until the pipe or FIFO whose read end is fd holds as much as it can: its writer then blocks.
bool WaitUntilFull(int fd) {
  const int capacity = ::fcntl(fd, F_GETPIPE_SZ);
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  int queued = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::ioctl(fd, FIONREAD, &queued) == 0 && queued >= capacity) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

std::string Drain(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  std::string bytes;
  char buffer[1 << 16];
  ssize_t got = 0;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

std::string Repeat(const std::string& text, size_t times) {
  std::string all;
  for (size_t i = 0; i < times; ++i) all += text;
  return all;
}

// kelvane-cli writing to a FIFO whose reader holds it open and never reads, as a stalled network or
// FUSE file system would; the output is the FIFO named by --output, or standard output.
struct StalledCli {
  pid_t pid = -1;
  int reader = -1;
  std::string err;

  StalledCli(const TempDir& dir, bool toStandardOutput, const std::string& block) {
    const std::string fifo = dir.File("fifo");
    ::mkfifo(fifo.c_str(), 0600);
    reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    err = dir.File("err");
    pid = ::fork();
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(toStandardOutput ? ::open(fifo.c_str(), O_WRONLY) : ::open("/dev/null", O_WRONLY), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT, 0600), 2);
      if (toStandardOutput) {
        ExecCli({"--text", block, "--repeat", "100000000"});
      }
      ExecCli({"--text", block, "--repeat", "100000000", "--output", fifo});
    }
  }
  ~StalledCli() {
    if (reader >= 0) ::close(reader);
  }
  StalledCli(const StalledCli&) = delete;
  StalledCli& operator=(const StalledCli&) = delete;
};

TEST(stalled_output_test, ctrl_c_and_sigterm_stop_the_command_line_while_a_write_blocks) {
  const std::string block = "one copy of the block\n";
  const struct {
    int signal;
    int status;
  } signals[] = {{SIGINT, 130}, {SIGTERM, 143}};
  for (const auto& s : signals) {
    for (const bool toStandardOutput : {false, true}) {
      SCOPED_TRACE(testing::Message() << "signal " << s.signal
                                      << (toStandardOutput ? ", standard output" : ", --output"));
      TempDir dir;
      StalledCli cli(dir, toStandardOutput, block);
      ASSERT_TRUE(WaitUntilFull(cli.reader));
      ::kill(cli.pid, s.signal);
      const std::optional<int> status = WaitWithin(cli.pid, kLimit);
      ASSERT_TRUE(status) << "still writing long after the signal";
      EXPECT_EQ(*status, s.status);
      const std::string err = ReadFile(cli.err);
      const std::string name = toStandardOutput ? "standard output" : dir.File("fifo");
      // "...cancelled. N of 100000000 copies were written to file NAME": compared around the
      // number, without <regex>, which the sanitizer build's compiler warns about.
      const std::string head = "kelvane-cli: Duplicate was cancelled. ";
      const std::string tail = " of 100000000 copies were written to file " + name + "\n";
      ASSERT_TRUE(err.starts_with(head) && err.ends_with(tail) && err.size() > head.size() + tail.size()) << err;
      const std::string number = err.substr(head.size(), err.size() - head.size() - tail.size());
      ASSERT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << err;
      // The copies said to be written are there, whole, for the reader.
      const size_t copies = std::stoul(number);
      const std::string read = Drain(cli.reader);
      ASSERT_GE(read.size(), copies * block.size());
      EXPECT_EQ(read.substr(0, copies * block.size()), Repeat(block, copies));
    }
  }
}

TEST(stalled_output_test, a_reader_that_goes_away_is_a_file_error_not_a_silent_death) {
  TempDir dir;
  for (const bool toStandardOutput : {false, true}) {
    SCOPED_TRACE(toStandardOutput ? "standard output" : "--output");
    StalledCli cli(dir, toStandardOutput, "line\n");
    ASSERT_TRUE(WaitUntilFull(cli.reader));
    ::close(std::exchange(cli.reader, -1));
    const std::optional<int> status = WaitWithin(cli.pid, kLimit);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 1);
    EXPECT_EQ(ReadFile(cli.err), "kelvane-cli: An attempt was made to access " +
                                     (toStandardOutput ? "standard output" : dir.File("fifo")) + " past its end.\n");
    ::unlink(dir.File("fifo").c_str());
    ::unlink(cli.err.c_str());
  }
  // A pipe whose reader left before the run began.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(ends[1], 1);
    ::dup2(::open(dir.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    ExecCli({"--text", "x\n", "--repeat", "3"});
  }
  ::close(ends[1]);
  EXPECT_EQ(WaitWithin(pid, kLimit), std::optional<int>(1));
  EXPECT_EQ(ReadFile(dir.File("err")), "kelvane-cli: An attempt was made to access standard output past its end.\n");
}

// Reads fd until its writers have all closed it, within the limit.
std::string ReadToEnd(int fd) {
  std::string bytes;
  char buffer[1 << 16];
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) {
      continue;
    }
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) {
      break;
    }
    if (got > 0) {
      bytes.append(buffer, static_cast<size_t>(got));
    }
  }
  return bytes;
}

// Another program truncates a list file that kelvane-cli reads in place, in the middle of a run:
// the run stops with the file error, and every byte it wrote is right.
TEST(stalled_output_test, a_list_file_cut_short_during_a_run_is_a_file_error_and_no_wrong_byte) {
  TempDir dir;
  const std::string list = dir.File("list");
  std::string lines, expected;
  // Far more than the copies built ahead of a stalled output.
  for (int i = 0; i < 2000000; ++i) {
    lines += "name" + std::to_string(i) + "\n";
    expected += "<name" + std::to_string(i) + ">\n";
  }
  WriteFile(list, lines);
  for (const off_t cutTo : {off_t{0}, static_cast<off_t>(lines.size() - 100)}) {
    SCOPED_TRACE(testing::Message() << "cut to " << cutTo);
    WriteFile(list, lines);
    const std::string fifo = dir.File("fifo");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const std::string err = dir.File("err");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      ExecCli({"--text", "<L>\n", "--var-file", "L=" + list, "--repeat", "2000000", "--output", fifo});
    }
    // Once the output is full, the list has been mapped and its first lines used, and the copies
    // wait for the reader.
    ASSERT_TRUE(WaitUntilFull(reader));
    ASSERT_EQ(::truncate(list.c_str(), cutTo), 0);
    ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
    const std::string written = ReadToEnd(reader);
    ::close(reader);
    const std::optional<int> status = WaitWithin(pid, kLimit);
    ASSERT_TRUE(status) << "still running long after the list was cut";
    EXPECT_EQ(*status, 1);
    EXPECT_EQ(ReadFile(err), "kelvane-cli: An attempt was made to access " + list + " past its end.\n");
    EXPECT_LT(written.size(), expected.size());
    EXPECT_EQ(written, expected.substr(0, written.size())) << "a wrong byte went out";
  }
}

TEST(stalled_output_test, a_fifo_without_a_reader_is_not_found_and_nothing_waits) {
  TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const char* append : {"--append=false", "--append"}) {
    const test::CliResult r = RunCli({"--text", "x\n", "--output", fifo, append});
    EXPECT_EQ(r.status, 1) << append;
    EXPECT_EQ(r.err, "kelvane-cli: " + fifo + " was not found.\n") << append;
  }
}

// Runs kelvane-cli with the FIFO or pipe feeder() writes to as an input; feeder runs in a process of
// its own and writes only once the program has opened its end, as a slow producer does.
// writeEnd: the write end of a pipe that only feeder may hold, or the program would never see the end.
test::CliResult RunWithLateInput(const std::vector<std::string>& args, const std::function<void()>& feeder,
                                 int writeEnd = -1) {
  TempDir io;
  const pid_t writer = ::fork();
  if (writer == 0) {
    feeder();
    ::_exit(0);
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open("/dev/null", O_RDONLY), 0);
    ::dup2(::open(io.File("out").c_str(), O_WRONLY | O_CREAT, 0600), 1);
    ::dup2(::open(io.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    if (writeEnd >= 0) ::close(writeEnd);
    ExecCli(args);
  }
  if (writeEnd >= 0) ::close(writeEnd);
  const std::optional<int> status = WaitWithin(pid, kLimit);
  ::kill(writer, SIGKILL);
  WaitStatus(writer);
  return {status.value_or(-1), ReadFile(io.File("out")), ReadFile(io.File("err"))};
}

TEST(stalled_output_test, fifos_and_process_substitutions_as_inputs_are_read_to_their_end) {
  TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Opening the FIFO to write waits for the program to open it to read; the bytes come after that.
  const auto feedFifo = [&](const std::string& bytes) {
    return [&fifo, bytes] {
      const int fd = ::open(fifo.c_str(), O_WRONLY);
      for (const char c : bytes) (void)!::write(fd, &c, 1);  // in dribs, as a slow producer writes
      ::close(fd);
    };
  };
  const struct {
    std::vector<std::string> args;
    std::string fed;
    std::string expected;
  } cases[] = {
      {{"--text", "<v>,", "--repeat", "3", "--var-file", "<v>=" + fifo}, "1\n2\n3\n", "1,2,3,"},
      {{"--text-file", fifo, "--repeat", "2"}, "block\n", "block\nblock\n"},
  };
  for (const auto& c : cases) {
    const test::CliResult r = RunWithLateInput(c.args, feedFifo(c.fed));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.expected) << c.args[0];
  }

  // A process substitution: /dev/fd/N of a pipe whose writer is still at work.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string path = "/dev/fd/" + std::to_string(ends[0]);
  const test::CliResult r = RunWithLateInput(
      {"--text", "[x]", "--repeat", "2", "--var-file", "x=" + path},
      [&] {
        ::close(ends[0]);
        for (const char c : std::string("a\nb\n")) (void)!::write(ends[1], &c, 1);
        ::close(ends[1]);
      },
      ends[1]);
  ::close(ends[0]);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "[a][b]");
}

// The engine on its own: a cancelled run whose output stalls returns, with an honest count.
TEST(stalled_output_test, a_cancelled_run_does_not_wait_for_a_stalled_output) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  File out = File::Adopt(ends[1], "a stalled pipe");
  const Job job{"0123456789\n", "", 0, 100000000, {}, {}};
  std::atomic<bool> cancel = false;
  RunControl control;
  control.cancel = &cancel;
  auto result = std::async(std::launch::async, [&] { return WriteCopies(job, out, control); });
  ASSERT_TRUE(WaitUntilFull(ends[0]));
  // Now the writer is blocked, and Cancel comes.
  cancel = true;
  ASSERT_EQ(result.wait_for(kLimit), std::future_status::ready) << "the run waited for the stalled output";
  const std::int64_t copies = result.get();
  EXPECT_LT(copies, job.repeatCount);
  const std::string read = Drain(ends[0]);
  ASSERT_GE(read.size(), static_cast<size_t>(copies) * 11);
  EXPECT_EQ(read.substr(0, static_cast<size_t>(copies) * 11), Repeat("0123456789\n", static_cast<size_t>(copies)));
  ::close(ends[0]);
}

// A copy with many variables in a large block takes many minutes to build; a stop comes within it.
TEST(stalled_output_test, a_stop_takes_effect_inside_a_long_copy) {
  Job job;
  job.blockText = std::string(2 << 20, 'b') + "\xff";  // not UTF-8: every variable searches the copy
  for (int j = 0; j < 200000; ++j) {
    job.tags.push_back("tag" + std::to_string(j));
    job.values.push_back("v\r\nw");
  }
  job.repeatCount = 1000;
  TempDir dir;
  File out = File::Open(dir.File("out.txt"), File::Mode::CreateWrite);
  std::atomic<bool> cancel = false;
  RunControl control;
  control.cancel = &cancel;
  auto result = std::async(std::launch::async, [&] { return WriteCopies(job, out, control); });
  // Any moment does: even one copy of this job takes far longer than the limit.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  cancel = true;
  ASSERT_EQ(result.wait_for(kLimit), std::future_status::ready) << "the stop waited for the copy";
  EXPECT_EQ(result.get(), 0);
  out.Close();
  EXPECT_EQ(ReadFile(dir.File("out.txt")), "");
}

}  // namespace
}  // namespace kelvane
