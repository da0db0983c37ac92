#include "ui/qt/qt_dialog_host.h"

#include <QApplication>

#include "ui/dialog.h"
#include "ui/qt/progress_run.h"
#include "ui/qt/template_dialog.h"

namespace kelvane {

namespace {

// A progress window shows only once a run has taken longer than this.
constexpr std::chrono::milliseconds kQuietTime(500);

}  // namespace

std::unique_ptr<TemplateDialog> QtDialogHost::MakeWindow(CDialog& dialog, CDialog* owner) {
  return std::make_unique<TemplateDialog>(dialog, owner != nullptr ? WindowOf(*owner) : nullptr);
}

TemplateDialog* QtDialogHost::WindowOf(const CDialog& dialog) {
  return dynamic_cast<TemplateDialog*>(dialog.window());
}

int QtDialogHost::RunModal(CDialog& dialog, CDialog* owner) {
  const std::unique_ptr<TemplateDialog> window = MakeWindow(dialog, owner);
  return window->exec();
}

// A message, the progress window, the variable dialog or the file dialog goes as if dismissed;
// whoever opened it carries on without asking more.
void QtDialogHost::CloseWindowsAbove(CDialog& main) {
  const QWidget* mainWindow = WindowOf(main);
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* other = qobject_cast<QDialog*>(window); other != nullptr && other != mainWindow && other->isVisible()) {
      other->reject();
    }
  }
}

RunOutcome QtDialogHost::RunWithProgress(DuplicateRun& run, CDialog& owner, const bool* stop) {
  return kelvane::RunWithProgress(run, WindowOf(owner), kQuietTime, stop);
}

}  // namespace kelvane
