// Runs the dialogs as the system's dialog manager does (DialogBoxParam on their templates), so tab
// order, mnemonics, the default button, Enter, Escape and the close box behave as on Windows; and
// shows a Duplicate run's progress.
#pragma once

#include "ui/win32/win32_api.h"

#include <functional>
#include <vector>

#include "ui/dialog_host.h"

namespace kelvane {

class Win32DialogWindow;

class Win32DialogHost : public DialogHost {
 public:
  int RunModal(CDialog& dialog, CDialog* owner) override;
  void CloseWindowsAbove(CDialog& main) override;
  RunOutcome RunWithProgress(DuplicateRun& run, CDialog& owner, const bool* stop) override;

  // Called when the session ends (logging off, shutting down) while the first dialog runs; the
  // process may end as soon as it returns.
  void SetEndSessionHandler(std::function<void()> handler) { endSession_ = std::move(handler); }

  // The window of a running dialog, or nullptr.
  [[nodiscard]] HWND WindowOf(const CDialog& dialog) const;

 private:
  struct Frame;
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR Handle(Frame& frame, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  std::vector<Frame*> running_;
  std::function<void()> endSession_;
};

}  // namespace kelvane
