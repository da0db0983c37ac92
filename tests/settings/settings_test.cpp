#include "settings/settings.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <climits>
#include <filesystem>

#include "platform/registry.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::ListDir;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

constexpr char kKey[] = "Software\\Orvalle Software Inc.\\Kelvane\\Settings";
const std::string kHeader =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n";

class settings_test : public testing::Test {
 protected:
  std::string Folder() const { return home_.File("Orvalle Software Inc."); }
  std::string File() const { return Folder() + "/Kelvane.reg"; }
  void WriteRegistry(const std::string& text) const {
    std::filesystem::create_directories(Folder());
    WriteFile(File(), text);
  }
  // The value as the registry holds it.
  static std::pair<std::uint32_t, std::string> Stored(const std::string& name) {
    RegKey key;
    std::uint32_t type = REG_NONE;
    std::string data;
    if (OpenRegistryKey(kKey, RegAccess::Read, key) != RegResult::Success ||
        QueryRegistryValue(key, name, type, data) != RegResult::Success) {
      return {REG_NONE, "(missing)"};
    }
    return {type, data};
  }
  static Job Loaded() {
    Job job;
    LoadSettings(job);
    return job;
  }

  TempDir home_;
  ScopedEnv config_{"XDG_CONFIG_HOME", home_.path().c_str()};
};

TEST_F(settings_test, first_start_gives_the_defaults_and_creates_only_the_empty_key) {
  EXPECT_EQ(Loaded(), Job{});
  EXPECT_EQ(ReadFile(File()), kHeader + "\r\n");
}

TEST_F(settings_test, loading_keeps_the_callers_defaults_for_missing_scalars) {
  Job job{"block", "out.txt", 1, 7, {"stale"}, {"stale"}};
  LoadSettings(job);
  // The lists are emptied before they are read, as the list routine always does.
  EXPECT_EQ(job, (Job{"block", "out.txt", 1, 7, {}, {}}));
}

TEST_F(settings_test, a_small_job_is_saved_as_readable_regedit4_text) {
  ASSERT_TRUE(
      SaveSettings({"Dear NAME", "C:\\out \"1\".txt", 1, 3, {"NAME", "#"}, {"Ada\r\nBob\r\nCy", "%%count1%d%%"}}));
  EXPECT_EQ(ReadFile(File()),
            kHeader +
                "\"Text\"=\"Dear NAME\"\r\n"
                "\"Output File\"=\"C:\\\\out \\\"1\\\".txt\"\r\n"
                "\"Append\"=dword:00000001\r\n"
                "\"Repeat Count\"=dword:00000003\r\n"
                "\"Value Names\"=hex(7):4e,41,4d,45,00,23,00,00\r\n"
                "\"Values\"=hex(7):41,64,61,0d,0a,42,6f,62,0d,0a,43,79,00,25,25,63,6f,75,6e,74,31,\\\r\n"
                "  25,64,25,25,00,00\r\n"
                "\r\n");
}

TEST_F(settings_test, every_setting_round_trips) {
  const Job jobs[] = {
      {},
      {"one line", "/tmp/out.txt", 1, 1, {"T"}, {"v"}},
      {"a\r\nb\r\n", "", 0, 2147483647, {"A", "B", "C"}, {"1\r\n2\r\n", "", "%%count5%03d%%"}},
      {"caf\xC3\xA9 \"q\" \\ \t", "/path with spaces/\xC3\xA9.txt", 0, 0, {"X"}, {""}},
      {"", "", 1, -5, {"E", "F"}, {"", ""}},  // a repeat count the dialog refused is kept as typed
      {"\xFF\xFE not UTF-8", "", 0, INT_MIN, {"\x80"}, {"\r\n"}},
  };
  for (const Job& job : jobs) {
    ASSERT_TRUE(SaveSettings(job));
    EXPECT_EQ(Loaded(), job) << job.blockText;
  }
}

TEST_F(settings_test, the_window_size_is_a_seventh_setting_that_older_files_lack) {
  const Job job{"x", "", 0, 2, {}, {}};
  // A file from before the window size: the caller's default stays.
  ASSERT_TRUE(SaveSettings(job));
  Job loaded;
  WindowSize window{11, 22};
  LoadSettings(loaded, window);
  EXPECT_EQ(window, (WindowSize{11, 22}));
  EXPECT_EQ(loaded, job);

  ASSERT_TRUE(SaveSettings(job, WindowSize{812, 655}));
  EXPECT_EQ(Stored("Window Size"), std::make_pair(std::uint32_t{REG_DWORD}, "\x2c\x03\x8f\x02"s));
  EXPECT_NE(ReadFile(File()).find("\"Window Size\"=dword:028f032c\r\n"), std::string::npos);
  window = {};
  LoadSettings(loaded, window);
  EXPECT_EQ(window, (WindowSize{812, 655}));

  // A save of the job alone, as kelvane-cli --save makes, keeps it.
  ASSERT_TRUE(SaveSettings(Job{"y", "", 0, 3, {}, {}}));
  window = {};
  LoadSettings(loaded, window);
  EXPECT_EQ(window, (WindowSize{812, 655}));
  EXPECT_EQ(loaded.blockText, "y");
}

TEST_F(settings_test, a_window_size_alone_or_of_another_form_is_no_job) {
  WriteRegistry(kHeader + "\"Window Size\"=\"800x600\"\r\n");
  EXPECT_FALSE(HasSavedSettings());
  Job job;
  WindowSize window{1, 2};
  LoadSettings(job, window);
  EXPECT_EQ(window, (WindowSize{1, 2}));
  EXPECT_EQ(job, Job{});
  ASSERT_TRUE(SaveSettings(job, WindowSize{-4, 70000}));
  LoadSettings(job, window);
  EXPECT_EQ(window, (WindowSize{0, 65535}));  // out of range is kept in range
}

TEST_F(settings_test, a_save_that_changes_nothing_leaves_the_file_alone) {
  const Job job{"same", "", 1, 2, {"T"}, {"v"}};
  ASSERT_TRUE(SaveSettings(job));
  struct stat before {};
  ASSERT_EQ(::stat(File().c_str(), &before), 0);
  ASSERT_TRUE(SaveSettings(job));
  EXPECT_EQ(Loaded(), job);
  struct stat after {};
  ASSERT_EQ(::stat(File().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // not replaced
  ASSERT_TRUE(SaveSettings(Job{"changed", "", 1, 2, {"T"}, {"v"}}));
  ASSERT_EQ(::stat(File().c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
}

TEST_F(settings_test, lists_are_stored_in_the_multi_string_layout) {
  const struct {
    std::vector<std::string> list;
    std::string bytes;
  } cases[] = {
      {{}, "\0"s},
      {{"a"}, "a\0\0"s},
      {{"a", "", "c"}, "a\0\0c\0\0"s},
      {{"x\r\ny"}, "x\r\ny\0\0"s},
  };
  ASSERT_TRUE(WriteProfileInt(kSettingsSection, "Append", 0));  // the lists never create the key
  for (const auto& c : cases) {
    ASSERT_TRUE(SaveStringList(kSettingsSection, "Values", c.list));
    EXPECT_EQ(Stored("Values"), std::make_pair(REG_MULTI_SZ, c.bytes));
    std::vector<std::string> loaded{"stale"};
    EXPECT_TRUE(LoadStringList(kSettingsSection, "Values", loaded));
    EXPECT_EQ(loaded, c.list);
  }
}

TEST_F(settings_test, the_list_routines_never_create_the_key) {
  EXPECT_FALSE(SaveStringList(kSettingsSection, "Values", {"a"}));
  std::vector<std::string> list{"stale"};
  EXPECT_FALSE(LoadStringList(kSettingsSection, "Values", list));
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(test::Exists(Folder()));
}

TEST_F(settings_test, stored_values_of_other_forms_load_as_documented) {
  const struct {
    std::string line;
    Job expected;
  } cases[] = {
      // A list of another type is an empty list.
      {"\"Value Names\"=hex(7):41,00,00\r\n\"Values\"=\"x\"", {"", "", 0, 1, {"A"}, {""}}},
      // Fewer values than tags: filled up; more: cut.
      {"\"Value Names\"=hex(7):41,00,42,00,00\r\n\"Values\"=hex(7):31,00,00", {"", "", 0, 1, {"A", "B"}, {"1", ""}}},
      {"\"Value Names\"=hex(7):41,00,00\r\n\"Values\"=hex(7):31,00,32,00,00", {"", "", 0, 1, {"A"}, {"1"}}},
      // An empty value text no longer cuts the list; data without its terminators still loads.
      {"\"Value Names\"=hex(7):41,00,42,00,43,00,00\r\n\"Values\"=hex(7):61,00,00,63,00,00",
       {"", "", 0, 1, {"A", "B", "C"}, {"a", "", "c"}}},
      {"\"Value Names\"=hex(7):41,00,42\r\n\"Values\"=hex(7):61,00,62", {"", "", 0, 1, {"A", "B"}, {"a", "b"}}},
      // Integers: four bytes of any non-string type; anything else gives the default.
      {"\"Repeat Count\"=hex(4):05,00", {}},
      {"\"Repeat Count\"=hex:05,00,00,00,00", {}},
      {"\"Repeat Count\"=\"123\"", {}},
      {"\"Repeat Count\"=hex(1):31,32,33,00", {}},
      {"\"Repeat Count\"=hex:05,00,00,00", {"", "", 0, 5, {}, {}}},
      {"\"Repeat Count\"=dword:ffffffff", {"", "", 0, -1, {}, {}}},
      {"\"Append\"=hex(b):01", {}},
      // Strings: any type, up to the first NUL.
      {"\"Text\"=hex:41,42,00,43", {"AB", "", 0, 1, {}, {}}},
      {"\"Text\"=hex(1):41,42", {"AB", "", 0, 1, {}, {}}},
      {"\"Text\"=dword:00000041", {"A", "", 0, 1, {}, {}}},
      {"\"text\"=\"any case\"", {"any case", "", 0, 1, {}, {}}},
  };
  for (const auto& c : cases) {
    WriteRegistry(kHeader + c.line + "\r\n\r\n");
    EXPECT_EQ(Loaded(), c.expected) << c.line;
  }
}

TEST_F(settings_test, the_profile_calls_create_their_section_and_read_any_entry) {
  EXPECT_EQ(GetProfileString("Window", "Place", "none"), "none");
  EXPECT_EQ(GetProfileInt("Window", "Left", 42), 42);
  EXPECT_TRUE(WriteProfileString("Window", "Place", "top"));
  EXPECT_TRUE(WriteProfileInt("Window", "Left", -3));
  EXPECT_EQ(GetProfileString("Window", "Place", "none"), "top");
  EXPECT_EQ(GetProfileInt("Window", "Left", 42), -3);
  EXPECT_EQ(GetProfileString("Window", "Left"), "\xfd\xff\xff\xff");
  EXPECT_TRUE(WriteProfileString("Window", "Cut", "a\0b"s));  // a C string ends at its NUL
  EXPECT_EQ(GetProfileString("Window", "Cut"), "a");
  EXPECT_NE(ReadFile(File()).find("[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Window]\r\n"
                                  "\"Place\"=\"top\"\r\n\"Left\"=dword:fffffffd\r\n\"Cut\"=\"a\"\r\n"),
            std::string::npos);
}

TEST_F(settings_test, foreign_values_and_keys_survive_a_save) {
  const std::string foreign =
      "[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Recent]\r\n\"1\"=\"a.txt\"\r\n\r\n";
  WriteRegistry(kHeader + "\"Theme\"=hex(2):25,00\r\n\"Text\"=\"old\"\r\n\r\n" + foreign);
  ASSERT_TRUE(SaveSettings({"new", "", 0, 1, {}, {}}));
  EXPECT_EQ(ReadFile(File()), kHeader +
                                  "\"Theme\"=hex(2):25,00\r\n"
                                  "\"Text\"=\"new\"\r\n"
                                  "\"Output File\"=\"\"\r\n"
                                  "\"Append\"=dword:00000000\r\n"
                                  "\"Repeat Count\"=dword:00000001\r\n"
                                  "\"Value Names\"=hex(7):00\r\n"
                                  "\"Values\"=hex(7):00\r\n"
                                  "\r\n" +
                                  foreign);
}

TEST_F(settings_test, a_damaged_file_loads_what_it_can_and_is_kept_when_saving) {
  const std::string damaged = kHeader + "\"Text\"=\"kept\"\r\n\"Repeat Count\"=dword:0000000g\r\n\xff\xff garbage\r\n";
  WriteRegistry(damaged);
  const Job loaded = Loaded();
  EXPECT_EQ(loaded, (Job{"kept", "", 0, 1, {}, {}}));
  EXPECT_EQ(ReadFile(File()), damaged);  // loading alone rewrites nothing
  ASSERT_TRUE(SaveSettings(loaded));
  EXPECT_EQ(ReadFile(File() + ".bad"), damaged);
  EXPECT_EQ(Loaded(), loaded);
}

TEST_F(settings_test, an_unusable_location_gives_the_defaults_and_saves_nothing) {
  for (const bool folderIsFile : {true, false}) {
    std::filesystem::remove_all(Folder());
    if (folderIsFile) {
      WriteFile(Folder(), "in the way");
    } else {
      std::filesystem::create_directories(File());
    }
    EXPECT_FALSE(SaveSettings({"x", "y", 1, 2, {"T"}, {"v"}}));
    EXPECT_EQ(Loaded(), Job{});
    EXPECT_EQ(GetProfileString(kSettingsSection, "Text", "default"), "default");
  }
}

TEST_F(settings_test, two_copies_saving_at_once_both_keep_their_values) {
  constexpr int kRounds = 20;
  pid_t copies[2];
  for (int copy = 0; copy < 2; ++copy) {
    copies[copy] = ::fork();
    if (copies[copy] == 0) {
      bool ok = true;
      for (int round = 0; round < kRounds; ++round) {
        // One copy saves the block, the other the output file, each alongside a value of its own.
        ok = WriteProfileString(kSettingsSection, copy == 0 ? "Text" : "Output File", "copy" + std::to_string(copy)) &&
             ok;
        ok = WriteProfileInt(kSettingsSection, "Copy" + std::to_string(copy), round) && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
  }
  for (const pid_t pid : copies) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const Job job = Loaded();
  EXPECT_EQ(job.blockText, "copy0");
  EXPECT_EQ(job.outputFile, "copy1");
  EXPECT_EQ(GetProfileInt(kSettingsSection, "Copy0", -1), kRounds - 1);
  EXPECT_EQ(GetProfileInt(kSettingsSection, "Copy1", -1), kRounds - 1);
  EXPECT_EQ(ListDir(Folder()), (std::vector<std::string>{"Kelvane.reg", "Kelvane.reg.lock"}));
}

}  // namespace
}  // namespace kelvane
