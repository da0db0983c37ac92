// Runs the dialogs in Qt windows: each dialog's TemplateDialog, modal, and the progress window of
// a Duplicate run.
#pragma once

#include <memory>

#include "ui/dialog_host.h"

namespace kelvane {

class TemplateDialog;

class QtDialogHost : public DialogHost {
 public:
  int RunModal(CDialog& dialog, CDialog* owner) override;
  void CloseWindowsAbove(CDialog& main) override;
  RunOutcome RunWithProgress(DuplicateRun& run, CDialog& owner, const bool* stop) override;

  // Makes dialog's window, owned by owner's and attached to dialog, without showing it: RunModal()
  // runs it, a test may show it as it is.
  [[nodiscard]] static std::unique_ptr<TemplateDialog> MakeWindow(CDialog& dialog, CDialog* owner = nullptr);
  // The Qt window of a dialog while it has one, else nullptr.
  [[nodiscard]] static TemplateDialog* WindowOf(const CDialog& dialog);
};

}  // namespace kelvane
