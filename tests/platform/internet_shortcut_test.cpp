#include "platform/internet_shortcut.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/atomic_replace.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ListDir;
using test::ReadFile;
using test::TempDir;

const std::string kUrl = "https://www.orvalle.example/";
const std::string kBytes = "[InternetShortcut]\r\nURL=https://www.orvalle.example/\r\n";

struct Refused {
  const char* what;
  std::string text;
  std::string url;
};

TEST(InternetShortcutTest, RefusesWhatTheFileCannotHoldAndWritesNothing) {
  const std::vector<Refused> cases = {
      {"lone CR", "Orvalle", "https://a.example/\rx"},
      {"lone LF", "Orvalle", "https://a.example/\nURL=https://b.example/"},
      {"NUL in the URL", "Orvalle", std::string("https://a.example/\0x", 19)},
      // The system would stop the path at the NUL and replace "Orvalle" instead.
      {"NUL in the name", std::string("Orvalle\0x", 9), kUrl},
      {"name one byte too long", std::string(LongestReplaceableName() - 3, 'n'), kUrl},
  };
  for (const Refused& refused : cases) {
    SCOPED_TRACE(refused.what);
    const TempDir folder;
    EXPECT_FALSE(SaveInternetShortcut(folder.path(), refused.text, refused.url));
    EXPECT_TRUE(ListDir(folder.path()).empty());
  }
}

TEST(InternetShortcutTest, TakesTheLongestNameTheFolderAllows) {
  const TempDir folder;
  // The name, ".URL", and on Windows a path within the system's limit.
  const size_t roomInPath = LongestReplaceablePath() - folder.path().size() - 1;
  const std::string name(std::min(LongestReplaceableName(), roomInPath) - 4, 'n');
  ASSERT_TRUE(SaveInternetShortcut(folder.path() + "/", name, kUrl));
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{name + ".URL"});
  EXPECT_EQ(ReadFile(folder.File(name + ".URL")), kBytes);
}

TEST(InternetShortcutTest, ReplacesAnEarlierShortcutKeepingItsMode) {
  const TempDir folder;
  ASSERT_TRUE(SaveInternetShortcut(folder.path(), "Orvalle", "https://old.example/a/much/longer/address"));
  namespace fs = std::filesystem;
  const fs::path path = test::PathOf(folder.File("Orvalle.URL"));
  const fs::perms mode =
      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(path, mode);
  ASSERT_TRUE(SaveInternetShortcut(folder.path(), "Orvalle", kUrl));
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{"Orvalle.URL"});
  EXPECT_EQ(ReadFile(folder.File("Orvalle.URL")), kBytes);
#ifndef _WIN32  // Windows files have no mode, only a read-only attribute
  EXPECT_EQ(fs::status(path).permissions(), mode);
#endif
}

TEST(InternetShortcutTest, NamesNeverLeaveTheFolder) {
  const TempDir folder;
  std::filesystem::create_directory(test::PathOf(folder.File("sub")));
#ifdef _WIN32
  // A '\' is a separator on Windows: a name holding one is refused, as are the other characters
  // the system keeps out of names (':' would name a stream of another file).
  const bool backslashesStay = false;
  for (const char* text : {"a/b\\c", "a/b:c", "a/b*c", "a/b?c", "a/b\"c", "a/b<c", "a/b>c", "a/b|c", "a/b\tc"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(SaveInternetShortcut(folder.File("sub"), text, kUrl));
  }
#else
  const bool backslashesStay = true;
#endif
  for (const char* text : {"../../escape", "x:..\\..\\y", "..", "a/..", "sub/../.."}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(InternetShortcutName(text).find('/'), std::string::npos);
    EXPECT_EQ(SaveInternetShortcut(folder.File("sub"), text, kUrl),
              backslashesStay || InternetShortcutName(text).find('\\') == std::string::npos);
  }
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{"sub"});
  std::vector<std::string> expected = {"...URL", "..\\..\\y.URL", "escape.URL"};
  if (!backslashesStay) {
    expected.erase(expected.begin() + 1);
  }
  EXPECT_EQ(ListDir(folder.File("sub")), expected);
}

}  // namespace
}  // namespace kelvane
