#include "ui/win32/progress_window.h"

#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "ui/background_run.h"

namespace kelvane {

namespace {

constexpr int kTextId = 100;
constexpr int kBarId = 101;
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMilliseconds = 50;

// An in-memory dialog template: the progress window has no template in the resource script,
// which holds only what both systems show alike.
class TemplateWriter {
 public:
  void Dialog(DWORD style, short width, short height, std::wstring_view caption, short controls) {
    Dword(style);
    Dword(0);
    Word(static_cast<WORD>(controls));
    Rect(0, 0, width, height);
    Word(0);  // no menu
    Word(0);  // the dialog class
    Text(caption);
    Word(8);
    Text(L"MS Sans Serif");
  }
  void Control(DWORD style, short x, short y, short width, short height, WORD id, std::wstring_view className,
               std::wstring_view text) {
    while (words_.size() % 2 != 0) {
      words_.push_back(0);  // DWORD alignment
    }
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Rect(x, y, width, height);
    Word(id);
    Text(className);
    Text(text);
    Word(0);  // no creation data
  }
  [[nodiscard]] const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Rect(short x, short y, short w, short h) {
    for (const short v : {x, y, w, h}) {
      Word(static_cast<WORD>(v));
    }
  }
  void Text(std::wstring_view text) {
    for (const wchar_t c : text) {
      Word(static_cast<WORD>(c));
    }
    Word(0);
  }
  std::vector<WORD> words_;
};

struct Progress {
  BackgroundRun* run = nullptr;
  const bool* stop = nullptr;
  std::int64_t total = 0;
};

void Update(HWND dialog, const Progress& progress) {
  SetDlgItemTextW(dialog, kTextId, Widen(progress.run->ProgressText()).c_str());
  const std::int64_t done = progress.run->puttingOnClipboard() ? progress.total : progress.run->copiesDone();
  SendDlgItemMessageW(dialog, kBarId, PBM_SETPOS, static_cast<WPARAM>(done), 0);
}

void CancelRun(HWND dialog, Progress& progress) {
  progress.run->Cancel();
  // The run stops at its next copy; the window goes once it has.
  EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
}

// Over the window it belongs to, as message boxes are; DS_CENTER (the screen) when it has none.
void CentreOverOwner(HWND dialog) {
  HWND owner = GetWindow(dialog, GW_OWNER);
  RECT over{};
  RECT self{};
  if (owner == nullptr || GetWindowRect(owner, &over) == 0 || GetWindowRect(dialog, &self) == 0) {
    return;
  }
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  SetWindowPos(dialog, nullptr, over.left + (over.right - over.left - width) / 2,
               over.top + (over.bottom - over.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  }
  auto* progress = reinterpret_cast<Progress*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (progress == nullptr) {
    return FALSE;
  }
  switch (message) {
    case WM_INITDIALOG:
      CentreOverOwner(dialog);
      SendDlgItemMessageW(dialog, kBarId, PBM_SETRANGE32, 0, static_cast<LPARAM>(progress->total));
      Update(dialog, *progress);
      SetTimer(dialog, kPollTimer, kPollMilliseconds, nullptr);
      return TRUE;
    case WM_TIMER:
      if (progress->run->finished()) {
        EndDialog(dialog, IDOK);
      } else {
        if (progress->stop != nullptr && *progress->stop) {
          CancelRun(dialog, *progress);
        }
        Update(dialog, *progress);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        CancelRun(dialog, *progress);
      }
      return TRUE;
    case WM_CLOSE: CancelRun(dialog, *progress); return TRUE;
    case WM_DESTROY: KillTimer(dialog, kPollTimer); return FALSE;
    default: return FALSE;
  }
}

// Waits for the worker with the window drawing and answering, but taking no input.
void WaitAnswering(BackgroundRun& background, HWND owner) {
  const bool wasEnabled = owner != nullptr && IsWindowEnabled(owner) != 0;
  if (wasEnabled) {
    EnableWindow(owner, FALSE);
  }
  while (!background.WaitFor(std::chrono::milliseconds(20))) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (wasEnabled) {
    EnableWindow(owner, TRUE);
  }
}

}  // namespace

RunOutcome ShowRunProgress(DuplicateRun& run, HWND owner, const bool* stop, std::chrono::milliseconds quietTime) {
  BackgroundRun background(run);
  const bool stopped = stop != nullptr && *stop;
  if (stopped) {
    background.Cancel();
  }
  if (!stopped && !background.WaitFor(quietTime)) {
    wchar_t caption[256] = {};
    if (owner != nullptr) {
      GetWindowTextW(owner, caption, 256);
    }
    TemplateWriter dialog;
    dialog.Dialog(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 220, 62, caption, 3);
    dialog.Control(SS_LEFT | SS_NOPREFIX, 7, 7, 206, 9, kTextId, L"Static", L"");
    dialog.Control(0, 7, 20, 206, 11, kBarId, PROGRESS_CLASSW, L"");
    dialog.Control(BS_DEFPUSHBUTTON | WS_TABSTOP, 85, 40, 50, 14, IDCANCEL, L"Button", L"Cancel");
    Progress progress{&background, stop, background.copiesInAll()};
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), owner, &ProgressProc,
                            reinterpret_cast<LPARAM>(&progress));
    // Closed before the run ended (the user, or a stop): that, too, is a cancel.
    if (!background.finished()) {
      background.Cancel();
    }
  }
  if (stop != nullptr && *stop) {
    background.Cancel();
  }
  if (!background.finished()) {
    WaitAnswering(background, owner);
  }
  return background.Finish();
}

}  // namespace kelvane
