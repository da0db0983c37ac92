// The compiled resources as Windows loads them from the program: the strings, templates and menu
// that the Linux build reads from the same script, the icon, the cursor's hot spot, the version
// and the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane::res {
namespace {

// The program the resources are compiled into, loaded as data.
std::wstring ProgramPath() {
  const char* build = std::getenv("KELVANE_BUILD_DIR");
  return Widen(std::string(build != nullptr ? build : "build-win64") + "/app/kelvane.exe");
}

HMODULE ProgramModule() {
  static HMODULE module = [] {
    HMODULE loaded =
        LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    EXPECT_NE(loaded, nullptr) << "kelvane.exe not loaded: error " << GetLastError();
    return loaded;
  }();
  return module;
}

std::string ResourceText(int id) {
  const wchar_t* text = nullptr;
  // A length of 0 asks for a pointer into the resource itself: no truncation, no copy.
  const int length = LoadStringW(ProgramModule(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? Narrow(std::wstring_view(text, static_cast<size_t>(length))) : std::string();
}

TEST(resources_win32_test, every_string_of_the_script_loads_with_its_exact_text) {
  EXPECT_EQ(ResourceText(IDS_APP_TITLE), "Kelvane");
  EXPECT_EQ(ResourceText(IDS_LINE_COUNT_MISMATCH),
            "Variable <%s> has %d lines and the repeat value is %d.  Please correct.");
  ASSERT_FALSE(Resources().strings.empty());
  for (const auto& [id, text] : Resources().strings) {
    EXPECT_EQ(ResourceText(id), text) << id;
  }
  EXPECT_EQ(ResourceText(4242), "");
}

// One control of a compiled template, as the dialog manager reads it.
struct CompiledControl {
  int id = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::string className;
  std::string text;
};

struct CompiledDialog {
  std::string caption;
  std::string fontName;
  int fontPoints = 0;
  int width = 0, height = 0;
  std::vector<CompiledControl> controls;
};

class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : data_(data) {}

  WORD Word() {
    WORD value = 0;
    std::memcpy(&value, data_ + pos_, sizeof value);
    pos_ += sizeof value;
    return value;
  }
  DWORD Dword() {
    DWORD value = 0;
    std::memcpy(&value, data_ + pos_, sizeof value);
    pos_ += sizeof value;
    return value;
  }
  short Short() { return static_cast<short>(Word()); }
  std::string Text() {
    std::wstring text;
    for (WORD c = Word(); c != 0; c = Word()) {
      text += static_cast<wchar_t>(c);
    }
    return Narrow(text);
  }
  // A name or an ordinal; the system's control classes by their ordinals.
  std::string NameOrOrdinal() {
    WORD first = 0;
    std::memcpy(&first, data_ + pos_, sizeof first);
    if (first != 0xFFFF) {
      return Text();
    }
    pos_ += 2;
    switch (const WORD ordinal = Word()) {
      case 0x80: return "Button";
      case 0x81: return "Edit";
      case 0x82: return "Static";
      default: return "#" + std::to_string(ordinal);
    }
  }
  void AlignToDword() { pos_ = (pos_ + 3) & ~size_t{3}; }

 private:
  const BYTE* data_;
  size_t pos_ = 0;
};

CompiledDialog ReadCompiledDialog(int id) {
  HRSRC found = FindResourceW(ProgramModule(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
  if (found == nullptr) {
    ADD_FAILURE() << "no dialog " << id;
    return {};
  }
  TemplateReader in(static_cast<const BYTE*>(LockResource(LoadResource(ProgramModule(), found))));
  CompiledDialog dialog;
  const WORD version = in.Word();
  const bool extended = version == 1 && in.Word() == 0xFFFF;
  DWORD style = 0;
  if (extended) {
    in.Dword();  // help id
    in.Dword();  // extended style
    style = in.Dword();
  } else {
    TemplateReader again(static_cast<const BYTE*>(LockResource(LoadResource(ProgramModule(), found))));
    in = again;
    style = in.Dword();
    in.Dword();
  }
  const int count = in.Word();
  in.Short();
  in.Short();
  dialog.width = in.Short();
  dialog.height = in.Short();
  in.NameOrOrdinal();  // menu
  in.NameOrOrdinal();  // class
  dialog.caption = in.Text();
  if ((style & DS_SETFONT) != 0) {
    dialog.fontPoints = in.Word();
    if (extended) {
      in.Word();  // weight
      in.Word();  // italic, character set
    }
    dialog.fontName = in.Text();
  }
  for (int i = 0; i < count; ++i) {
    in.AlignToDword();
    CompiledControl control;
    if (extended) {
      in.Dword();  // help id
    }
    in.Dword();  // style and extended style, in either order
    in.Dword();
    control.x = in.Short();
    control.y = in.Short();
    control.width = in.Short();
    control.height = in.Short();
    control.id = extended ? static_cast<int>(in.Dword()) : static_cast<short>(in.Word());
    control.className = in.NameOrOrdinal();
    control.text = in.NameOrOrdinal();
    const WORD extra = in.Word();
    for (WORD b = 0; b < extra; b += 2) {
      in.Word();
    }
    dialog.controls.push_back(control);
  }
  return dialog;
}

TEST(resources_win32_test, compiled_templates_match_the_script_the_linux_build_reads) {
  for (const int id : {IDD_REPEATER_DIALOG, IDD_VARIABLE_DIALOG}) {
    const DialogTemplate& script = LoadDialog(id);
    const CompiledDialog compiled = ReadCompiledDialog(id);
    EXPECT_EQ(compiled.caption, script.caption);
    EXPECT_EQ(compiled.fontName, "MS Sans Serif");
    EXPECT_EQ(compiled.fontPoints, 8);
    EXPECT_EQ(std::make_pair(compiled.width, compiled.height), std::make_pair(script.width, script.height));
    ASSERT_EQ(compiled.controls.size(), script.controls.size()) << id;
    for (size_t i = 0; i < script.controls.size(); ++i) {
      const Control& want = script.controls[i];
      const CompiledControl& got = compiled.controls[i];
      // -1 (IDC_STATIC) is stored as 0xFFFF in the old template and as -1 in the extended one.
      EXPECT_EQ(static_cast<short>(got.id), static_cast<short>(want.id)) << id << " #" << i;
      EXPECT_EQ(std::tie(got.x, got.y, got.width, got.height), std::tie(want.x, want.y, want.width, want.height))
          << id << " #" << i;
      // Window class names are case-insensitive; windres writes those of CONTROL in capitals.
      EXPECT_EQ(CompareStringOrdinal(Widen(got.className).c_str(), -1, Widen(want.className).c_str(), -1, TRUE),
                CSTR_EQUAL)
          << id << " #" << i << " " << got.className;
      if (want.className != "Edit") {
        EXPECT_EQ(got.text, want.text) << id << " #" << i;
      }
    }
  }
}

TEST(resources_win32_test, link_menu_has_its_four_commands_in_order) {
  HMENU menu = LoadMenuW(ProgramModule(), MAKEINTRESOURCEW(IDR_LINK_MENU));
  ASSERT_NE(menu, nullptr);
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  const struct {
    UINT id;
    const wchar_t* text;
  } items[] = {{ID_LINK_OPEN, L"&Open"},
               {ID_LINK_COPY_SHORTCUT, L"Copy Shor&tcut"},
               {ID_LINK_ADD_TO_FAVORITES, L"Add to &Favorites"},
               {ID_LINK_ADD_TO_DESKTOP, L"Add to &Desktop"}};
  ASSERT_EQ(GetMenuItemCount(popup), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(GetMenuItemID(popup, i), items[i].id) << i;
    wchar_t text[64] = {};
    GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, items[i].text) << i;
    EXPECT_EQ(GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED), 0U) << i;
  }
  DestroyMenu(menu);
}

// The width and height of an icon's or cursor's colour picture, and its hot spot.
struct Picture {
  int width = 0;
  int height = 0;
  DWORD hotX = 0;
  DWORD hotY = 0;
  bool isIcon = false;
};

Picture Describe(HICON icon) {
  Picture picture;
  ICONINFO info{};
  if (icon == nullptr || GetIconInfo(icon, &info) == 0) {
    return picture;
  }
  BITMAP bitmap{};
  if (info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap) != 0) {
    picture.width = bitmap.bmWidth;
    picture.height = bitmap.bmHeight;
  }
  picture.hotX = info.xHotspot;
  picture.hotY = info.yHotspot;
  picture.isIcon = info.fIcon != 0;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return picture;
}

TEST(resources_win32_test, hand_cursor_is_32_pixels_with_its_hot_spot_on_the_fingertip) {
  HANDLE cursor = LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDC_HAND_CURSOR), IMAGE_CURSOR, 32, 32, 0);
  ASSERT_NE(cursor, nullptr);
  const Picture picture = Describe(static_cast<HICON>(cursor));
  EXPECT_FALSE(picture.isIcon);
  EXPECT_EQ(picture.width, 32);
  EXPECT_EQ(picture.height, 32);
  EXPECT_EQ(picture.hotX, 8U);
  EXPECT_EQ(picture.hotY, 3U);
  DestroyCursor(static_cast<HCURSOR>(cursor));
}

TEST(resources_win32_test, program_icon_holds_each_size_as_its_own_picture) {
  // The group directory lists the pictures; a width of 0 there means 256.
  HRSRC group = FindResourceW(ProgramModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(group, nullptr);
  const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(ProgramModule(), group)));
  WORD count = 0;
  std::memcpy(&count, directory + 4, sizeof count);
  std::vector<int> widths;
  for (WORD i = 0; i < count; ++i) {
    const BYTE width = directory[6 + 14 * i];
    widths.push_back(width == 0 ? 256 : width);
  }
  EXPECT_EQ(widths, (std::vector<int>{16, 32, 48, 256}));

  for (const int size : {16, 32, 48, 256}) {
    HANDLE icon = LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0);
    ASSERT_NE(icon, nullptr) << size;
    const Picture picture = Describe(static_cast<HICON>(icon));
    EXPECT_TRUE(picture.isIcon) << size;
    EXPECT_EQ(picture.width, size);
    EXPECT_EQ(picture.height, size);
    DestroyIcon(static_cast<HICON>(icon));
  }
}

TEST(resources_win32_test, version_resource_carries_the_project_version) {
  const std::wstring program = ProgramPath();
  const wchar_t* path = program.c_str();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  ASSERT_GT(size, 0U);
  std::vector<BYTE> block(size);
  ASSERT_NE(GetFileVersionInfoW(path, 0, size, block.data()), 0);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_NE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length), 0);
  EXPECT_EQ(fixed->dwFileVersionMS,
            static_cast<DWORD>((KELVANE_TEST_VERSION_MAJOR << 16) | KELVANE_TEST_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(KELVANE_TEST_VERSION_PATCH << 16));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  const struct {
    const wchar_t* key;
    const char* value;
  } strings[] = {{L"\\StringFileInfo\\040904B0\\ProductVersion", KELVANE_TEST_VERSION},
                 {L"\\StringFileInfo\\040904B0\\FileVersion", KELVANE_TEST_VERSION},
                 {L"\\StringFileInfo\\040904B0\\ProductName", "Kelvane"},
                 {L"\\StringFileInfo\\040904B0\\CompanyName", "Orvalle Software Inc."},
                 {L"\\StringFileInfo\\040904B0\\OriginalFilename", "kelvane.exe"}};
  for (const auto& s : strings) {
    wchar_t* text = nullptr;
    ASSERT_NE(VerQueryValueW(block.data(), s.key, reinterpret_cast<void**>(&text), &length), 0) << s.value;
    EXPECT_EQ(Narrow(text), s.value);
  }
}

TEST(resources_win32_test, manifest_asks_for_common_controls_6_and_per_monitor_dpi) {
  HRSRC found = FindResourceW(ProgramModule(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(ProgramModule(), found))),
                             SizeofResource(ProgramModule(), found));
  for (const char* needed :
       {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">PerMonitorV2, PerMonitor<", ">true/pm<",
        "level=\"asInvoker\"", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(needed), std::string::npos) << needed;
  }
  // Every text crosses into Windows as UTF-16, so the program needs no code page of its own.
  EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos);
}

}  // namespace
}  // namespace kelvane::res
