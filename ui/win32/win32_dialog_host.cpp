#include "ui/win32/win32_dialog_host.h"

#include <memory>
#include <string>

#include "res/resource.h"
#include "ui/dialog.h"
#include "ui/win32/progress_window.h"
#include "ui/win32/win32_dialog_window.h"

namespace kelvane {

namespace {

struct WindowsAbove {
  HWND main;
  std::vector<HWND> above;
};

// Collects the thread's windows that main owns, directly or through another owned window.
BOOL CALLBACK CollectWindowsAbove(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<WindowsAbove*>(data);
  for (HWND owner = GetWindow(window, GW_OWNER); owner != nullptr; owner = GetWindow(owner, GW_OWNER)) {
    if (owner == search.main) {
      search.above.push_back(window);
      break;
    }
  }
  return TRUE;
}

}  // namespace

struct Win32DialogHost::Frame {
  Win32DialogHost* host = nullptr;
  CDialog* dialog = nullptr;
  HWND hwnd = nullptr;
  std::unique_ptr<Win32DialogWindow> window;
};

int Win32DialogHost::RunModal(CDialog& dialog, CDialog* owner) {
  HWND ownerWindow = owner != nullptr ? WindowOf(*owner) : nullptr;
  // With no owner named, the program's main window owns it, as the framework does.
  if (ownerWindow == nullptr && !running_.empty()) {
    ownerWindow = running_.front()->hwnd;
  }
  Frame frame;
  frame.host = this;
  frame.dialog = &dialog;
  running_.push_back(&frame);
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(dialog.templateId()), ownerWindow,
                                         &DialogProc, reinterpret_cast<LPARAM>(&frame));
  running_.pop_back();
  if (frame.window != nullptr) {
    dialog.Attach(nullptr);
    frame.window.reset();
  }
  // -1: the window could not be made; nothing was shown, so nothing was confirmed.
  return result == -1 ? IDCANCEL : static_cast<int>(result);
}

HWND Win32DialogHost::WindowOf(const CDialog& dialog) const {
  for (const Frame* frame : running_) {
    if (frame->dialog == &dialog) {
      return frame->hwnd;
    }
  }
  return nullptr;
}

INT_PTR CALLBACK Win32DialogHost::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
  }
  auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return frame == nullptr ? FALSE : Handle(*frame, hwnd, message, wParam, lParam);
}

INT_PTR Win32DialogHost::Handle(Frame& frame, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog& dialog = *frame.dialog;
  switch (message) {
    case WM_INITDIALOG:
      frame.hwnd = hwnd;
      frame.window = std::make_unique<Win32DialogWindow>(hwnd);
      dialog.Attach(frame.window.get());
      // TRUE: the dialog manager puts the focus on the first tab stop.
      return dialog.OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
      // Buttons (Enter and Escape come as IDOK and IDCANCEL) and accelerators; edit fields'
      // notifications are not commands.
      if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
        dialog.OnCommand(LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // Handled here, so the dialog manager does not add a Cancel command of its own.
      dialog.OnClose();
      return TRUE;
    case WM_HELP: dialog.OnCommand(ID_HELP); return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_VARIABLE_LIST && header->code == static_cast<UINT>(NM_DBLCLK)) {
        dialog.OnNotify(static_cast<int>(header->idFrom), Notification::DoubleClick);
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    }
    case WM_PAINT: return frame.window != nullptr && frame.window->PaintMinimised() ? TRUE : FALSE;
    case WM_QUERYDRAGICON: return frame.window != nullptr ? reinterpret_cast<INT_PTR>(frame.window->icon()) : 0;
    case WM_QUERYENDSESSION: SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE); return TRUE;
    case WM_ENDSESSION:
      if (wParam != 0 && frame.host->running_.front() == &frame && frame.host->endSession_) {
        frame.host->endSession_();
      }
      return TRUE;
    case WM_DESTROY:
      // The logic lets go of the window while its controls still exist.
      if (frame.window != nullptr) {
        dialog.Attach(nullptr);
        frame.window.reset();
      }
      return FALSE;
    default: return FALSE;
  }
}

void Win32DialogHost::CloseWindowsAbove(CDialog& main) {
  HWND mainWindow = WindowOf(main);
  if (mainWindow == nullptr) {
    return;
  }
  EndMenu();
  WindowsAbove search{mainWindow, {}};
  EnumThreadWindows(GetCurrentThreadId(), &CollectWindowsAbove, reinterpret_cast<LPARAM>(&search));
  for (HWND window : search.above) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    // Message boxes, file dialogs and our own dialogs are the dialog manager's: cancelled as if
    // the user had. The progress window watches the stop flag itself.
    if (std::wstring(className) == L"#32770") {
      EndDialog(window, IDCANCEL);
    } else {
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
  }
}

RunOutcome Win32DialogHost::RunWithProgress(DuplicateRun& run, CDialog& owner, const bool* stop) {
  return ShowRunProgress(run, WindowOf(owner), stop);
}

}  // namespace kelvane
