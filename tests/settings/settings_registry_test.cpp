// The settings store in the Windows registry, as another program (regedit, reg.exe) sees it: the
// values' types and UTF-16 bytes, and values such programs leave there.
#include <windows.h>

#include <gtest/gtest.h>
#include <cstring>
#include <string>

#include "platform/win32/wide.h"
#include "settings/settings.h"
#include "support/settings_store.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::Utf16Bytes;

constexpr wchar_t kKey[] = L"Software\\Orvalle Software Inc.\\Kelvane\\Settings";

// A value as RegQueryValueExW gives it: its type and bytes.
struct Raw {
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const Raw&) const = default;
};

void PrintTo(const Raw& raw, std::ostream* out) {
  *out << "type " << raw.type << ", " << testing::PrintToString(raw.bytes);
}

class settings_registry_test : public testing::Test {
 protected:
  void SetUp() override {
    if (!store_.skipReason().empty()) {
      GTEST_SKIP() << store_.skipReason();
    }
  }

  static Raw Query(const std::wstring& name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      return {REG_NONE, "(no key)"};
    }
    Raw raw;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
      raw.bytes.resize(size);
      if (::RegQueryValueExW(key, name.c_str(), nullptr, &raw.type, reinterpret_cast<BYTE*>(raw.bytes.data()), &size) !=
          ERROR_SUCCESS) {
        raw = {REG_NONE, "(unreadable)"};
      }
      raw.bytes.resize(size);
    } else {
      raw = {REG_NONE, "(missing)"};
    }
    ::RegCloseKey(key);
    return raw;
  }

  // Stores a value as another program may, bytes and all.
  static void Put(const std::wstring& name, const Raw& raw) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, name.c_str(), 0, raw.type, reinterpret_cast<const BYTE*>(raw.bytes.data()),
                               static_cast<DWORD>(raw.bytes.size())),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
  }

  static Job Loaded() {
    Job job;
    LoadSettings(job);
    return job;
  }

  test::ScopedSettingsStore store_;
};

std::string Dword(std::uint32_t number) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &number, 4);  // Windows is little-endian
  return bytes;
}

TEST_F(settings_registry_test, a_save_stores_each_value_with_its_windows_type_and_bytes) {
  const Job job{"Dear NAME,\r\ncaf\xC3\xA9 \xF0\x9F\x98\x80",
                "C:\\out\\\xC3\xBC.txt",
                1,
                -3,
                {"NAME", "\xE6\xBC\xA2"},
                {"Ada\r\nBob", ""}};
  ASSERT_TRUE(SaveSettings(job, WindowSize{812, 655}));
  const struct {
    std::wstring name;
    Raw expected;
  } cases[] = {
      {L"Text", {REG_SZ, Utf16Bytes(u"Dear NAME,\r\ncaf\u00E9 \U0001F600\0"s)}},
      {L"Output File", {REG_SZ, Utf16Bytes(u"C:\\out\\\u00FC.txt\0"s)}},
      {L"Append", {REG_DWORD, "\x01\0\0\0"s}},
      {L"Repeat Count", {REG_DWORD, "\xFD\xFF\xFF\xFF"s}},
      {L"Value Names", {REG_MULTI_SZ, Utf16Bytes(u"NAME\0\u6F22\0\0"s)}},
      // The empty last value text is stored as an empty element, before the list's own NUL.
      {L"Values", {REG_MULTI_SZ, Utf16Bytes(u"Ada\r\nBob\0\0\0"s)}},
      {L"Window Size", {REG_DWORD, Dword(812 | (655u << 16))}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Query(c.name), c.expected) << Narrow(c.name);
  }
  EXPECT_EQ(Loaded(), job);
}

TEST_F(settings_registry_test, empty_texts_and_lists_are_a_lone_nul) {
  ASSERT_TRUE(SaveSettings(Job{}));
  EXPECT_EQ(Query(L"Text"), (Raw{REG_SZ, "\0\0"s}));
  EXPECT_EQ(Query(L"Output File"), (Raw{REG_SZ, "\0\0"s}));
  EXPECT_EQ(Query(L"Value Names"), (Raw{REG_MULTI_SZ, "\0\0"s}));
  EXPECT_EQ(Query(L"Values"), (Raw{REG_MULTI_SZ, "\0\0"s}));
  EXPECT_EQ(Query(L"Repeat Count"), (Raw{REG_DWORD, Dword(1)}));
}

TEST_F(settings_registry_test, values_another_program_wrote_load_as_on_linux) {
  const struct {
    std::wstring name;
    Raw stored;
    Job expected;
  } cases[] = {
      // Strings of any type, up to the first NUL; without one, to the end; an odd last byte is half
      // a character and is dropped.
      {L"Text", {REG_SZ, Utf16Bytes(u"A\0B\0"s)}, {"A", "", 0, 1, {}, {}}},
      {L"Text", {REG_SZ, Utf16Bytes(u"AB")}, {"AB", "", 0, 1, {}, {}}},
      {L"Text", {REG_SZ, Utf16Bytes(u"AB") + "C"}, {"AB", "", 0, 1, {}, {}}},
      {L"Text", {REG_EXPAND_SZ, Utf16Bytes(u"%TEMP%\0"s)}, {"%TEMP%", "", 0, 1, {}, {}}},
      {L"Text", {REG_BINARY, "x\0y"s}, {"x", "", 0, 1, {}, {}}},
      // Half a surrogate pair is no character: it becomes U+FFFD.
      {L"Output File", {REG_SZ, Utf16Bytes(u"a\xD800z\0"s)}, {"", "a\xEF\xBF\xBDz", 0, 1, {}, {}}},
      // Integers: four bytes of any type but a string's.
      {L"Repeat Count", {REG_DWORD, "\x05\0"s}, {}},
      {L"Repeat Count", {REG_QWORD, "\x05\0\0\0\0\0\0\0"s}, {}},
      {L"Repeat Count", {REG_SZ, Utf16Bytes(u"12\0"s)}, {}},
      {L"Repeat Count", {REG_BINARY, "\x05\0\0\0"s}, {"", "", 0, 5, {}, {}}},
      {L"Append", {REG_DWORD, Dword(1)}, {"", "", 1, 1, {}, {}}},
      // Lists: only REG_MULTI_SZ; data without its closing NULs, or with an odd last byte, still loads.
      {L"Value Names", {REG_SZ, Utf16Bytes(u"A\0"s)}, {}},
      {L"Value Names", {REG_MULTI_SZ, Utf16Bytes(u"A\0B"s)}, {"", "", 0, 1, {"A", "B"}, {"", ""}}},
      {L"Value Names", {REG_MULTI_SZ, Utf16Bytes(u"A\0B\0\0"s) + "Z"}, {"", "", 0, 1, {"A", "B"}, {"", ""}}},
      {L"Value Names", {REG_MULTI_SZ, ""}, {}},
  };
  for (const auto& c : cases) {
    test::ScopedSettingsStore clean;
    Put(c.name, c.stored);
    EXPECT_EQ(Loaded(), c.expected) << testing::PrintToString(c.stored);
  }
}

TEST_F(settings_registry_test, the_two_lists_are_paired_whatever_another_program_left) {
  const struct {
    Raw names, values;
    std::vector<std::string> expectedValues;
  } cases[] = {
      // A save killed between the two lists, or lists another program wrote: the value texts are
      // filled up with empty ones, or cut, to the tags' number.
      {{REG_MULTI_SZ, Utf16Bytes(u"A\0B\0C\0\0"s)}, {REG_MULTI_SZ, Utf16Bytes(u"1\0\0"s)}, {"1", "", ""}},
      {{REG_MULTI_SZ, Utf16Bytes(u"A\0\0"s)},
       {REG_MULTI_SZ, Utf16Bytes(u"1\0"
                                 u"2\0\0"s)},
       {"1"}},
      {{REG_MULTI_SZ, Utf16Bytes(u"A\0B\0\0"s)}, {REG_SZ, Utf16Bytes(u"x\0"s)}, {"", ""}},
      // An empty value text between others no longer cuts the list.
      {{REG_MULTI_SZ, Utf16Bytes(u"A\0B\0C\0\0"s)}, {REG_MULTI_SZ, Utf16Bytes(u"a\0\0c\0\0"s)}, {"a", "", "c"}},
  };
  for (const auto& c : cases) {
    test::ScopedSettingsStore clean;
    Put(L"Value Names", c.names);
    Put(L"Values", c.values);
    const Job job = Loaded();
    EXPECT_EQ(job.values, c.expectedValues) << testing::PrintToString(c.values);
    EXPECT_EQ(job.values.size(), job.tags.size());
  }
}

TEST_F(settings_registry_test, a_window_size_alone_is_no_saved_job) {
  // What the window leaves with no job saved: kelvane-cli --saved must still say there is none.
  Put(L"Window Size", {REG_SZ, Utf16Bytes(u"800x600\0"s)});
  EXPECT_FALSE(HasSavedSettings());
  Job job;
  WindowSize window{1, 2};
  LoadSettings(job, window);
  EXPECT_EQ(window, (WindowSize{1, 2}));  // not a DWORD: the default stays
  Put(L"Window Size", {REG_DWORD, Dword(640 | (480u << 16))});
  EXPECT_FALSE(HasSavedSettings());
  LoadSettings(job, window);
  EXPECT_EQ(window, (WindowSize{640, 480}));
  EXPECT_EQ(job, Job{});
}

TEST_F(settings_registry_test, bytes_that_are_not_utf8_are_stored_as_replacement_characters) {
  // UTF-16 has no form for them; the user's own typing, always UTF-8 here, never has them.
  ASSERT_TRUE(SaveSettings(Job{"a\xFFz", "", 0, 1, {}, {}}));
  EXPECT_EQ(Query(L"Text"), (Raw{REG_SZ, Utf16Bytes(u"a\uFFFDz\0"s)}));
  EXPECT_EQ(Loaded().blockText, "a\xEF\xBF\xBDz");
}

}  // namespace
}  // namespace kelvane
