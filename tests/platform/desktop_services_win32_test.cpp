// The Windows desktop services that need no window: the special folders, a shortcut saved in them
// through the shell's object, and where help is looked for.
#include <windows.h>
// windows.h renames MessageBox to MessageBoxW, and with it kelvane::MessageBox.
#undef MessageBox

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/internet_shortcut.h"
#include "platform/win32/desktop_services.h"
#include "platform/win32/wide.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::TempDir;

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TEST(special_folders_win32_test, are_existing_folders_that_take_a_shortcut) {
  const struct {
    const char* what;
    std::string folder;
  } cases[] = {{"Favorites", FavoritesFolder()}, {"Desktop", DesktopFolder()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(IsFolder(c.folder)) << c.folder;
    // A full path, as the shell names it: drive, colon, backslash.
    ASSERT_GE(c.folder.size(), 3U);
    EXPECT_EQ(c.folder.substr(1, 2), ":\\") << c.folder;
    const std::string name = "kelvane-test-" + std::to_string(::GetCurrentProcessId());
    const std::string file = c.folder + "\\" + name + ".URL";
    ASSERT_TRUE(SaveInternetShortcut(c.folder, "https://www.orvalle.example/" + name, "https://www.orvalle.example/"));
    EXPECT_NE(test::ReadFile(file).find("URL=https://www.orvalle.example/\r\n"), std::string::npos);
    EXPECT_TRUE(::DeleteFileW(Widen(file).c_str()));
  }
}

TEST(help_page_win32_test, is_kelvane_html_beside_the_program) {
  const TempDir beside;
  test::WriteFile(beside.File("kelvane.html"), "<html></html>");
  const TempDir withFolder;
  ASSERT_TRUE(::CreateDirectoryW(Widen(withFolder.File("kelvane.html")).c_str(), nullptr));
  const TempDir without;
  test::WriteFile(without.File("kelvane.htm"), "<html></html>");
  const struct {
    const char* what;
    std::string folder;
    std::string found;
  } cases[] = {
      {"beside", beside.path(), beside.path() + "\\kelvane.html"},
      {"folder given with its closing backslash", beside.path() + "\\", beside.path() + "\\kelvane.html"},
      {"a folder of that name is no page", withFolder.path(), ""},
      {"missing", without.path(), ""},
      {"no folder", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FindHelpPage(c.folder), c.found);
  }
}

TEST(help_page_win32_test, program_folder_holds_the_running_program) {
  const std::string folder = ProgramFolder();
  ASSERT_TRUE(IsFolder(folder)) << folder;
  EXPECT_NE(folder.back(), '\\');
  const DWORD attributes = ::GetFileAttributesW(Widen(folder + "\\platform_test.exe").c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << folder;
}

TEST(help_page_win32_test, missing_page_is_reported_at_once_and_starts_nothing) {
  const TempDir empty;
  Win32HelpViewer viewer(empty.path());
  std::vector<bool> answers;
  viewer.ShowHelp(0x20066, [&answers](bool shown) { answers.push_back(shown); });
  EXPECT_EQ(answers, std::vector<bool>{false});
}

TEST(help_page_win32_test, url_keeps_the_help_context_as_its_anchor) {
  const struct {
    std::string page;
    unsigned context;
    std::string url;
  } cases[] = {
      {"C:\\Kelvane\\kelvane.html", 0x20066, "file:///C:/Kelvane/kelvane.html#0x20066"},
      {"C:\\Kelvane\\kelvane.html", 0x20081, "file:///C:/Kelvane/kelvane.html#0x20081"},
      {"C:\\Program Files\\Kelvane\\kelvane.html", 0x20066, "file:///C:/Program%20Files/Kelvane/kelvane.html#0x20066"},
      // Non-ASCII letters as UTF-8, percent-encoded.
      {"C:\\Users\\Zo\xC3\xAB\\kelvane.html", 0x20066, "file:///C:/Users/Zo%C3%AB/kelvane.html#0x20066"},
      // A '#' or '%' in a folder's name must not start the anchor or an escape early.
      {"D:\\C# 100%\\kelvane.html", 0x20081, "file:///D:/C%23%20100%25/kelvane.html#0x20081"},
      {"\\\\server\\share\\kelvane.html", 0x20066, "file://server/share/kelvane.html#0x20066"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    EXPECT_EQ(HelpPageUrl(c.page, c.context), c.url);
  }
}

}  // namespace
}  // namespace kelvane
