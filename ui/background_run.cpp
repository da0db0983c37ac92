#include "ui/background_run.h"

#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

BackgroundRun::BackgroundRun(DuplicateRun& run) : run_(run), worker_([this] { Work(); }) {}

BackgroundRun::~BackgroundRun() {
  Cancel();
  if (worker_.joinable()) {
    worker_.join();
  }
}

// The worker touches only the output file and, for a clipboard run, the text it reads back from
// it; the clipboard itself and every message stay on the window's thread.
void BackgroundRun::Work() {
  RunControl control;
  control.cancel = &cancel_;
  control.onProgress = [this](std::int64_t copies, std::uint64_t) {
    copiesDone_.store(copies, std::memory_order_relaxed);
  };
  run_.WriteCopies(control);
  if (run_.writesToClipboard() && !cancel_) {
    toClipboard_ = true;
    run_.PrepareClipboardText(control);
  }
  {
    const std::lock_guard lock(mutex_);
    finished_ = true;
  }
  finishedChanged_.notify_all();
}

bool BackgroundRun::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return finishedChanged_.wait_for(lock, timeout, [this] { return finished_; });
}

bool BackgroundRun::finished() const {
  const std::lock_guard lock(mutex_);
  return finished_;
}

void BackgroundRun::Cancel() {
  cancel_ = true;
}

bool BackgroundRun::cancelled() const {
  return cancel_;
}

std::int64_t BackgroundRun::copiesDone() const {
  return copiesDone_.load(std::memory_order_relaxed);
}

std::int64_t BackgroundRun::copiesInAll() const {
  return run_.job().repeatCount;
}

bool BackgroundRun::puttingOnClipboard() const {
  return toClipboard_;
}

std::string BackgroundRun::ProgressText() const {
  if (puttingOnClipboard()) {
    return res::LoadString(IDS_PUTTING_ON_CLIPBOARD);
  }
  return LoadMessage(IDS_PROGRESS, {copiesDone(), copiesInAll()});
}

RunOutcome BackgroundRun::Finish() {
  if (worker_.joinable()) {
    worker_.join();
  }
  return run_.Finish();
}

}  // namespace kelvane
