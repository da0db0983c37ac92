#include "platform/internet_shortcut.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
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
  const std::string name(LongestReplaceableName() - 4, 'n');  // and ".URL"
  ASSERT_TRUE(SaveInternetShortcut(folder.path() + "/", name, kUrl));
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{name + ".URL"});
  EXPECT_EQ(ReadFile(folder.File(name + ".URL")), kBytes);
}

TEST(InternetShortcutTest, ReplacesAnEarlierShortcutKeepingItsMode) {
  const TempDir folder;
  ASSERT_TRUE(SaveInternetShortcut(folder.path(), "Orvalle", "https://old.example/a/much/longer/address"));
  ASSERT_EQ(::chmod(folder.File("Orvalle.URL").c_str(), 0644), 0);
  ASSERT_TRUE(SaveInternetShortcut(folder.path(), "Orvalle", kUrl));
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{"Orvalle.URL"});
  EXPECT_EQ(ReadFile(folder.File("Orvalle.URL")), kBytes);
  struct stat status {};
  ASSERT_EQ(::stat(folder.File("Orvalle.URL").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0644U);
}

TEST(InternetShortcutTest, NamesNeverLeaveTheFolder) {
  const TempDir folder;
  ASSERT_EQ(::mkdir(folder.File("sub").c_str(), 0700), 0);
  for (const char* text : {"../../escape", "x:..\\..\\y", "..", "a/..", "sub/../.."}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(InternetShortcutName(text).find('/'), std::string::npos);
    EXPECT_TRUE(SaveInternetShortcut(folder.File("sub"), text, kUrl));
  }
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{"sub"});
  EXPECT_EQ(ListDir(folder.File("sub")), (std::vector<std::string>{"...URL", "..\\..\\y.URL", "escape.URL"}));
}

}  // namespace
}  // namespace kelvane
