// Faults the settings store meets: unusable or read-only folders, full disks, damaged files, saves
// killed at any moment, many copies saving at once and a copy that holds the store's lock. After any
// of them the stored job is the old one or the new one, whole.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <thread>

#include "fault_support.h"
#include "platform/registry.h"
#include "settings/settings.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::Exists;
using test::FillUp;
using test::ListDir;
using test::LockHolder;
using test::Mount;
using test::ReadFile;
using test::RunCli;
using test::ScopedEnv;
using test::TempDir;
using test::WaitStatus;
using test::WriteFile;

const Job kSavedJob{
    "Hi NAME #N\r\n", "/srv/out/list.txt", 1, 3, {"name", "#n"}, {"Ann\r\nBob\r\nCy", "%%count1%03d%%"}};

// Job number n, every part of it its own, so that a mix of two jobs shows in any part; padded to
// about size bytes so that writing it takes a while.
Job NumberedJob(int n, size_t size = 0) {
  const std::string id = std::to_string(n);
  return Job{"text " + id + std::string(size / 2, 't'),
             "/out/" + id,
             n % 2,
             n + 1,
             {"tag" + id, "other" + id},
             {"value " + id + std::string(size / 2, 'v'), "x" + id}};
}

// Which numbered job this is, or -1 when it is none of them whole.
int WhichJob(const Job& job, size_t size = 0) {
  const int n = job.repeatCount - 1;
  return n >= 0 && job == NumberedJob(n, size) ? n : -1;
}

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

TEST_F(settings_fault_test, a_save_killed_at_any_moment_leaves_the_old_job_or_the_new_one_whole) {
  // At least 100 kills here; KELVANE_SAVE_KILLS asks for more.
  const char* asked = std::getenv("KELVANE_SAVE_KILLS");
  const int kills = asked != nullptr ? std::max(100, std::atoi(asked)) : 100;
  constexpr size_t kSize = 256 * 1024;
  ASSERT_TRUE(SaveSettings(NumberedJob(0, kSize)));

  // How long one save takes here, from the fork on, so that the kills fall all over it.
  const auto start = std::chrono::steady_clock::now();
  const pid_t timed = ::fork();
  if (timed == 0) {
    ::_exit(SaveSettings(NumberedJob(1, kSize)) ? 0 : 1);
  }
  ASSERT_EQ(WaitStatus(timed), 0);
  const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

  std::mt19937 random(20261207);
  std::uniform_int_distribution<long> delay(0, saveTime.count() * 3 / 2);
  int current = 1, keptOld = 0, tookNew = 0;
  for (int round = 0; round < kills; ++round) {
    const int next = current == 1 ? 2 : 1;
    const pid_t saver = ::fork();
    if (saver == 0) {
      SaveSettings(NumberedJob(next, kSize));
      ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(saver, SIGKILL);
    WaitStatus(saver);
    const Job loaded = Loaded();
    const int found = WhichJob(loaded, kSize);
    // (The jobs are large: a mix is told by its parts' first bytes.)
    ASSERT_TRUE(found == current || found == next)
        << "round " << round << ": a job nobody saved: text " << loaded.blockText.substr(0, 8) << ", output "
        << loaded.outputFile << ", repeat " << loaded.repeatCount << ", first tag "
        << (loaded.tags.empty() ? "(none)" : loaded.tags[0]);
    ASSERT_TRUE(ParseRegFile(ReadFile(File())).issues.empty()) << "round " << round;
    (found == current ? keptOld : tookNew)++;
    current = found;
  }
  // Not a test of nothing: some kills came before the replace and some after it.
  EXPECT_GT(keptOld, 0);
  EXPECT_GT(tookNew, 0);
  std::cout << "kills: " << kills << ", old job kept: " << keptOld << ", new job whole: " << tookNew << "\n";

  // Whatever the dead saves left beside the file goes with the next save.
  ASSERT_TRUE(SaveSettings(kSavedJob));
  EXPECT_EQ(ListDir(Folder()), (std::vector<std::string>{"Kelvane.reg", "Kelvane.reg.lock"}));
  EXPECT_EQ(Loaded(), kSavedJob);
}

TEST_F(settings_fault_test, a_save_that_fails_on_the_command_line_says_so_and_runs_nothing) {
  WriteFile(Folder(), "in the way");
  const std::string out = home_.File("out.txt");
  const auto r = RunCli({"--save", "--text", "x", "--output", out});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kelvane-cli: The settings could not be saved in " + File() + ".\n");
  EXPECT_FALSE(Exists(out));
  EXPECT_EQ(ReadFile(Folder()), "in the way");
}

TEST_F(settings_fault_test, a_temporary_file_left_by_a_killed_save_goes_with_the_next_save) {
  ASSERT_TRUE(SaveSettings(kSavedJob));
  // As a save killed between naming its new file and renaming it leaves it; other files stay.
  WriteFile(Folder() + "/.Kelvane.reg.a1B2c3", "half a job");
  WriteFile(Folder() + "/.Kelvane.reg.mine", "not ours");
  WriteFile(Folder() + "/notes.txt", "the user's");
  EXPECT_EQ(Loaded(), kSavedJob);
  ASSERT_TRUE(SaveSettings(NumberedJob(5)));
  EXPECT_EQ(ListDir(Folder()),
            (std::vector<std::string>{".Kelvane.reg.mine", "Kelvane.reg", "Kelvane.reg.lock", "notes.txt"}));
  EXPECT_EQ(Loaded(), NumberedJob(5));
}

TEST_F(settings_fault_test, hundreds_of_saves_at_once_each_leave_a_whole_job) {
  constexpr int kSavers = 300;
  constexpr int kReaders = 4;
  ASSERT_TRUE(SaveSettings(NumberedJob(0)));
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  std::vector<pid_t> savers, readers;
  for (int i = 1; i <= kSavers + kReaders; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(go[1]);
      char ignored;
      (void)!::read(go[0], &ignored, 1);  // all start together, when the parent closes its end
      if (i <= kSavers) {
        ::_exit(SaveSettings(NumberedJob(i)) ? 0 : 1);
      }
      // Readers load while the saves go on: every load is one whole job.
      for (int load = 0; load < 50; ++load) {
        Job job;
        LoadSettings(job);
        if (WhichJob(job) < 0) {
          ::_exit(2);
        }
      }
      ::_exit(0);
    }
    (i <= kSavers ? savers : readers).push_back(pid);
  }
  ::close(go[0]);
  ::close(go[1]);
  std::vector<bool> saved(kSavers + 1);
  int failed = 0;
  for (int i = 0; i < kSavers; ++i) {
    const int status = WaitStatus(savers[static_cast<size_t>(i)]);
    saved[static_cast<size_t>(i) + 1] = status == 0;
    failed += status == 0 ? 0 : 1;
  }
  for (const pid_t reader : readers) {
    EXPECT_EQ(WaitStatus(reader), 0) << "a load saw a job nobody saved";
  }
  const Job loaded = Loaded();
  const int found = WhichJob(loaded);
  ASSERT_GT(found, 0) << testing::PrintToString(loaded);
  EXPECT_TRUE(saved[static_cast<size_t>(found)]) << "the stored job is one whose save failed";
  // How many saves give up after their wait for the lock depends on how busy the machine is, so
  // only the one that was stored is required to have succeeded (above).
  EXPECT_LT(failed, kSavers);
  EXPECT_TRUE(ParseRegFile(ReadFile(File())).issues.empty());
  EXPECT_EQ(ListDir(Folder()), (std::vector<std::string>{"Kelvane.reg", "Kelvane.reg.lock"}));
}

TEST_F(settings_fault_test, a_disk_that_fills_up_part_of_the_way_through_a_save_keeps_the_old_job) {
  std::filesystem::create_directories(Folder());
  const auto disk = Mount::Tmpfs(Folder(), 256 * 1024);
  SKIP_WITHOUT_MOUNTS(disk);
  ASSERT_TRUE(SaveSettings(kSavedJob));
  const std::string before = ReadFile(File());
  // The new text, output file, numbers and tags fit; the values, written last, do not.
  Job bigger = NumberedJob(7);
  bigger.values[0] = std::string(200 * 1024, 'v');
  EXPECT_FALSE(SaveSettings(bigger));
  EXPECT_EQ(ReadFile(File()), before);
  EXPECT_EQ(Loaded(), kSavedJob);
  EXPECT_EQ(ListDir(Folder()), (std::vector<std::string>{"Kelvane.reg", "Kelvane.reg.lock"}));
  // Once there is room again, the same save goes through whole.
  bigger.values[0] = std::string(20 * 1024, 'v');
  EXPECT_TRUE(SaveSettings(bigger));
  EXPECT_EQ(Loaded(), bigger);
}

TEST_F(settings_fault_test, a_copy_holding_the_store_delays_a_load_and_a_save_only_so_long) {
  ASSERT_TRUE(SaveSettings(kSavedJob));
  const std::string before = ReadFile(File());
  const LockHolder stopped(File() + ".lock");
  ASSERT_TRUE(stopped.locked());
  // The load gives up on the lock and reads the file as it stands, which is always whole.
  EXPECT_EQ(Loaded(), kSavedJob);
  // The save gives up and fails, silently in the window; nothing is written.
  EXPECT_FALSE(SaveSettings(NumberedJob(3)));
  EXPECT_EQ(ReadFile(File()), before);
}

}  // namespace
}  // namespace kelvane
