// The dialog manager running the dialogs for their logic: commands, F1, the list's double click and
// the close box routed to the dialog, the dialog ending only when it asks, and a stop closing the
// windows above the main one. The windows show nowhere (Wine's null display).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "res/resource.h"
#include "ui/dialog.h"
#include "ui/win32/win32_dialog_host.h"

namespace kelvane {
namespace {

class SilentMessages : public MessageBox {
 public:
  MessageAnswer Show(const std::string& text, MessageButtons /*buttons*/, MessageIcon /*icon*/) override {
    shown.push_back(text);
    return MessageAnswer::Ok;
  }
  std::vector<std::string> shown;
};

// A dialog that records what its window routes to it and sends its own window messages from
// OnInitDialog, as the user's keys and clicks would.
class RecordingDialog : public CDialog {
 public:
  RecordingDialog(DialogHost& host, MessageBox& messages, std::vector<UINT> toPost)
      : CDialog(IDD_REPEATER_DIALOG, host, messages), toPost_(std::move(toPost)) {}

  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    HWND hwnd = static_cast<Win32DialogHost&>(host()).WindowOf(*this);
    events.push_back(hwnd != nullptr && window() != nullptr ? "init" : "init without a window");
    for (const UINT what : toPost_) {
      switch (what) {
        case WM_COMMAND:
          // An edit field's notification first: not a command.
          PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_BLOCK_TEXT, EN_CHANGE),
                       reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDC_BLOCK_TEXT)));
          PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_ADD_VARIABLE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDC_ADD_VARIABLE)));
          break;
        case WM_ENDSESSION: PostMessageW(hwnd, WM_ENDSESSION, TRUE, 0); break;
        default: PostMessageW(hwnd, what, 0, 0); break;
      }
    }
    return true;
  }
  void OnCommand(int id) override {
    events.push_back("command " + std::to_string(id));
    if (id == IDC_ADD_VARIABLE) {
      // The list's double click, as the list view sends it.
      HWND hwnd = static_cast<Win32DialogHost&>(host()).WindowOf(*this);
      NMHDR header{GetDlgItem(hwnd, IDC_VARIABLE_LIST), IDC_VARIABLE_LIST, static_cast<UINT>(NM_DBLCLK)};
      SendMessageW(hwnd, WM_NOTIFY, IDC_VARIABLE_LIST, reinterpret_cast<LPARAM>(&header));
      // F1, as the system passes it on to the dialog.
      HELPINFO help{sizeof help, HELPINFO_WINDOW, IDC_BLOCK_TEXT, GetDlgItem(hwnd, IDC_BLOCK_TEXT), 0, {0, 0}};
      SendMessageW(hwnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    }
    CDialog::OnCommand(id);
  }
  void OnNotify(int id, Notification /*code*/) override { events.push_back("double click " + std::to_string(id)); }
  void OnClose() override {
    events.push_back("close");
    CDialog::OnClose();
  }

  std::vector<std::string> events;

 protected:
  void DoDataExchange(DataExchange& /*dx*/) override {}

 private:
  std::vector<UINT> toPost_;
};

TEST(win32_host_test, commands_help_double_click_and_close_reach_the_dialog_and_only_end_it_when_asked) {
  Win32DialogHost host;
  SilentMessages messages;
  RecordingDialog dialog(host, messages, {WM_COMMAND, WM_CLOSE});
  const int result = dialog.DoModal();
  if (dialog.events.empty()) {
    GTEST_SKIP() << "no window can be made here (no display for Wine)";
  }
  // The close box ran OnClose once and no Cancel command of the dialog manager's own followed.
  EXPECT_EQ(dialog.events,
            (std::vector<std::string>{"init", "command 1005", "double click 1004", "command 57670", "close"}));
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dialog.window(), nullptr);
  EXPECT_EQ(host.WindowOf(dialog), nullptr);
}

TEST(win32_host_test, the_end_of_the_session_reaches_the_programs_handler) {
  Win32DialogHost host;
  SilentMessages messages;
  // The close box after it ends the run should the handler not: the test fails rather than hangs.
  RecordingDialog dialog(host, messages, {WM_ENDSESSION, WM_CLOSE});
  bool ended = false;
  host.SetEndSessionHandler([&] {
    ended = true;
    dialog.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  if (dialog.events.empty()) {
    GTEST_SKIP() << "no window can be made here (no display for Wine)";
  }
  EXPECT_TRUE(ended);
  EXPECT_EQ(dialog.events, std::vector<std::string>{"init"});  // ended by the handler, before the close box
}

// A dialog that, once open above main, asks the host to close every window above main.
class ClosingAboveDialog : public CDialog {
 public:
  ClosingAboveDialog(DialogHost& host, MessageBox& messages, CDialog& main)
      : CDialog(IDD_VARIABLE_DIALOG, host, messages, &main), main_(main) {}
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    host().CloseWindowsAbove(main_);
    return true;
  }

 protected:
  void DoDataExchange(DataExchange& /*dx*/) override {}

 private:
  CDialog& main_;
};

class MainWithDialogAbove : public CDialog {
 public:
  using CDialog::CDialog;
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    ClosingAboveDialog above(host(), messages(), *this);
    aboveResult = above.DoModal();
    mainStillOpen = static_cast<Win32DialogHost&>(host()).WindowOf(*this) != nullptr && window() != nullptr;
    EndDialog(IDOK);
    return true;
  }
  int aboveResult = 0;
  bool mainStillOpen = false;

 protected:
  void DoDataExchange(DataExchange& /*dx*/) override {}
};

TEST(win32_host_test, a_stop_cancels_the_dialog_above_main_and_leaves_main_to_its_owner) {
  Win32DialogHost host;
  SilentMessages messages;
  MainWithDialogAbove main(IDD_REPEATER_DIALOG, host, messages);
  const int result = main.DoModal();
  if (result != IDOK) {
    GTEST_SKIP() << "no window can be made here (no display for Wine)";
  }
  EXPECT_EQ(main.aboveResult, IDCANCEL);
  EXPECT_TRUE(main.mainStillOpen);
}

}  // namespace
}  // namespace kelvane
