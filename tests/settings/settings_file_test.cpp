// The settings store as Linux keeps it: the REGEDIT4 file, its lock and its atomic replace.
#include "settings/settings.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <climits>
#include <filesystem>

#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::ListDir;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

const std::string kHeader =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n";

class settings_file_test : public testing::Test {
 protected:
  std::string Folder() const { return home_.File("Orvalle Software Inc."); }
  std::string File() const { return Folder() + "/Kelvane.reg"; }
  void WriteRegistry(const std::string& text) const {
    std::filesystem::create_directories(Folder());
    WriteFile(File(), text);
  }
  static Job Loaded() {
    Job job;
    LoadSettings(job);
    return job;
  }

  TempDir home_;
  ScopedEnv config_{"XDG_CONFIG_HOME", home_.path().c_str()};
};

TEST_F(settings_file_test, a_first_load_writes_only_the_empty_key_to_the_file) {
  EXPECT_EQ(Loaded(), Job{});
  EXPECT_EQ(ReadFile(File()), kHeader + "\r\n");
}

TEST_F(settings_file_test, a_small_job_is_saved_as_readable_regedit4_text) {
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

TEST_F(settings_file_test, bytes_that_are_not_utf8_round_trip_through_the_file) {
  const Job job{"\xFF\xFE not UTF-8", "", 0, INT_MIN, {"\x80"}, {"\r\n"}};
  ASSERT_TRUE(SaveSettings(job));
  EXPECT_EQ(Loaded(), job);
}

TEST_F(settings_file_test, the_window_size_is_a_dword_in_the_file) {
  ASSERT_TRUE(SaveSettings(Job{"x", "", 0, 2, {}, {}}, WindowSize{812, 655}));
  EXPECT_NE(ReadFile(File()).find("\"Window Size\"=dword:028f032c\r\n"), std::string::npos);
}

TEST_F(settings_file_test, a_window_size_alone_or_of_another_form_is_no_job) {
  WriteRegistry(kHeader + "\"Window Size\"=\"800x600\"\r\n");
  EXPECT_FALSE(HasSavedSettings());
  Job job;
  WindowSize window{1, 2};
  LoadSettings(job, window);
  EXPECT_EQ(window, (WindowSize{1, 2}));
  EXPECT_EQ(job, Job{});
}

TEST_F(settings_file_test, a_save_that_changes_nothing_leaves_the_file_alone) {
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

TEST_F(settings_file_test, the_list_routines_make_no_folder) {
  EXPECT_FALSE(SaveStringList(kSettingsSection, "Values", {"a"}));
  std::vector<std::string> list{"stale"};
  EXPECT_FALSE(LoadStringList(kSettingsSection, "Values", list));
  EXPECT_FALSE(test::Exists(Folder()));
}

TEST_F(settings_file_test, stored_values_of_other_forms_load_as_documented) {
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

TEST_F(settings_file_test, the_profile_calls_write_their_section_to_the_file) {
  EXPECT_EQ(GetProfileString("Window", "Place", "none"), "none");
  EXPECT_TRUE(WriteProfileString("Window", "Place", "top"));
  EXPECT_TRUE(WriteProfileInt("Window", "Left", -3));
  EXPECT_TRUE(WriteProfileString("Window", "Cut", "a\0b"s));  // a C string ends at its NUL
  EXPECT_NE(ReadFile(File()).find("[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Window]\r\n"
                                  "\"Place\"=\"top\"\r\n\"Left\"=dword:fffffffd\r\n\"Cut\"=\"a\"\r\n"),
            std::string::npos);
}

TEST_F(settings_file_test, foreign_values_and_keys_survive_a_save) {
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

TEST_F(settings_file_test, a_damaged_file_loads_what_it_can_and_is_kept_when_saving) {
  const std::string damaged = kHeader + "\"Text\"=\"kept\"\r\n\"Repeat Count\"=dword:0000000g\r\n\xff\xff garbage\r\n";
  WriteRegistry(damaged);
  const Job loaded = Loaded();
  EXPECT_EQ(loaded, (Job{"kept", "", 0, 1, {}, {}}));
  EXPECT_EQ(ReadFile(File()), damaged);  // loading alone rewrites nothing
  ASSERT_TRUE(SaveSettings(loaded));
  EXPECT_EQ(ReadFile(File() + ".bad"), damaged);
  EXPECT_EQ(Loaded(), loaded);
}

TEST_F(settings_file_test, an_unusable_location_gives_the_defaults_and_saves_nothing) {
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

TEST_F(settings_file_test, two_copies_saving_at_once_both_keep_their_values) {
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
