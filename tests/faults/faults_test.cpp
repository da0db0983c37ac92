// Faults a user's machine can throw at a run: full disks, folders in the way, locked files, no file
// descriptors left, an unusable temporary folder. (The settings' own are in settings_faults_test.cpp.)
// Each ends in the standard error report or exit status, and loses nothing that was there.
//
// The tests run as root in CI, where permissions do not stop anyone: faults come from files where
// folders belong, /proc and /sys, full or read-only mounts in a mount namespace of the test's own,
// and resource limits.

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "engine/duplicate.h"
#include "fault_support.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::CliPath;
using test::CliResult;
using test::ExecCli;
using test::Exists;
using test::FillUp;
using test::ListDir;
using test::LockHolder;
using test::Mount;
using test::ReadFile;
using test::RecordingMessageBox;
using test::RunCli;
using test::ScopedEnv;
using test::TempDir;
using test::WaitStatus;
using test::WriteFile;
using testing::ElementsAre;
using testing::MatchesRegex;

// ---------------------------------------------------------------------------------------------
// Helpers

// The lowest descriptor number that a new open would get.
int LowestFreeDescriptor() {
  const int fd = ::dup(0);
  ::close(fd);
  return fd;
}

// Whether this is a sanitizer build. Their runtimes need descriptors of their own (UndefinedBehavior-
// Sanitizer probes memory through a pipe when it checks an object's type) and, out of them, report
// errors that are not there; the tests that use up every descriptor run in the other builds.
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
    __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer);
#else
    false;
#endif

// Lowers this process's soft RLIMIT_NOFILE so that no new descriptor can be had, until the object goes.
class NoDescriptorsLeft {
 public:
  NoDescriptorsLeft() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    const rlimit none{static_cast<rlim_t>(LowestFreeDescriptor()), saved_.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &none);
  }
  ~NoDescriptorsLeft() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
  NoDescriptorsLeft(const NoDescriptorsLeft&) = delete;
  NoDescriptorsLeft& operator=(const NoDescriptorsLeft&) = delete;

 private:
  rlimit saved_{};
};

// ---------------------------------------------------------------------------------------------
// Output files

TEST(output_fault_test, the_command_line_reports_output_errors_with_exit_1_and_keeps_what_was_there) {
  TempDir dir;
  WriteFile(dir.File("plain"), "a file where a folder should be");
  std::filesystem::create_directories(dir.File("folder/inside"));
  const struct {
    std::string output;
    std::string report;
  } cases[] = {
      {"/dev/full", "Disk full while accessing /dev/full."},
      {dir.File("folder"), "Access to " + dir.File("folder") + " was denied."},
      {dir.File("missing/out.txt"), dir.File("missing/out.txt") + " contains an invalid path."},
      {dir.File("plain/out.txt"), dir.File("plain/out.txt") + " contains an invalid path."},
      {"/sys/kelvane-out.txt", "Access to /sys/kelvane-out.txt was denied."},
  };
  for (const auto& c : cases) {
    for (const char* append : {"--append=false", "--append"}) {
      const CliResult r = RunCli({"--text", "line\n", "--repeat", "5000", "--output", c.output, append});
      EXPECT_EQ(r.status, 1) << c.output << ' ' << append;
      EXPECT_EQ(r.err, "kelvane-cli: " + c.report + "\n") << c.output << ' ' << append;
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_EQ(ReadFile(dir.File("plain")), "a file where a folder should be");
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"folder", "plain"}));
  EXPECT_EQ(ListDir(dir.File("folder")), std::vector<std::string>{"inside"});
}

TEST(output_fault_test, a_full_standard_output_is_a_file_error) {
  const CliResult r = RunCli({"--text", "line\n", "--repeat", "3"}, "", "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kelvane-cli: Disk full while accessing standard output.\n");
}

TEST(output_fault_test, an_output_locked_by_another_process_is_a_sharing_violation_and_keeps_its_bytes) {
  TempDir dir;
  const std::string out = dir.File("held.txt");
  WriteFile(out, "precious\n");
  {
    const LockHolder other(out);
    ASSERT_TRUE(other.locked());
    for (const char* append : {"--append=false", "--append"}) {
      const CliResult r = RunCli({"--text", "new\n", "--repeat", "3", "--output", out, append});
      EXPECT_EQ(r.status, 1) << append;
      EXPECT_EQ(r.err, "kelvane-cli: A sharing violation occurred while accessing " + out + ".\n") << append;
      EXPECT_EQ(ReadFile(out), "precious\n") << append;
    }

    MemoryClipboard clipboard;
    RecordingMessageBox messages;
    for (const int append : {0, 1}) {
      messages.shown.clear();
      EXPECT_EQ(RunDuplicate("new\n", out, append, 3, {}, {}, clipboard, messages), RunOutcome::Failed);
      EXPECT_THAT(messages.texts(), ElementsAre("A sharing violation occurred while accessing " + out + "."));
      EXPECT_EQ(ReadFile(out), "precious\n");
    }
  }
  // Once the other process lets go, the same run goes through.
  const CliResult r = RunCli({"--text", "new\n", "--repeat", "2", "--output", out, "--append"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "precious\nnew\nnew\n");
}

TEST(output_fault_test, the_command_line_out_of_descriptors_says_so) {
  if (kSanitized) {
    GTEST_SKIP() << "the sanitizer runtime in kelvane-cli would run out of descriptors first";
  }
  TempDir dir;
  const std::string out = dir.File("out.txt");
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(input[0], 0);
    ::close(input[0]);
    ::close(input[1]);
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    ::dup2(::open(dir.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    ExecCli({"--text-file", "-", "--repeat", "2", "--output", out});
  }
  ::close(input[0]);
  // The program loader needs descriptors of its own, so the limit can only come down once the
  // program runs: when it waits on its standard input, which it reads through a duplicate.
  const std::string self = "/proc/" + std::to_string(pid) + "/fd/";
  const auto pipeOf = [&](const std::string& fd) {
    std::error_code error;
    return std::filesystem::read_symlink(self + fd, error).string();
  };
  std::optional<int> limit;
  for (int attempt = 0; attempt < 20000 && !limit; ++attempt) {
    std::error_code error;
    const bool running = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error) ==
                         std::filesystem::canonical(CliPath(), error);
    const std::string stdinPipe = running ? pipeOf("0") : "";
    std::vector<int> open;
    for (const auto& entry : std::filesystem::directory_iterator(self, error)) {
      open.push_back(std::stoi(entry.path().filename().string()));
    }
    std::sort(open.begin(), open.end());
    for (const int fd : open) {
      if (fd > 0 && !stdinPipe.empty() && pipeOf(std::to_string(fd)) == stdinPipe) {
        // Once the duplicate is closed, the lowest free number is it or a gap below it.
        int lowest = 0;
        while (std::binary_search(open.begin(), open.end(), lowest) && lowest != fd) ++lowest;
        limit = lowest;
      }
    }
    if (!limit) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  ASSERT_TRUE(limit) << "kelvane-cli never read its standard input";
  const rlimit none{static_cast<rlim_t>(*limit), static_cast<rlim_t>(*limit)};
  ASSERT_EQ(::prlimit(pid, RLIMIT_NOFILE, &none, nullptr), 0) << std::strerror(errno);
  ASSERT_EQ(::write(input[1], "block\n", 6), 6);
  ::close(input[1]);
  EXPECT_EQ(WaitStatus(pid), 1);
  EXPECT_EQ(ReadFile(dir.File("err")),
            "kelvane-cli: " + out + " could not be opened because there are too many open files.\n");
  EXPECT_FALSE(Exists(out));
}

TEST(output_fault_test, a_run_out_of_descriptors_says_so_and_leaves_the_clipboard_alone) {
  if (kSanitized) {
    GTEST_SKIP() << "the sanitizer runtime would run out of descriptors first";
  }
  TempDir dir, tmp;
  const ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
  MemoryClipboard clipboard;
  clipboard.formats["text/plain"] = "keep me";
  RecordingMessageBox messages;
  WriteFile(dir.File("old.txt"), "old\n");
  const struct {
    std::string output;
    std::string report;
  } cases[] = {
      {dir.File("old.txt"), dir.File("old.txt") + " could not be opened because there are too many open files."},
      {"", tmp.path() + "/KVXXXXXX.tmp could not be opened because there are too many open files."},
  };
  for (const auto& c : cases) {
    messages.shown.clear();
    RunOutcome outcome;
    {
      const NoDescriptorsLeft limit;
      outcome = RunDuplicate("new\n", c.output, 0, 3, {}, {}, clipboard, messages);
    }
    EXPECT_EQ(outcome, RunOutcome::Failed);
    EXPECT_THAT(messages.texts(), ElementsAre(c.report));
  }
  EXPECT_EQ(ReadFile(dir.File("old.txt")), "old\n");
  EXPECT_EQ(clipboard.formats.at("text/plain"), "keep me");
  EXPECT_EQ(ListDir(tmp.path()), std::vector<std::string>{});
}

TEST(output_fault_test, a_full_disk_keeps_the_old_bytes_of_an_appended_file_and_of_the_clipboard) {
  TempDir disk;
  const auto mounted = Mount::Tmpfs(disk.path(), 64 * 1024);
  SKIP_WITHOUT_MOUNTS(mounted);
  const std::string out = disk.path() + "/out.txt";
  WriteFile(out, "old\n");
  FillUp(disk.path());
  const std::string block = "a line of the block\n";

  const CliResult r = RunCli({"--text", block, "--repeat", "10000", "--output", out, "--append"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kelvane-cli: Disk full while accessing " + out + ".\n");
  // What fitted stays, as far as it was written, after the old bytes.
  const std::string after = ReadFile(out);
  EXPECT_EQ(after.substr(0, 4), "old\n");
  EXPECT_LE(after.size(), 4096U);  // no more than the old bytes' last page could hold

  // A clipboard run whose temporary file cannot take the clipboard's text, or the copies.
  const ScopedEnv tmpdir("TMPDIR", disk.path().c_str());
  RecordingMessageBox messages;
  MemoryClipboard clipboard;
  // First the temporary file cannot take the clipboard's text; then, with one page made free, it
  // takes the text but not the copies.
  for (const bool onePageFree : {false, true}) {
    const std::string old = onePageFree ? "short" : std::string(8192, 'c');
    if (onePageFree) {
      ASSERT_EQ(::truncate((disk.path() + "/filler").c_str(),
                           static_cast<off_t>(std::filesystem::file_size(disk.path() + "/filler") - 4096)),
                0);
    }
    messages.shown.clear();
    clipboard.formats = {{"text/plain", old}, {"text/html", "<b>other</b>"}};
    EXPECT_EQ(RunDuplicate(block, "", 1, 10000, {}, {}, clipboard, messages), RunOutcome::Failed);
    EXPECT_THAT(messages.texts(),
                ElementsAre(MatchesRegex("Disk full while accessing " + disk.path() + "/KV[A-Za-z0-9]{6}\\.tmp\\.")));
    EXPECT_EQ(clipboard.formats,
              (std::map<std::string, std::string>{{"text/plain", old}, {"text/html", "<b>other</b>"}}));
    EXPECT_EQ(ListDir(disk.path()), (std::vector<std::string>{"filler", "out.txt"}));
  }
}

// ---------------------------------------------------------------------------------------------
// The temporary folder of a clipboard run

// What a clipboard run shows when its temporary file cannot be made in tmpdir: exactly report, and
// nothing else; the clipboard keeps every format it had.
void ExpectClipboardRunFails(const std::string& tmpdir, const std::string& report) {
  const ScopedEnv env("TMPDIR", tmpdir.c_str());
  MemoryClipboard clipboard;
  const std::map<std::string, std::string> before{{"text/plain", "keep me"}, {"image/png", "\x89PNG"}};
  clipboard.formats = before;
  RecordingMessageBox messages;
  EXPECT_EQ(RunDuplicate("x\n", "", 1, 3, {}, {}, clipboard, messages), RunOutcome::Failed) << tmpdir;
  EXPECT_THAT(messages.texts(), ElementsAre(report)) << tmpdir;
  EXPECT_EQ(clipboard.formats, before) << tmpdir;
}

TEST(temp_folder_fault_test, an_unusable_temporary_folder_is_reported_once_and_the_clipboard_kept) {
  TempDir dir;
  WriteFile(dir.File("plain"), "a file");
  ExpectClipboardRunFails(dir.File("gone"), dir.File("gone") + "/KVXXXXXX.tmp contains an invalid path.");
  ExpectClipboardRunFails(dir.File("plain"), dir.File("plain") + "/KVXXXXXX.tmp contains an invalid path.");
  ExpectClipboardRunFails("/proc", "/proc/KVXXXXXX.tmp was not found.");
  ExpectClipboardRunFails("/sys", "Access to /sys/KVXXXXXX.tmp was denied.");
  EXPECT_EQ(ReadFile(dir.File("plain")), "a file");
  EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"plain"});
}

TEST(temp_folder_fault_test, a_read_only_temporary_folder_is_reported_once_and_the_clipboard_kept) {
  TempDir dir;
  const auto readOnly = Mount::ReadOnly(dir.path());
  SKIP_WITHOUT_MOUNTS(readOnly);
  ExpectClipboardRunFails(dir.path(), "Access to " + dir.path() + "/KVXXXXXX.tmp was denied.");
  EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kelvane
