// The settings store as every system keeps it: what a save stores and a load gives back.
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <climits>
#include <optional>

#include "platform/reg_key.h"
#include "support/settings_store.h"

namespace kelvane {
namespace {

using namespace std::string_literals;

constexpr char kKey[] = "Software\\Orvalle Software Inc.\\Kelvane\\Settings";

class settings_test : public testing::Test {
 protected:
  void SetUp() override {
    if (!store_.skipReason().empty()) {
      GTEST_SKIP() << store_.skipReason();
    }
  }
  // The value as the registry holds it, its strings as UTF-8.
  static std::pair<std::uint32_t, std::string> Stored(const std::string& name) {
    const std::optional<std::vector<RegValue>> values = ReadRegKeyValues(kKey, false);
    const RegValue* value = values ? FindRegValue(*values, name) : nullptr;
    return value != nullptr ? std::make_pair(value->type, value->data) : std::make_pair(REG_NONE, "(missing)"s);
  }
  static Job Loaded() {
    Job job;
    LoadSettings(job);
    return job;
  }

  test::ScopedSettingsStore store_;
};

TEST_F(settings_test, first_start_gives_the_defaults_and_creates_only_the_empty_key) {
  EXPECT_FALSE(HasSavedSettings());
  EXPECT_EQ(ReadRegKeyValues(kKey, false), std::nullopt);  // looking created nothing
  EXPECT_EQ(Loaded(), Job{});
  EXPECT_EQ(ReadRegKeyValues(kKey, false), std::vector<RegValue>{});
  EXPECT_FALSE(HasSavedSettings());
}

TEST_F(settings_test, loading_keeps_the_callers_defaults_for_missing_scalars) {
  Job job{"block", "out.txt", 1, 7, {"stale"}, {"stale"}};
  LoadSettings(job);
  // The lists are emptied before they are read, as the list routine always does.
  EXPECT_EQ(job, (Job{"block", "out.txt", 1, 7, {}, {}}));
}

TEST_F(settings_test, every_setting_round_trips) {
  const Job jobs[] = {
      {},
      {"one line", "/tmp/out.txt", 1, 1, {"T"}, {"v"}},
      {"a\r\nb\r\n", "", 0, 2147483647, {"A", "B", "C"}, {"1\r\n2\r\n", "", "%%count5%03d%%"}},
      {"caf\xC3\xA9 \"q\" \\ \t", "/path with spaces/\xC3\xA9.txt", 0, 0, {"X"}, {""}},
      {"", "", 1, -5, {"E", "F"}, {"", ""}},  // a repeat count the dialog refused is kept as typed
      {"", "", 0, INT_MIN, {"\r\n"}, {"\r\n"}},
      // Beyond Latin-1 and beyond the 16-bit plane: Greek, CJK, an emoji (a surrogate pair in UTF-16).
      {"\xCE\xB1\xCE\xB2 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80",
       "C:\\\xE6\x96\x87\xE6\x9B\xB8\\\xF0\x9F\x98\x80.txt",
       1,
       4,
       {"\xCE\xA9", "\xF0\x9F\x98\x80"},
       {"\xC3\xA9\r\n\xE6\xBC\xA2", ""}},
  };
  for (const Job& job : jobs) {
    ASSERT_TRUE(SaveSettings(job));
    EXPECT_TRUE(HasSavedSettings());
    EXPECT_EQ(Loaded(), job) << job.blockText;
  }
}

TEST_F(settings_test, the_window_size_is_a_seventh_setting_that_older_stores_lack) {
  const Job job{"x", "", 0, 2, {}, {}};
  // Saved before the window size existed: the caller's default stays.
  ASSERT_TRUE(SaveSettings(job));
  Job loaded;
  WindowSize window{11, 22};
  LoadSettings(loaded, window);
  EXPECT_EQ(window, (WindowSize{11, 22}));
  EXPECT_EQ(loaded, job);

  ASSERT_TRUE(SaveSettings(job, WindowSize{812, 655}));
  EXPECT_EQ(Stored("Window Size"), std::make_pair(std::uint32_t{REG_DWORD}, "\x2c\x03\x8f\x02"s));
  window = {};
  LoadSettings(loaded, window);
  EXPECT_EQ(window, (WindowSize{812, 655}));

  // A save of the job alone, as kelvane-cli --save makes, keeps it.
  ASSERT_TRUE(SaveSettings(Job{"y", "", 0, 3, {}, {}}));
  window = {};
  LoadSettings(loaded, window);
  EXPECT_EQ(window, (WindowSize{812, 655}));
  EXPECT_EQ(loaded.blockText, "y");

  ASSERT_TRUE(SaveSettings(job, WindowSize{-4, 70000}));
  LoadSettings(loaded, window);
  EXPECT_EQ(window, (WindowSize{0, 65535}));  // out of range is kept in range
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
      {{"\xC3\xA9", "\xF0\x9F\x98\x80"}, "\xC3\xA9\0\xF0\x9F\x98\x80\0\0"s},
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
  EXPECT_EQ(ReadRegKeyValues("Software\\Orvalle Software Inc.", false), std::nullopt);
}

TEST_F(settings_test, the_profile_calls_create_their_section_and_read_any_entry) {
  EXPECT_EQ(GetProfileString("Window", "Place", "none"), "none");
  EXPECT_EQ(GetProfileInt("Window", "Left", 42), 42);
  EXPECT_EQ(ReadRegKeyValues("Software\\Orvalle Software Inc.\\Kelvane\\Window", false), std::vector<RegValue>{});
  EXPECT_TRUE(WriteProfileString("Window", "Place", "top"));
  EXPECT_TRUE(WriteProfileInt("Window", "Left", -3));
  EXPECT_EQ(GetProfileString("Window", "Place", "none"), "top");
  EXPECT_EQ(GetProfileInt("Window", "Left", 42), -3);
  EXPECT_EQ(GetProfileString("Window", "Left"), "\xfd\xff\xff\xff");
  EXPECT_TRUE(WriteProfileString("Window", "Cut", "a\0b"s));  // a C string ends at its NUL
  EXPECT_EQ(GetProfileString("Window", "Cut"), "a");
  EXPECT_EQ(GetProfileString("Window", "place"), "top");  // names are matched without regard to case
}

}  // namespace
}  // namespace kelvane
