#include "platform/registry.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include "faults/fault_support.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using namespace std::string_literals;
using test::ListDir;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

constexpr char kSettingsKey[] = "Software\\Orvalle Software Inc.\\Kelvane\\Settings";

TEST(reg_file_test, a_document_is_written_as_readable_regedit4_text) {
  RegDocument document;
  document.sections.push_back({"HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings",
                               {},
                               {
                                   {"Text", REG_SZ, "Say \"hi\" to C:\\temp\0"s},
                                   {"Lines", REG_SZ, "a\r\nb\0"s},
                                   {"Latin-1", REG_SZ, "caf\xE9\0"s},
                                   {"Unicode", REG_SZ, "caf\xC3\xA9\0"s},
                                   {"No NUL", REG_SZ, "x"},
                                   {"Repeat Count", REG_DWORD, "\x0c\x00\x00\x00"s},
                                   {"Short dword", REG_DWORD, "\x01\x02"s},
                                   {"Value Names", REG_MULTI_SZ, "a\0\0c\0\0"s},
                                   {"", REG_BINARY, "\x01\xff"s},
                                   {"Quad", 11, std::string(8, '\0')},
                                   {"None", REG_NONE, ""},
                               }});
  document.sections.push_back(
      {"HKEY_CURRENT_USER\\Software\\Other", {"; kept"}, {{"Long", REG_BINARY, std::string(30, 'A')}}});
  const std::string text = FormatRegFile(document);
  EXPECT_EQ(text,
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n"
            "\"Text\"=\"Say \\\"hi\\\" to C:\\\\temp\"\r\n"
            "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
            "\"Latin-1\"=hex(1):63,61,66,e9,00\r\n"
            "\"Unicode\"=\"caf\xC3\xA9\"\r\n"
            "\"No NUL\"=hex(1):78\r\n"
            "\"Repeat Count\"=dword:0000000c\r\n"
            "\"Short dword\"=hex(4):01,02\r\n"
            "\"Value Names\"=hex(7):61,00,00,63,00,00\r\n"
            "@=hex:01,ff\r\n"
            "\"Quad\"=hex(b):00,00,00,00,00,00,00,00\r\n"
            "\"None\"=hex(0):\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "; kept\r\n"
            "\"Long\"=hex:41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,41,\\\r\n"
            "  41,41,41,41,41,41,41,41\r\n"
            "\r\n");
  const RegParseResult back = ParseRegFile(text);
  EXPECT_TRUE(back.issues.empty());
  EXPECT_EQ(back.document, document);
}

TEST(reg_file_test, every_byte_of_a_string_round_trips) {
  std::string all;
  for (int c = 0; c < 256; ++c) {
    all += static_cast<char>(c);
  }
  for (const std::string& data : {all, all + '\0', "\0"s, ""s, "\\\"\0"s, "\xC2\x85\0"s, "\t\0"s}) {
    const RegDocument document{{}, {{"HKEY_CURRENT_USER\\K", {}, {{"V", REG_SZ, data}}}}};
    const RegParseResult back = ParseRegFile(FormatRegFile(document));
    EXPECT_TRUE(back.issues.empty());
    EXPECT_EQ(back.document, document);
  }
}

TEST(reg_file_test, reads_what_regedit_and_people_write) {
  const std::string out = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
  const struct {
    std::string input;
    std::string canonical;
  } cases[] = {
      {"REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"x\"\n", out + "\"A\"=\"x\"\r\n\r\n"},
      {"\xEF\xBB\xBFREGEDIT4\r\n[HKEY_CURRENT_USER\\K]  \r\n  \"A\" = dword:C\r\n",
       out + "\"A\"=dword:0000000c\r\n\r\n"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=HEX(7):61,00,\\\n   62,00,  \\\n 00\n\"B\"=hex:\n",
       out + "\"A\"=hex(7):61,00,62,00,00\r\n\"B\"=hex:\r\n\r\n"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=hex(1):41,0\n", out + "\"A\"=\"A\"\r\n\r\n"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"C:\\temp\\\\x\"\n", out + "\"A\"=\"C:\\\\temp\\\\x\"\r\n\r\n"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n@=\"d\"\n\"@\"=\"n\"\n", out + "@=\"d\"\r\n\"@\"=\"n\"\r\n\r\n"},
      // A key named twice is one key, as importing the file makes it.
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"1\"\n[HKEY_CURRENT_USER\\k]\n\"B\"=\"2\"\n",
       out + "\"A\"=\"1\"\r\n\"B\"=\"2\"\r\n\r\n"},
      // A byte split across a continuation, as a hand edit may leave it.
      {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"A\"=hex:61,6\\\n 2, \\\n\n", out + "\"A\"=hex:61,62\r\n\r\n"},
      {"REGEDIT4\n; about\n[HKEY_CURRENT_USER\\K]\n; mine\n",
       "REGEDIT4\r\n\r\n; about\r\n\r\n" + out.substr(12) + "; mine\r\n\r\n"},
  };
  for (const auto& c : cases) {
    const RegParseResult parsed = ParseRegFile(c.input);
    EXPECT_TRUE(parsed.issues.empty()) << c.input << parsed.issues[0].reason;
    EXPECT_EQ(FormatRegFile(parsed.document), c.canonical) << c.input;
  }
}

TEST(reg_file_test, unreadable_lines_are_listed_and_the_rest_is_used) {
  const std::string good = "[HKEY_CURRENT_USER\\K]\n\"Good\"=\"yes\"\n";
  const std::string kept = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"Good\"=\"yes\"\r\n\r\n";
  const struct {
    std::string input;
    size_t line;  // of the first issue
  } cases[] = {
      {good, 1},                                                             // no header
      {"Windows Registry Editor Version 5.00\n" + good, 1},                  // another format
      {"REGEDIT4\n\"Orphan\"=\"x\"\n" + good, 2},                            // a value outside any key
      {"REGEDIT4\n" + good + "\"Cut\"=\"no end\n", 4},                       // unterminated string
      {"REGEDIT4\n" + good + "\"Cut\"=hex(7):61,00,\\\n", 4},                // truncated continuation
      {"REGEDIT4\n" + good + "\"Bad\"=hex:0g\n", 4},                         // not a hex byte
      {"REGEDIT4\n" + good + "\"Bad\"=hex:123\n", 4},                        // not a byte
      {"REGEDIT4\n" + good + "\"Bad\"=dword:123456789\n", 4},                // too many digits
      {"REGEDIT4\n" + good + "\"Bad\"=\"x\" y\n", 4},                        // text after a string
      {"REGEDIT4\n" + good + "\"Gone\"=-\n", 4},                             // a deletion
      {"REGEDIT4\n" + good + "\"Good\"=\"yes\"\n", 4},                       // a second value of that name
      {"REGEDIT4\n" + good + "[-HKEY_CURRENT_USER\\J]\n\"X\"=\"1\"\n", 4},   // a key deletion, with its values
      {"REGEDIT4\n" + good + "[HKEY_CURRENT_USER\\J\n\"X\"=\"1\"\n", 4},     // no closing bracket
      {"REGEDIT4\n" + good + "\x7f\x45LF\x01\x01\x01\0\0\0\xff\xfe\n"s, 4},  // binary junk
  };
  for (const auto& c : cases) {
    const RegParseResult parsed = ParseRegFile(c.input);
    ASSERT_FALSE(parsed.issues.empty()) << c.input;
    EXPECT_EQ(parsed.issues[0].line, c.line) << c.input;
    EXPECT_EQ(FormatRegFile(parsed.document), kept) << c.input;
  }
  EXPECT_TRUE(ParseRegFile("").issues.empty());
  EXPECT_EQ(ParseRegFile("REGEDIT4\n" + good + "\"Good\"=\"later\"\n").document.sections[0].values[0].data, "later\0"s);
}

TEST(reg_file_test, huge_values_round_trip_exactly) {
  std::string bytes;
  for (int i = 0; i < 1'000'000; ++i) {
    bytes += static_cast<char>(i * 7 % 256);
  }
  const std::vector<std::string> lines(100'000, "Name \xC3\xA9\r\n");
  const RegDocument document{
      {},
      {{"HKEY_CURRENT_USER\\K",
        {},
        {{"A long name that takes most of the first line before its data starts", REG_BINARY, bytes},
         {"Values", REG_MULTI_SZ, JoinMultiString(lines)},
         {"Text", REG_SZ, bytes + '\0'}}}}};
  const std::string text = FormatRegFile(document);
  const RegParseResult back = ParseRegFile(text);
  EXPECT_TRUE(back.issues.empty());
  EXPECT_TRUE(back.document == document);
  // Every line stays within regedit's width.
  size_t longest = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    longest = std::max(longest, end - start);
    start = end + 2;
  }
  EXPECT_LE(longest, 80U);
}

TEST(multi_string_test, every_element_up_to_the_final_terminator) {
  const struct {
    std::string data;
    std::vector<std::string> elements;
  } cases[] = {
      {"\0"s, {}},
      {""s, {}},
      {"a\0\0"s, {"a"}},
      {"\0\0"s, {""}},
      {"a\0\0c\0\0"s, {"a", "", "c"}},
      {"\0a\0\0"s, {"", "a"}},
      {"a\0\0\0"s, {"a", ""}},
      {"a\r\nb\0c\0\0"s, {"a\r\nb", "c"}},
      {"a\0"s, {"a"}},              // no closing terminator
      {"a\0\0c"s, {"a", "", "c"}},  // cut inside an element
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitMultiString(c.data), c.elements) << testing::PrintToString(c.data);
  }
  for (const std::vector<std::string>& list : std::vector<std::vector<std::string>>{
           {}, {""}, {"", ""}, {"a"}, {"a", "", "c"}, {"", "x", ""}, {"a\r\nb\r\n", "c"}}) {
    EXPECT_EQ(SplitMultiString(JoinMultiString(list)), list);
  }
  EXPECT_EQ(JoinMultiString({"a", "", "c"}), "a\0\0c\0\0"s);
  EXPECT_EQ(JoinMultiString({}), "\0"s);
  EXPECT_EQ(JoinMultiString({"a\0b"s, "c"}), "a\0c\0\0"s);  // elements stay aligned
}

TEST(atomic_replace_test, only_its_own_temporary_names_count_as_left_behind) {
  const struct {
    const char* name;
    bool temporary;
  } cases[] = {
      {".Kelvane.reg.a1B2c3", true},   {".Kelvane.reg.ZZZZZZ", true},  {".Kelvane.reg.a1B2c", false},
      {".Kelvane.reg.a1B2c3d", false}, {".Kelvane.reg.a1-2c3", false}, {"Kelvane.reg.a1B2c3", false},
      {".Kelvane.reg.lock", false},    {".Other.reg.a1B2c3", false},   {".Kelvane.regXa1B2c3", false},
      {"Kelvane.reg", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsReplacementTempName("Kelvane.reg", c.name), c.temporary) << c.name;
  }
}

class registry_test : public testing::Test {
 protected:
  std::string Folder() const { return home_.File("Orvalle Software Inc."); }
  std::string File() const { return Folder() + "/Kelvane.reg"; }
  void WriteRegistry(const std::string& text) const {
    std::filesystem::create_directories(Folder());
    WriteFile(File(), text);
  }

  TempDir home_;
  ScopedEnv config_{"XDG_CONFIG_HOME", home_.path().c_str()};
};

TEST_F(registry_test, the_file_follows_xdg_config_home_else_home) {
  EXPECT_EQ(RegistryFilePath(), File());
  {
    const ScopedEnv trailing("XDG_CONFIG_HOME", (home_.path() + "//").c_str());
    EXPECT_EQ(RegistryFilePath(), File());
  }
  const ScopedEnv home("HOME", "/home/ada");
  for (const char* config : {static_cast<const char*>(nullptr), "", "relative/path"}) {
    const ScopedEnv unset("XDG_CONFIG_HOME", config);
    EXPECT_EQ(RegistryFilePath(), "/home/ada/.config/Orvalle Software Inc./Kelvane.reg");
  }
}

TEST_F(registry_test, keys_open_only_when_they_exist_and_create_makes_their_parents) {
  RegKey key;
  EXPECT_EQ(OpenRegistryKey(kSettingsKey, RegAccess::Read, key), RegResult::NotFound);
  EXPECT_FALSE(test::Exists(Folder()));  // looking creates nothing

  ASSERT_EQ(CreateRegistryKey(kSettingsKey, key), RegResult::Success);
  EXPECT_EQ(ReadFile(File()),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n\r\n");
  EXPECT_EQ(std::filesystem::status(Folder()).permissions(), std::filesystem::perms::owner_all);
  for (const char* path :
       {"Software", "software\\orvalle software inc.", "SOFTWARE\\Orvalle Software Inc.\\Kelvane\\Settings"}) {
    EXPECT_EQ(OpenRegistryKey(path, RegAccess::Read, key), RegResult::Success) << path;
  }
  EXPECT_EQ(OpenRegistryKey("Software\\Orvalle", RegAccess::Read, key), RegResult::NotFound);
  for (const std::string& bad : {""s, "A\\\\B"s, "A\\"s, "\\A"s, "A\nB"s, "A\0B"s}) {
    EXPECT_EQ(CreateRegistryKey(bad, key), RegResult::InvalidParameter) << bad;
    EXPECT_FALSE(key.open);
  }
}

TEST_F(registry_test, values_keep_their_type_and_bytes_and_access_is_checked) {
  RegKey key;
  ASSERT_EQ(CreateRegistryKey(kSettingsKey, key), RegResult::Success);
  const struct {
    const char* name;
    std::uint32_t type;
    std::string data;
  } values[] = {
      {"Text", REG_SZ, "a\r\nb\0"s},
      {"Count", REG_DWORD, "\xfb\xff\xff\xff"s},
      {"List", REG_MULTI_SZ, "a\0\0c\0\0"s},
      {"Blob", 0x20000, "\0\1\2"s},
  };
  for (const auto& v : values) {
    EXPECT_EQ(SetRegistryValue(key, v.name, v.type, v.data), RegResult::Success);
  }
  CloseRegistryKey(key);
  ASSERT_EQ(OpenRegistryKey(kSettingsKey, RegAccess::Read, key), RegResult::Success);
  for (const auto& v : values) {
    std::uint32_t type = 0;
    std::string data;
    ASSERT_EQ(QueryRegistryValue(key, v.name, type, data), RegResult::Success) << v.name;
    EXPECT_EQ(type, v.type);
    EXPECT_EQ(data, v.data);
  }
  std::uint32_t type = 0;
  std::string data;
  EXPECT_EQ(QueryRegistryValue(key, "count", type, data), RegResult::Success);
  EXPECT_EQ(QueryRegistryValue(key, "Missing", type, data), RegResult::NotFound);
  EXPECT_EQ(SetRegistryValue(key, "Text", REG_SZ, "x\0"s), RegResult::AccessDenied);

  RegKey writeOnly;
  ASSERT_EQ(OpenRegistryKey(kSettingsKey, RegAccess::Write, writeOnly), RegResult::Success);
  EXPECT_EQ(QueryRegistryValue(writeOnly, "Text", type, data), RegResult::AccessDenied);
  EXPECT_EQ(SetRegistryValue(writeOnly, "Bad\nName", REG_SZ, "x\0"s), RegResult::InvalidParameter);
  EXPECT_EQ(SetRegistryValue(writeOnly, "text", REG_DWORD, "\1\0\0\0"s), RegResult::Success);
  CloseRegistryKey(writeOnly);
  EXPECT_EQ(SetRegistryValue(writeOnly, "Text", REG_SZ, "x\0"s), RegResult::InvalidHandle);
  EXPECT_EQ(QueryRegistryValue(key, "Text", type, data), RegResult::Success);
  EXPECT_EQ(type, REG_DWORD);  // replaced whatever its type, under the name it had
  EXPECT_NE(ReadFile(File()).find("\"Text\"=dword:00000001\r\n"), std::string::npos);
}

TEST_F(registry_test, foreign_keys_values_and_comments_survive_a_change) {
  WriteRegistry(
      "REGEDIT4\r\n\r\n; written by hand\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\r\n\"M\"=\"m\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n"
      "\"Future\"=hex(2):25,00\r\n\"Old\"=\"o\"\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Other Program]\r\n\"X\"=dword:00000007\r\n\r\n");
  const std::string before = ReadFile(File());
  RegKey key;
  ASSERT_EQ(CreateRegistryKey(kSettingsKey, key), RegResult::Success);
  EXPECT_EQ(ReadFile(File()), before);  // an existing key needs no write
  ASSERT_EQ(SetRegistryValue(key, "Old", REG_SZ, "new\0"s), RegResult::Success);
  ASSERT_EQ(SetRegistryValue(key, "Added", REG_DWORD, "\2\0\0\0"s), RegResult::Success);
  std::string expected = before;
  expected.replace(expected.find("\"Old\"=\"o\"\r\n"), 11, "\"Old\"=\"new\"\r\n\"Added\"=dword:00000002\r\n");
  EXPECT_EQ(ReadFile(File()), expected);
  EXPECT_EQ(ListDir(Folder()), (std::vector<std::string>{"Kelvane.reg", "Kelvane.reg.lock"}));
}

TEST_F(registry_test, a_damaged_file_is_read_as_far_as_possible_and_kept_before_the_first_rewrite) {
  const std::string damaged =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n"
      "\"Text\"=\"kept\"\r\n\"Values\"=hex(7):61,00,\\\r\n";  // cut off in the middle of a value
  WriteRegistry(damaged);
  RegKey key;
  ASSERT_EQ(OpenRegistryKey(kSettingsKey, RegAccess::ReadWrite, key), RegResult::Success);
  std::uint32_t type = 0;
  std::string data;
  ASSERT_EQ(QueryRegistryValue(key, "Text", type, data), RegResult::Success);
  EXPECT_EQ(data, "kept\0"s);
  EXPECT_EQ(QueryRegistryValue(key, "Values", type, data), RegResult::NotFound);
  EXPECT_EQ(ListDir(Folder()), std::vector<std::string>{"Kelvane.reg"});  // reading changes nothing

  ASSERT_EQ(SetRegistryValue(key, "Append", REG_DWORD, "\1\0\0\0"s), RegResult::Success);
  EXPECT_EQ(ReadFile(File() + ".bad"), damaged);
  EXPECT_EQ(ParseRegFile(ReadFile(File())).issues.size(), 0U);
  ASSERT_EQ(QueryRegistryValue(key, "Text", type, data), RegResult::Success);
  EXPECT_EQ(data, "kept\0"s);

  // Later damage is kept too, without replacing the first copy.
  WriteRegistry("\x89PNG\r\n\x1a\n\0\0binary"s);
  ASSERT_EQ(SetRegistryValue(key, "Append", REG_DWORD, "\0\0\0\0"s), RegResult::Success);
  EXPECT_EQ(ReadFile(File() + ".bad"), damaged);
  EXPECT_EQ(ReadFile(File() + ".bad.2"), "\x89PNG\r\n\x1a\n\0\0binary"s);
  EXPECT_EQ(ReadFile(File()),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n"
            "\"Append\"=dword:00000000\r\n\r\n");
}

TEST_F(registry_test, an_unusable_location_fails_quietly_and_destroys_nothing) {
  RegKey key;
  // A file where the folder should be.
  WriteFile(Folder(), "not a folder");
  EXPECT_EQ(OpenRegistryKey(kSettingsKey, RegAccess::Read, key), RegResult::NotFound);
  EXPECT_EQ(CreateRegistryKey(kSettingsKey, key), RegResult::IoError);
  EXPECT_FALSE(key.open);
  EXPECT_EQ(ReadFile(Folder()), "not a folder");
  std::filesystem::remove(Folder());

  // A folder where the file should be.
  std::filesystem::create_directories(File() + "/inside");
  EXPECT_EQ(CreateRegistryKey(kSettingsKey, key), RegResult::IoError);
  EXPECT_TRUE(std::filesystem::is_directory(File() + "/inside"));
  EXPECT_EQ(ReplaceFileAtomically(File(), "x"), EISDIR);
  EXPECT_EQ(ListDir(Folder()), std::vector<std::string>{"Kelvane.reg"});
}

TEST_F(registry_test, atomic_replace_keeps_the_mode_and_never_replaces_a_link) {
  const std::string path = home_.File("target");
  WriteFile(path, "old");
  ::chmod(path.c_str(), 0640);
  ASSERT_EQ(ReplaceFileAtomically(path, "new"), 0);
  EXPECT_EQ(ReadFile(path), "new");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640U);

  ASSERT_EQ(ReplaceFileAtomically(home_.File("fresh"), ""), 0);
  ASSERT_EQ(::stat(home_.File("fresh").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600U);

  ::symlink(path.c_str(), home_.File("link").c_str());
  EXPECT_EQ(ReplaceFileAtomically(home_.File("link"), "via link"), EINVAL);
  EXPECT_EQ(ReplaceFileAtomically(home_.File("missing/file"), "x"), ENOENT);
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(ListDir(home_.path()), (std::vector<std::string>{"fresh", "link", "target"}));
}

TEST_F(registry_test, a_change_waits_for_the_lock_only_so_long_then_reads_or_fails) {
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n"
      "\"Text\"=\"stored\"\r\n\r\n";
  WriteRegistry(text);
  const auto addValue = [](RegDocument& document, bool mayChange) {
    return mayChange && PutRegValue(document, kSettingsKey, "Added", REG_SZ, "x\0"s);
  };
  {
    WriteFile(File() + ".lock", "");
    const test::LockHolder other(File() + ".lock");
    ASSERT_TRUE(other.locked());
    bool called = false;
    EXPECT_EQ(ChangeRegistryStore(File(), std::chrono::milliseconds(50), RegLockMissed::Fail,
                                  [&](RegDocument&, bool) { return called = true; }),
              RegResult::IoError);
    EXPECT_FALSE(called);
    std::string seen;
    bool couldChange = true;
    EXPECT_EQ(ChangeRegistryStore(File(), std::chrono::milliseconds(50), RegLockMissed::ReadOnly,
                                  [&](RegDocument& document, bool mayChange) {
                                    couldChange = mayChange;
                                    seen = FindRegValue(document.sections.at(0), "Text")->data;
                                    return addValue(document, mayChange);
                                  }),
              RegResult::Success);
    EXPECT_FALSE(couldChange);
    EXPECT_EQ(seen, "stored\0"s);
    EXPECT_EQ(ReadFile(File()), text);
  }
  // Once the other copy lets go, the change goes through, written once.
  EXPECT_EQ(ChangeRegistryStore(File(), std::chrono::milliseconds(50), RegLockMissed::Fail, addValue),
            RegResult::Success);
  EXPECT_NE(ReadFile(File()).find("\"Added\"=\"x\"\r\n"), std::string::npos);
}

TEST_F(registry_test, a_settings_file_linked_from_elsewhere_is_replaced_where_it_lives) {
  std::filesystem::create_directories(Folder());
  WriteFile(home_.File("dotfiles.reg"), "REGEDIT4\r\n\r\n");
  std::filesystem::create_symlink(home_.File("dotfiles.reg"), File());
  RegKey key;
  ASSERT_EQ(CreateRegistryKey(kSettingsKey, key), RegResult::Success);
  EXPECT_TRUE(std::filesystem::is_symlink(File()));
  EXPECT_NE(ReadFile(home_.File("dotfiles.reg")).find("Kelvane\\Settings]"), std::string::npos);
}

TEST_F(registry_test, a_write_that_fails_half_way_leaves_the_old_file_whole) {
  RegKey key;
  ASSERT_EQ(CreateRegistryKey(kSettingsKey, key), RegResult::Success);
  ASSERT_EQ(SetRegistryValue(key, "Text", REG_SZ, "old\0"s), RegResult::Success);
  const std::string before = ReadFile(File());
  // The file-size limit makes the write fail after its first bytes, as a full disk would.
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{512, 512};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const RegResult result = SetRegistryValue(key, "Text", REG_SZ, std::string(4096, 'x') + '\0');
    ::_exit(result == RegResult::IoError ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(File()), before);
  EXPECT_EQ(ListDir(Folder()), (std::vector<std::string>{"Kelvane.reg", "Kelvane.reg.lock"}));
}

TEST_F(registry_test, copies_changing_the_file_at_once_keep_each_others_values) {
  constexpr int kWriters = 4;
  constexpr int kValuesEach = 25;
  std::vector<pid_t> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      RegKey key;
      bool ok = CreateRegistryKey(kSettingsKey, key) == RegResult::Success;
      for (int i = 0; i < kValuesEach; ++i) {
        const std::string name = "W" + std::to_string(writer) + "-" + std::to_string(i);
        ok = SetRegistryValue(key, name, REG_SZ, name + '\0') == RegResult::Success && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
    writers.push_back(pid);
  }
  for (const pid_t pid : writers) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const RegParseResult parsed = ParseRegFile(ReadFile(File()));
  EXPECT_TRUE(parsed.issues.empty());
  ASSERT_EQ(parsed.document.sections.size(), 1U);
  EXPECT_EQ(parsed.document.sections[0].values.size(), size_t{kWriters * kValuesEach});
}

}  // namespace
}  // namespace kelvane
