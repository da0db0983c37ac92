#include "ui/progress_run.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <future>
#include <thread>

#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

RunOutcome RunWithProgress(DuplicateRun& run, QWidget* parent, std::chrono::milliseconds quietTime, const bool* stop) {
  std::atomic<bool> cancel = false;
  std::atomic<std::int64_t> done = 0;
  RunControl control;
  control.cancel = &cancel;
  control.onProgress = [&done](std::int64_t copies, std::uint64_t) { done.store(copies, std::memory_order_relaxed); };

  // The worker touches only the output file and, for a clipboard run, the text it reads back from
  // it; the clipboard itself and every message stay on this thread.
  std::atomic<bool> toClipboard = false;
  std::promise<void> finished;
  std::future<void> result = finished.get_future();
  std::thread worker([&] {
    run.WriteCopies(control);
    if (run.writesToClipboard() && !cancel) {
      toClipboard = true;
      run.PrepareClipboardText(control);
    }
    finished.set_value();
  });

  if (result.wait_for(quietTime) != std::future_status::ready && (stop == nullptr || !*stop)) {
    const int total = run.job().repeatCount;
    QProgressDialog progress(parent);
    progress.setWindowTitle(parent != nullptr ? parent->windowTitle() : QString());
    progress.setWindowModality(Qt::WindowModal);
    progress.setRange(0, total);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const auto update = [&] {
      if (toClipboard) {
        // Reading the result back has no count to show; a busy bar says the window is alive.
        progress.setLabelText(QString::fromUtf8(res::LoadString(IDS_PUTTING_ON_CLIPBOARD)));
        progress.setRange(0, 0);
        return;
      }
      const auto copies = done.load(std::memory_order_relaxed);
      progress.setLabelText(QString::fromStdString(LoadMessage(IDS_PROGRESS, {copies, std::int64_t{total}})));
      progress.setValue(static_cast<int>(copies));
    };
    update();
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&cancel] { cancel = true; });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &progress, [&] {
      update();
      if (result.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        progress.accept();
      } else if (stop != nullptr && *stop) {
        progress.reject();
      }
    });
    timer.start(50);
    progress.exec();
    // Closed by the user before the run ended: that, too, is a cancel.
    cancel = true;
  }
  if (stop != nullptr && *stop) {
    cancel = true;
  }
  // The worker ends soon after a cancel, even when its output has stalled; the window keeps
  // drawing and answering until it has.
  if (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
      if (result.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        wait.quit();
      }
    });
    poll.start(20);
    wait.exec();
  }
  worker.join();
  return run.Finish();
}

}  // namespace kelvane
