#include "ui/qt/progress_run.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include "ui/background_run.h"

namespace kelvane {

RunOutcome RunWithProgress(DuplicateRun& run, QWidget* parent, std::chrono::milliseconds quietTime, const bool* stop) {
  BackgroundRun background(run);
  const auto stopped = [stop] { return stop != nullptr && *stop; };
  if (!background.WaitFor(quietTime) && !stopped()) {
    QProgressDialog progress(parent);
    progress.setWindowTitle(parent != nullptr ? parent->windowTitle() : QString());
    progress.setWindowModality(Qt::WindowModal);
    progress.setRange(0, static_cast<int>(background.copiesInAll()));
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const auto update = [&] {
      progress.setLabelText(QString::fromStdString(background.ProgressText()));
      if (background.puttingOnClipboard()) {
        // Reading the result back has no count to show; a busy bar says the window is alive.
        progress.setRange(0, 0);
      } else {
        progress.setValue(static_cast<int>(background.copiesDone()));
      }
    };
    update();
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&background] { background.Cancel(); });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &progress, [&] {
      update();
      if (background.finished()) {
        progress.accept();
      } else if (stopped()) {
        progress.reject();
      }
    });
    timer.start(50);
    progress.exec();
    // Closed by the user before the run ended: that, too, is a cancel.
    background.Cancel();
  }
  if (stopped()) {
    background.Cancel();
  }
  // The worker ends soon after a cancel, even when its output has stalled; the window keeps
  // drawing and answering until it has.
  if (!background.finished()) {
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
      if (background.finished()) {
        wait.quit();
      }
    });
    poll.start(20);
    wait.exec();
  }
  return background.Finish();
}

}  // namespace kelvane
