// Faults a user's machine can throw at a run: full disks, folders in the way, locked files, no file
// descriptors left, an unusable temporary or settings folder, damaged and half-written settings.
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
#include "platform/registry.h"
#include "settings/settings.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::CliPath;
using test::CliResult;
using test::ExecCli;
using test::Exists;
using test::ListDir;
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

// A process of its own that holds an exclusive lock on path until the object goes.
class LockHolder {
 public:
  explicit LockHolder(const std::string& path) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) {
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      const int fd = ::open(path.c_str(), O_RDONLY);
      const char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
      (void)!::write(ready[1], &ok, 1);
      char ignored;
      (void)!::read(release[0], &ignored, 1);  // returns once the parent closes its end
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char ok = 'n';
    locked_ = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
    ::close(ready[0]);
  }
  ~LockHolder() {
    ::close(release_);
    if (pid_ > 0) {
      WaitStatus(pid_);
    }
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  [[nodiscard]] bool locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool locked_ = false;
};

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

// Mounts live in a mount namespace of this test process alone: nothing outside sees them, and they
// go with the process. Entering one needs root (CAP_SYS_ADMIN); without it those tests are skipped.
bool InPrivateMountNamespace() {
  static const bool entered =
      ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return entered;
}

class Mount {
 public:
  // A tmpfs of about size bytes at folder.
  static std::optional<Mount> Tmpfs(const std::string& folder, size_t size) {
    const std::string options = "size=" + std::to_string(size);
    if (!InPrivateMountNamespace() || ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
      return std::nullopt;
    }
    return Mount(folder);
  }
  // folder, read-only from here on.
  static std::optional<Mount> ReadOnly(const std::string& folder) {
    if (!InPrivateMountNamespace() || ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      return std::nullopt;
    }
    Mount mount(folder);
    if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      return std::nullopt;
    }
    return mount;
  }
  Mount(Mount&& other) noexcept : folder_(std::exchange(other.folder_, {})) {}
  Mount& operator=(Mount&&) = delete;
  ~Mount() {
    if (!folder_.empty()) {
      ::umount2(folder_.c_str(), MNT_DETACH);
    }
  }

 private:
  explicit Mount(std::string folder) : folder_(std::move(folder)) {}
  std::string folder_;
};

// Fills the file system that holds folder until not one more byte fits.
void FillUp(const std::string& folder) {
  const int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  const std::string chunk(4096, 'f');
  while (::write(fd, chunk.data(), chunk.size()) > 0) {
  }
  while (::write(fd, chunk.data(), 1) > 0) {
  }
  ::close(fd);
}

#define SKIP_WITHOUT_MOUNTS(mount)                                                          \
  if (!(mount)) {                                                                           \
    GTEST_SKIP() << "no mount namespace of our own (needs root): " << std::strerror(errno); \
  }

}  // namespace

void PrintTo(const Job& job, std::ostream* os) {
  *os << testing::PrintToString(job.blockText) << ", " << testing::PrintToString(job.outputFile) << ", append "
      << job.append << ", repeat " << job.repeatCount << ", tags " << testing::PrintToString(job.tags) << ", values "
      << testing::PrintToString(job.values);
}

namespace {

const Job kSavedJob{
    "Hi NAME #N\r\n", "/srv/out/list.txt", 1, 3, {"name", "#n"}, {"Ann\r\nBob\r\nCy", "%%count1%03d%%"}};

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
      EXPECT_EQ(r.err, c.report + "\n") << c.output << ' ' << append;
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
  EXPECT_EQ(r.err, "Disk full while accessing standard output.\n");
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
      EXPECT_EQ(r.err, "A sharing violation occurred while accessing " + out + ".\n") << append;
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
  EXPECT_EQ(ReadFile(dir.File("err")), out + " could not be opened because there are too many open files.\n");
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
  EXPECT_EQ(r.err, "Disk full while accessing " + out + ".\n");
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

// ---------------------------------------------------------------------------------------------
// Settings

class settings_fault_test : public testing::Test {
 protected:
  std::string Folder() const { return home_.File("Orvalle Software Inc."); }
  std::string File() const { return Folder() + "/Kelvane.reg"; }
  static Job Loaded() {
    Job job;
    LoadSettings(job);
    return job;
  }
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> found;
    for (const std::string& name : ListDir(Folder())) {
      if (name.starts_with(".Kelvane.reg.")) found.push_back(name);
    }
    return found;
  }

  TempDir home_;
  ScopedEnv config_{"XDG_CONFIG_HOME", home_.path().c_str()};
};

TEST_F(settings_fault_test, an_unusable_settings_location_gives_the_defaults_silently_and_destroys_nothing) {
  const std::string configFile = home_.File("config");
  const struct {
    const char* what;
    std::function<void()> arrange;
    std::string configHome;
    std::function<bool()> intact;
  } cases[] = {
      {"the settings folder is a file", [&] { WriteFile(Folder(), "in the way"); }, home_.path(),
       [&] { return ReadFile(Folder()) == "in the way"; }},
      {"the settings file is a folder", [&] { std::filesystem::create_directories(File() + "/inside"); }, home_.path(),
       [&] { return std::filesystem::is_directory(File() + "/inside"); }},
      {"the configuration home is a file", [&] { WriteFile(configFile, "in the way"); }, configFile,
       [&] { return ReadFile(configFile) == "in the way"; }},
      {"the configuration home is /proc", [] {}, "/proc", [] { return !Exists("/proc/Orvalle Software Inc."); }},
      {"the configuration home is /sys", [] {}, "/sys", [] { return !Exists("/sys/Orvalle Software Inc."); }},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(Folder());
    c.arrange();
    const ScopedEnv config("XDG_CONFIG_HOME", c.configHome.c_str());
    EXPECT_EQ(Loaded(), Job{}) << c.what;
    EXPECT_FALSE(SaveSettings(kSavedJob)) << c.what;
    EXPECT_EQ(Loaded(), Job{}) << c.what;
    EXPECT_TRUE(c.intact()) << c.what;
  }
}

TEST_F(settings_fault_test, a_read_only_settings_folder_still_loads_and_keeps_its_file) {
  ASSERT_TRUE(SaveSettings(kSavedJob));
  const std::string before = ReadFile(File());
  const auto readOnly = Mount::ReadOnly(Folder());
  SKIP_WITHOUT_MOUNTS(readOnly);
  EXPECT_EQ(Loaded(), kSavedJob);
  EXPECT_FALSE(SaveSettings(Job{"changed", "", 0, 9, {}, {}}));
  EXPECT_EQ(ReadFile(File()), before);
  EXPECT_EQ(Loaded(), kSavedJob);
}

TEST_F(settings_fault_test, a_full_disk_fails_the_save_quietly_and_keeps_the_old_file) {
  std::filesystem::create_directories(Folder());
  const auto disk = Mount::Tmpfs(Folder(), 64 * 1024);
  SKIP_WITHOUT_MOUNTS(disk);
  ASSERT_TRUE(SaveSettings(kSavedJob));
  const std::string before = ReadFile(File());
  FillUp(Folder());
  EXPECT_FALSE(SaveSettings(Job{std::string(20000, 'x'), "", 0, 9, {}, {}}));
  EXPECT_EQ(ReadFile(File()), before);
  EXPECT_EQ(Loaded(), kSavedJob);
  EXPECT_EQ(TempFiles(), std::vector<std::string>{});
}

TEST_F(settings_fault_test, a_file_cut_off_in_a_value_loads_what_is_whole_and_is_kept_before_the_rewrite) {
  ASSERT_TRUE(SaveSettings(kSavedJob));
  const std::string whole = ReadFile(File());
  // Each value in turn, cut in the middle of its data: it and everything after take their defaults.
  const char* names[] = {"Text", "Output File", "Append", "Repeat Count", "Value Names", "Values"};
  for (size_t cut = 0; cut < std::size(names); ++cut) {
    const size_t line = whole.find("\""s + names[cut] + "\"=");
    ASSERT_NE(line, std::string::npos) << names[cut];
    const size_t data = whole.find('=', line) + 1;
    const size_t next = cut + 1 < std::size(names) ? whole.find("\""s + names[cut + 1] + "\"=") : whole.size() - 2;
    const std::string truncated = whole.substr(0, data + (next - data) / 2);

    std::filesystem::remove_all(Folder());
    std::filesystem::create_directories(Folder());
    WriteFile(File(), truncated);
    Job expected;
    if (cut > 0) expected.blockText = kSavedJob.blockText;
    if (cut > 1) expected.outputFile = kSavedJob.outputFile;
    if (cut > 2) expected.append = kSavedJob.append;
    if (cut > 3) expected.repeatCount = kSavedJob.repeatCount;
    if (cut > 4) {
      expected.tags = kSavedJob.tags;
      expected.values = {"", ""};  // a value text for every tag
    }
    const Job loaded = Loaded();
    EXPECT_EQ(loaded, expected) << "cut in " << names[cut] << ":\n" << truncated;
    EXPECT_EQ(ReadFile(File()), truncated) << "loading rewrote the file";

    ASSERT_TRUE(SaveSettings(loaded)) << names[cut];
    EXPECT_EQ(ReadFile(File() + ".bad"), truncated) << "cut in " << names[cut];
    EXPECT_TRUE(ParseRegFile(ReadFile(File())).issues.empty()) << names[cut];
    EXPECT_EQ(Loaded(), loaded) << names[cut];
  }
}

TEST_F(settings_fault_test, a_save_killed_before_its_rename_leaves_the_old_file_whole) {
  ASSERT_TRUE(SaveSettings(kSavedJob));
  const std::string before = ReadFile(File());
  // Big enough that writing the temporary file takes a while, so the kill lands in the middle.
  const Job huge{std::string(16 << 20, 'x'), "", 0, 2, {}, {}};
  bool killedMidWrite = false;
  for (int attempt = 0; attempt < 5 && !killedMidWrite; ++attempt) {
    const pid_t writer = ::fork();
    if (writer == 0) {
      SaveSettings(huge);
      ::_exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool writing = false;
    while (!writing && std::chrono::steady_clock::now() < deadline) {
      for (const std::string& name : TempFiles()) {
        struct stat info {};
        writing = writing || (::stat((Folder() + "/" + name).c_str(), &info) == 0 && info.st_size > 0);
      }
      int status = 0;
      if (!writing && ::waitpid(writer, &status, WNOHANG) == writer) {
        break;  // the save finished before it was caught
      }
    }
    ::kill(writer, SIGKILL);
    WaitStatus(writer);
    // The temporary file is still there only when the writer died before renaming it.
    killedMidWrite = writing && !TempFiles().empty();
    if (killedMidWrite) {
      EXPECT_EQ(ReadFile(File()), before);
      EXPECT_TRUE(ParseRegFile(ReadFile(File())).issues.empty());
      EXPECT_EQ(Loaded(), kSavedJob);
    } else {
      ASSERT_TRUE(SaveSettings(kSavedJob));  // start again from the old file
    }
    for (const std::string& name : TempFiles()) {
      std::filesystem::remove(Folder() + "/" + name);
    }
  }
  ASSERT_TRUE(killedMidWrite) << "no kill landed between writing and renaming";
  // The dead writer's lock went with it: the next save goes through.
  const Job next{"next", "", 0, 4, {"t"}, {"v"}};
  EXPECT_TRUE(SaveSettings(next));
  EXPECT_EQ(Loaded(), next);
}

}  // namespace
}  // namespace kelvane
