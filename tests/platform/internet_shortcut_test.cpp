#include "platform/internet_shortcut.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <optional>
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

// The URL= line of a section of a shortcut file; nothing when there is none.
std::optional<std::string> UrlLine(const std::string& bytes, const std::string& section) {
  const size_t start = bytes.find("[" + section + "]\r\n");
  if (start == std::string::npos) {
    return std::nullopt;
  }
  const size_t end = bytes.find("\r\n[", start + 1);
  const size_t url = bytes.find("\r\nURL=", start);
  if (url == std::string::npos || url > end) {
    return std::nullopt;
  }
  const size_t first = url + 6;
  return bytes.substr(first, bytes.find("\r\n", first) - first);
}

// The URL a shortcut file holds, as UTF-8. Windows' shell writes a URL its ANSI code page cannot
// hold once more in UTF-7, in a section of its own; Wine's, and Linux's file, write it in UTF-8.
std::string UrlSavedIn(const std::string& bytes) {
#ifdef _WIN32
  if (const std::optional<std::string> utf7 = UrlLine(bytes, "InternetShortcut.W")) {
    const int size = static_cast<int>(utf7->size());
    std::wstring wide(static_cast<size_t>(::MultiByteToWideChar(CP_UTF7, 0, utf7->data(), size, nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF7, 0, utf7->data(), size, wide.data(), static_cast<int>(wide.size()));
    std::string utf8(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                               nullptr, 0, nullptr, nullptr)),
                     '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                          static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
  }
#endif
  return UrlLine(bytes, "InternetShortcut").value_or("(no URL)");
}

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

TEST(InternetShortcutTest, KeepsANonAsciiNameAndUrl) {
  const TempDir folder;
  // "Zoë-中文" in the display text and in the URL.
  const std::string url = "https://www.orvalle.example/Zo\xC3\xAB-\xE4\xB8\xAD\xE6\x96\x87";
  ASSERT_TRUE(SaveInternetShortcut(folder.path(), url, url));
  const std::string name = "Zo\xC3\xAB-\xE4\xB8\xAD\xE6\x96\x87.URL";
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{name});
  EXPECT_EQ(UrlSavedIn(ReadFile(folder.File(name))), url);
}

TEST(InternetShortcutTest, TakesTheLongestNameTheFolderAllows) {
  const TempDir folder;
  // The name, ".URL", and on Windows a path within the system's limit.
  const size_t roomInPath = LongestReplaceablePath() - folder.path().size() - 1;
  const std::string name(std::min(LongestReplaceableName(), roomInPath) - 4, 'n');
  ASSERT_TRUE(SaveInternetShortcut(folder.path() + "/", name, kUrl));
  EXPECT_EQ(ListDir(folder.path()), std::vector<std::string>{name + ".URL"});
  EXPECT_EQ(UrlSavedIn(ReadFile(folder.File(name + ".URL"))), kUrl);
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
  EXPECT_EQ(UrlSavedIn(ReadFile(folder.File("Orvalle.URL"))), kUrl);
#ifndef _WIN32  // Windows' file is the shell object's, in its own layout
  EXPECT_EQ(ReadFile(folder.File("Orvalle.URL")), kBytes);
#endif
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

#ifdef _WIN32
TEST(InternetShortcutTest, RefusesNamesOfDevicesButNotTheirNeighbours) {
  const TempDir folder;
  // Devices the system opens in every folder: "CON.URL" is the console, not a file.
  for (const char* text : {"a/CON", "a/con", "a/Aux", "a/nul.txt", "a/PRN ", "a/COM1", "a/lpt9", "a/CONIN$"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(SaveInternetShortcut(folder.path(), text, kUrl));
  }
  EXPECT_TRUE(ListDir(folder.path()).empty());
  for (const char* text : {"a/CONSOLE", "a/COM10", "a/NULL", "a/LPT"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(SaveInternetShortcut(folder.path(), text, kUrl));
  }
  EXPECT_EQ(ListDir(folder.path()), (std::vector<std::string>{"COM10.URL", "CONSOLE.URL", "LPT.URL", "NULL.URL"}));
}
#endif

}  // namespace
}  // namespace kelvane
