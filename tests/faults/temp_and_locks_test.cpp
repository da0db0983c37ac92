// A clipboard run in a temporary folder that others can write to, and output files locked by
// programs that use fcntl or lockf rather than flock.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "engine/duplicate.h"
#include "fault_support.h"
#include "platform/file.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::LockHolder;
using test::LockKind;
using test::ReadFile;
using test::RecordingMessageBox;
using test::RunCli;
using test::ScopedEnv;
using test::TempDir;
using test::WaitStatus;
using test::WriteFile;
using testing::ElementsAre;

// Another user of a world-writable temporary folder without the sticky bit: everything that turns
// up in it is replaced at once by a symlink to victim, or by a file of the attacker's own.
class Attacker {
 public:
  Attacker(std::string folder, std::string victim) : folder_(std::move(folder)), victim_(std::move(victim)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Attacker() {
    stop_ = true;
    thread_.join();
  }
  Attacker(const Attacker&) = delete;
  Attacker& operator=(const Attacker&) = delete;
  [[nodiscard]] std::set<std::string> seen() {
    const std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  void Run() {
    bool symlinks = true;
    while (!stop_) {
      DIR* dir = ::opendir(folder_.c_str());
      if (dir == nullptr) continue;
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name.starts_with("mine-")) continue;
        {
          const std::lock_guard lock(mutex_);
          seen_.insert(name);
        }
        const std::string path = folder_ + "/" + name;
        const std::string mine = folder_ + "/mine-" + name;
        if (symlinks) {
          ::symlink(victim_.c_str(), mine.c_str());
        } else {
          WriteFile(mine, "the attacker's text");
        }
        ::rename(mine.c_str(), path.c_str());
        symlinks = !symlinks;
      }
      ::closedir(dir);
    }
  }

  std::string folder_, victim_;
  std::atomic<bool> stop_ = false;
  std::mutex mutex_;
  std::set<std::string> seen_;
  std::thread thread_;
};

TEST(temp_folder_fault_test, another_user_of_a_non_sticky_temporary_folder_can_neither_redirect_nor_feed_a_run) {
  TempDir tmp, safe;
  ASSERT_EQ(::chmod(tmp.path().c_str(), 0777), 0);  // writable by all, and no sticky bit
  const std::string victim = safe.File("root-owned.conf");
  WriteFile(victim, "must stay\n");
  const ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
  Attacker attacker(tmp.path(), victim);
  for (int run = 0; run < 20; ++run) {
    for (const int append : {0, 1}) {
      MemoryClipboard clipboard;
      clipboard.formats["text/plain"] = "old|";
      RecordingMessageBox messages;
      EXPECT_EQ(RunDuplicate("new <n>|", "", append, 3, {"<n>"}, {"a\nb\nc"}, clipboard, messages),
                RunOutcome::Succeeded);
      EXPECT_THAT(messages.texts(), ElementsAre("Results were written to the clipboard"));
      EXPECT_EQ(clipboard.formats.at("text/plain"), std::string(append != 0 ? "old|" : "") + "new a|new b|new c|");
    }
  }
  EXPECT_EQ(ReadFile(victim), "must stay\n");
  // The run's file never had a name there to be found.
  for (const std::string& name : attacker.seen()) {
    EXPECT_FALSE(name.starts_with("KV")) << name;
  }
}

TEST(temp_folder_fault_test, a_run_leaves_nothing_in_the_temporary_folder_whatever_its_end) {
  TempDir tmp, out;
  const ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
  MemoryClipboard clipboard;
  RecordingMessageBox messages;
  std::atomic<bool> cancel = true;
  RunControl control;
  control.cancel = &cancel;
  EXPECT_EQ(RunDuplicate("x", "", 1, 5, {}, {}, clipboard, messages, control), RunOutcome::Cancelled);
  EXPECT_EQ(RunDuplicate("x", "", 1, 5, {}, {}, clipboard, messages), RunOutcome::Succeeded);
  // Killed in the middle of a run: still nothing left behind.
  const pid_t pid = ::fork();
  if (pid == 0) {
    RunDuplicate("x", "", 1, 2000000000, {}, {}, clipboard, messages);
    ::_exit(0);
  }
  const std::string fd = "/proc/" + std::to_string(pid) + "/fd";
  // Wait until the run is writing its temporary file, then kill it.
  bool writing = false;
  for (int i = 0; i < 60000 && !writing; ++i) {
    for (const std::string& name : test::ListDir(fd)) {
      std::error_code error;
      const std::string target = std::filesystem::read_symlink(fd + "/" + name, error).string();
      struct stat info {};
      writing = writing || (target.starts_with(tmp.path()) && ::stat((fd + "/" + name).c_str(), &info) == 0 &&
                            info.st_size > (1 << 20));
    }
    if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(pid, SIGKILL);
  WaitStatus(pid);
  EXPECT_TRUE(writing);
  EXPECT_EQ(test::ListDir(tmp.path()), std::vector<std::string>{});
}

const char* Name(LockKind kind) {
  switch (kind) {
    case LockKind::Flock: return "flock";
    case LockKind::Fcntl: return "fcntl";
    case LockKind::Lockf: return "lockf";
    case LockKind::OpenFileDescription: return "open file description lock";
  }
  return "?";
}

constexpr LockKind kAllKinds[] = {LockKind::Flock, LockKind::Fcntl, LockKind::Lockf, LockKind::OpenFileDescription};

TEST(output_fault_test, an_output_locked_by_any_kind_of_lock_is_a_sharing_violation_and_keeps_its_bytes) {
  TempDir dir;
  const std::string out = dir.File("held.txt");
  for (const LockKind kind : kAllKinds) {
    WriteFile(out, "precious\n");
    const LockHolder other(out, kind);
    ASSERT_TRUE(other.locked()) << Name(kind);
    for (const char* append : {"--append=false", "--append"}) {
      const test::CliResult r = RunCli({"--text", "new\n", "--output", out, append});
      EXPECT_EQ(r.status, 1) << Name(kind) << ' ' << append;
      EXPECT_EQ(r.err, "kelvane-cli: A sharing violation occurred while accessing " + out + ".\n") << Name(kind);
    }
    EXPECT_EQ(ReadFile(out), "precious\n") << Name(kind);
  }
}

TEST(output_fault_test, an_output_in_use_is_locked_against_every_kind_of_lock) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  File mine = File::Open(out, File::Mode::CreateWrite);
  for (const LockKind kind : kAllKinds) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int fd = ::open(out.c_str(), O_RDWR);
      ::_exit(fd >= 0 && !test::LockWhole(fd, kind) ? 0 : 1);
    }
    EXPECT_EQ(WaitStatus(pid), 0) << "another program took a " << Name(kind) << " on the file in use";
  }
  mine.Close();
}

}  // namespace
}  // namespace kelvane
