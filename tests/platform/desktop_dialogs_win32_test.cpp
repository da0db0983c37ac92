// The Windows desktop services that show windows or start programs: the message box, the save
// dialog, opening a URL and starting help. Run with Wine's null display (wine_headless.sh): the
// system's own dialogs are created, looked at and answered from a hook, as a user would.
#include <windows.h>
// windows.h renames MessageBox to MessageBoxW, and with it kelvane::MessageBox.
#undef MessageBox
// After windows.h, which it needs.
#include <commdlg.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/desktop_services.h"
#include "platform/win32/wide.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::TempDir;

std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// What a dialog showed, gathered once it was up.
struct Seen {
  HWND dialog = nullptr;
  std::string caption;
  std::vector<std::string> texts;  // of its static controls, in order
  std::vector<int> buttons;        // ids of its push buttons, in order
  HICON icon = nullptr;            // the icon it shows
  HWND owner = nullptr;
  bool ownerEnabled = true;
};

// Answers each dialog the thread shows: once the dialog is up, look() sees it and returns the
// command to give it.
class DialogScript {
 public:
  explicit DialogScript(std::function<int(HWND dialog, Seen& seen)> look) : look_(std::move(look)) {
    current_ = this;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Relay;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KelvaneDialogScript";
    ::RegisterClassW(&windowClass);  // fails harmlessly when a script before registered it
    relay_ = ::CreateWindowExW(0, L"KelvaneDialogScript", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
    hook_ = ::SetWindowsHookExW(WH_CBT, Watch, nullptr, ::GetCurrentThreadId());
  }
  ~DialogScript() {
    ::UnhookWindowsHookEx(hook_);
    ::DestroyWindow(relay_);
    current_ = nullptr;
  }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  std::vector<Seen> seen;

 private:
  static bool IsDialog(HWND window) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return std::wstring_view(name) == L"#32770";
  }

  // The dialog is only being activated: what it shows is looked at from a message behind its set-up.
  static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && current_ != nullptr && IsDialog(window)) {
      bool known = false;
      for (const Seen& s : current_->seen) {
        known = known || s.dialog == window;
      }
      if (!known) {
        Seen fresh;
        fresh.dialog = window;
        current_->seen.push_back(std::move(fresh));
        ::PostMessageW(current_->relay_, WM_APP, 0, reinterpret_cast<LPARAM>(window));
      }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static BOOL CALLBACK Gather(HWND child, LPARAM into) {
    auto& seen = *reinterpret_cast<Seen*>(into);
    wchar_t name[16] = {};
    ::GetClassNameW(child, name, 16);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(child)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(child, text.data(), static_cast<int>(text.size()))));
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(child, GWL_STYLE));
    if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
      seen.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    } else if (_wcsicmp(name, L"Static") == 0 && !text.empty()) {
      seen.texts.push_back(Narrow(text));
    } else if (_wcsicmp(name, L"Button") == 0 && (style & WS_VISIBLE) != 0 &&
               ((style & BS_TYPEMASK) == BS_PUSHBUTTON || (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)) {
      seen.buttons.push_back(::GetDlgCtrlID(child));
    }
    return TRUE;
  }

  static LRESULT CALLBACK Relay(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP || current_ == nullptr) {
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    const auto dialog = reinterpret_cast<HWND>(lParam);
    Seen& seen = current_->seen.back();
    std::wstring caption(256, L'\0');
    caption.resize(static_cast<size_t>(::GetWindowTextW(dialog, caption.data(), 256)));
    seen.caption = Narrow(caption);
    ::EnumChildWindows(dialog, Gather, reinterpret_cast<LPARAM>(&seen));
    seen.owner = ::GetWindow(dialog, GW_OWNER);
    seen.ownerEnabled = seen.owner == nullptr || ::IsWindowEnabled(seen.owner) != 0;
    const int command = current_->look_(dialog, seen);
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, command)));
    return 0;
  }

  static inline DialogScript* current_ = nullptr;
  std::function<int(HWND, Seen&)> look_;
  HWND relay_ = nullptr;
  HHOOK hook_ = nullptr;
};

// A top-level window of the program's, active as the main dialog is when a box or dialog opens;
// it counts the times its pointer tracking is cancelled.
class ActiveWindow {
 public:
  ActiveWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KelvaneTestMain";
    ::RegisterClassW(&windowClass);  // fails harmlessly when a window before registered it
    window_ = ::CreateWindowExW(0, L"KelvaneTestMain", L"Kelvane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetActiveWindow(window_);
  }
  ~ActiveWindow() { ::DestroyWindow(window_); }
  ActiveWindow(const ActiveWindow&) = delete;
  ActiveWindow& operator=(const ActiveWindow&) = delete;

  [[nodiscard]] HWND get() const { return window_; }
  int cancelModes = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CANCELMODE) {
      if (auto* self = reinterpret_cast<ActiveWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) {
        ++self->cancelModes;
      }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
};

// A command of HKEY_CLASSES_ROOT\<kind>\shell\open for the object's life, in this test's own prefix:
// the one that was there comes back after, or the key goes when it was made for the test.
class ScopedOpenCommand {
 public:
  ScopedOpenCommand(std::wstring kind, const std::wstring& command) : kind_(std::move(kind)) {
    const std::wstring key = kind_ + L"\\shell\\open\\command";
    wchar_t old[1024] = {};
    LONG size = sizeof old;
    hadKey_ = ::RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), old, &size) == ERROR_SUCCESS;
    old_ = old;
    HKEY opened = nullptr;
    EXPECT_EQ(
        ::RegCreateKeyExW(HKEY_CLASSES_ROOT, kind_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
        ERROR_SUCCESS);
    ::RegSetValueExW(opened, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    ::RegCloseKey(opened);
    Set(command);
  }
  ~ScopedOpenCommand() {
    if (hadKey_) {
      Set(old_);
    } else {
      ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kind_.c_str());
    }
  }
  ScopedOpenCommand(const ScopedOpenCommand&) = delete;
  ScopedOpenCommand& operator=(const ScopedOpenCommand&) = delete;

 private:
  void Set(const std::wstring& command) {
    const std::wstring key = kind_ + L"\\shell\\open\\command";
    EXPECT_EQ(::RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, command.c_str(),
                             static_cast<DWORD>(command.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

  std::wstring kind_;
  bool hadKey_ = false;
  std::wstring old_;
};

// A command that writes what it was given (its %1) to file, as a browser's would open it.
std::wstring RecorderCommand(const std::string& file) {
  return L"C:\\windows\\system32\\cmd.exe /c echo %1> \"" + Widen(WindowsPath(file)) + L"\"";
}

// What the recorder wrote: waits for its whole line.
std::string Recorded(const std::string& file) {
  std::string line;
  const bool written = test::WaitFor([&] {
    line = test::ReadFile(file);
    return line.ends_with("\r\n");
  });
  return written ? line.substr(0, line.size() - 2) : "(nothing was started)";
}

TEST(message_box_win32_test, shows_the_text_under_the_title_and_answers_the_button_pressed) {
  const ActiveWindow main;
  ASSERT_EQ(::GetActiveWindow(), main.get());
  // The system's shared icons, which the box shows.
  const HICON exclamation = ::LoadIconW(nullptr, IDI_EXCLAMATION);
  const HICON information = ::LoadIconW(nullptr, IDI_INFORMATION);
  const HICON question = ::LoadIconW(nullptr, IDI_QUESTION);
  const HICON stop = ::LoadIconW(nullptr, IDI_HAND);
  const struct {
    MessageButtons buttons;
    MessageIcon icon;
    HICON shownIcon;
    std::vector<int> shown;
    int pressed;
    MessageAnswer answer;
  } cases[] = {
      {MessageButtons::Ok, MessageIcon::None, exclamation, {IDOK}, IDOK, MessageAnswer::Ok},
      {MessageButtons::OkCancel,
       MessageIcon::Information,
       information,
       {IDOK, IDCANCEL},
       IDCANCEL,
       MessageAnswer::Cancel},
      {MessageButtons::YesNo, MessageIcon::Question, question, {IDYES, IDNO}, IDYES, MessageAnswer::Yes},
      {MessageButtons::YesNo, MessageIcon::Exclamation, exclamation, {IDYES, IDNO}, IDNO, MessageAnswer::No},
      {MessageButtons::YesNoCancel, MessageIcon::Stop, stop, {IDYES, IDNO, IDCANCEL}, IDCANCEL, MessageAnswer::Cancel},
      {MessageButtons::YesNoCancel, MessageIcon::None, exclamation, {IDYES, IDNO, IDCANCEL}, IDNO, MessageAnswer::No},
  };
  // What the user typed, quoted as it stands: angle brackets and letters beyond ASCII.
  const std::string text = "Variable <Zo\xC3\xAB> has 2 lines and the repeat value is 3.  Please correct.";
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.buttons) * 10 + c.pressed);
    DialogScript script([&c](HWND, Seen&) { return c.pressed; });
    Win32MessageBox box;
    EXPECT_EQ(box.Show(text, c.buttons, c.icon), c.answer);
    ASSERT_EQ(script.seen.size(), 1U);
    const Seen& seen = script.seen[0];
    EXPECT_EQ(seen.caption, "Kelvane");
    EXPECT_EQ(seen.texts, std::vector<std::string>{text});
    EXPECT_EQ(seen.buttons, c.shown);
    EXPECT_EQ(seen.icon, c.shownIcon);
    // Owned by the active window, which takes no input while the box is up.
    EXPECT_EQ(seen.owner, main.get());
    EXPECT_FALSE(seen.ownerEnabled);
  }
  EXPECT_TRUE(::IsWindowEnabled(main.get()));
}

TEST(file_dialog_win32_test, opens_in_the_folder_with_the_name_and_returns_the_full_path) {
  const TempDir folder;
  const std::string windowsFolder = WindowsPath(folder.path());
  // An existing file is chosen without an overwrite prompt: Duplicate appends to it or replaces it.
  test::WriteFile(folder.File("result.txt"), "kept");
  const ActiveWindow main;
  std::string shownFolder;
  std::string shownName;
  DialogScript script([&](HWND dialog, Seen&) {
    wchar_t path[MAX_PATH] = {};
    ::SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
    shownFolder = Narrow(path);
    ::SendMessageW(dialog, CDM_GETSPEC, MAX_PATH, reinterpret_cast<LPARAM>(path));
    shownName = Narrow(path);
    return IDOK;
  });
  Win32FileDialog dialog;
  const std::optional<std::string> chosen = dialog.AskSaveFileName(windowsFolder, "result.txt");
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(_stricmp(chosen->c_str(), (windowsFolder + "\\result.txt").c_str()), 0) << *chosen;
  EXPECT_EQ(_stricmp(shownFolder.c_str(), windowsFolder.c_str()), 0) << shownFolder;
  EXPECT_EQ(shownName, "result.txt");
  ASSERT_EQ(script.seen.size(), 1U);  // no second box asking to overwrite
  EXPECT_EQ(script.seen[0].owner, main.get());
  EXPECT_NE(script.seen[0].caption, "");  // the system's own title
  EXPECT_EQ(test::ReadFile(folder.File("result.txt")), "kept");
}

TEST(file_dialog_win32_test, shows_a_long_name_cut_and_cancel_returns_nothing) {
  const TempDir folder;
  // 258 ASCII letters, then "中" and "😀" (a surrogate pair, which a cut must not split).
  const std::string longName = std::string(258, 'n') + "\xE4\xB8\xAD\xF0\x9F\x98\x80.txt";
  const struct {
    const char* what;
    std::string name;
    std::string shown;
  } cases[] = {
      {"fits", "r\xC3\xA9sult.txt", "r\xC3\xA9sult.txt"},
      {"cut to its first 259 characters", longName, std::string(258, 'n') + "\xE4\xB8\xAD"},
      {"cut before a pair that would be split", std::string(257, 'n') + "\xE4\xB8\xAD\xF0\x9F\x98\x80",
       std::string(257, 'n') + "\xE4\xB8\xAD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string shownName;
    DialogScript script([&](HWND dialog, Seen&) {
      std::wstring name(400, L'\0');
      name.resize(static_cast<size_t>(::SendMessageW(dialog, CDM_GETSPEC, static_cast<WPARAM>(name.size()),
                                                     reinterpret_cast<LPARAM>(name.data()))));
      shownName = Narrow(name.c_str());
      return IDCANCEL;
    });
    Win32FileDialog dialog;
    EXPECT_EQ(dialog.AskSaveFileName(folder.path(), c.name), std::nullopt);
    EXPECT_EQ(shownName, c.shown);
    EXPECT_TRUE(test::ListDir(folder.path()).empty());
  }
}

TEST(url_opener_win32_test, opens_with_the_handler_of_the_scheme_and_says_whether_it_could) {
  const TempDir folder;
  const ScopedOpenCommand handler(L"kelvane-test", RecorderCommand(folder.File("opened.txt")));
  const struct {
    const char* what;
    std::string url;
    bool opened;
  } cases[] = {
      {"a handler takes it", "kelvane-test:opened", true},
      {"no handler for the scheme", "kelvane-unknown:opened", false},
      {"empty: the shell would open the current folder", "", false},
      {"NUL: the shell would open what stands before it", std::string("kelvane-test:a\0b", 16), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<bool> answers;
    Win32UrlOpener opener;
    opener.Open(c.url, [&answers](bool opened) { answers.push_back(opened); });
    EXPECT_EQ(answers, std::vector<bool>{c.opened});
  }
  EXPECT_EQ(Recorded(folder.File("opened.txt")), "kelvane-test:opened");
}

TEST(help_viewer_win32_test, starts_the_browser_at_the_dialogs_anchor_after_cancelling_tracking) {
  const TempDir folder;
  test::WriteFile(folder.File("kelvane.html"), "<html></html>");
  const ScopedOpenCommand browser(L"http", RecorderCommand(folder.File("opened.txt")));
  const ActiveWindow main;
  ::SetCapture(main.get());
  const HCURSOR cursor = ::GetCursor();
  std::vector<bool> answers;
  Win32HelpViewer viewer(WindowsPath(folder.path()));
  viewer.ShowHelp(0x20081, [&answers](bool shown) { answers.push_back(shown); });
  EXPECT_EQ(answers, std::vector<bool>{true});
  // The anchor the shell would have dropped reaches the browser. (The temporary folder's name needs
  // no escapes.)
  std::string folderUrl = folder.path();
  std::replace(folderUrl.begin(), folderUrl.end(), '\\', '/');
  EXPECT_EQ(Recorded(folder.File("opened.txt")), "file:///" + folderUrl + "/kelvane.html#0x20081");
  EXPECT_GE(main.cancelModes, 1);
  EXPECT_EQ(::GetCursor(), cursor);
}

// The browser's command names no program, and the test prefix has no handler for .html pages that
// the shell could use instead: the caller is told, and shows "Failed to launch help.".
TEST(help_viewer_win32_test, says_so_when_no_browser_starts) {
  const TempDir folder;
  test::WriteFile(folder.File("kelvane.html"), "<html></html>");
  const ScopedOpenCommand browser(L"http", L"C:\\no such folder\\browser.exe \"%1\"");
  std::vector<bool> answers;
  Win32HelpViewer viewer(WindowsPath(folder.path()));
  viewer.ShowHelp(0x20066, [&answers](bool shown) { answers.push_back(shown); });
  EXPECT_EQ(answers, std::vector<bool>{false});
}

}  // namespace
}  // namespace kelvane
