// A Duplicate run's long middle step on a worker thread of its own, for a progress window to watch:
// the copies written, then, for a clipboard run, the result read back for the clipboard.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "engine/duplicate.h"

namespace kelvane {

class BackgroundRun {
 public:
  // Starts the worker; run.Start() must have succeeded.
  explicit BackgroundRun(DuplicateRun& run);
  // Cancels and waits for the worker.
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // Waits at most timeout; true once the worker has finished.
  bool WaitFor(std::chrono::milliseconds timeout);
  [[nodiscard]] bool finished() const;
  // Asks the worker to stop at the next whole copy, or to leave the clipboard alone; any thread.
  void Cancel();
  [[nodiscard]] bool cancelled() const;
  // The copies written so far.
  [[nodiscard]] std::int64_t copiesDone() const;
  // The copies the run writes in all.
  [[nodiscard]] std::int64_t copiesInAll() const;
  // The copies are written and the result is being read back for the clipboard.
  [[nodiscard]] bool puttingOnClipboard() const;
  // What a progress window says now: "Writing copy %d of %d", or that the result goes on the
  // clipboard.
  [[nodiscard]] std::string ProgressText() const;

  // Waits for the worker, then ends the run (run.Finish()) on the calling thread: the window's, as
  // the clipboard and the messages need. Call once.
  RunOutcome Finish();

 private:
  void Work();

  DuplicateRun& run_;
  std::atomic<bool> cancel_ = false;
  std::atomic<std::int64_t> copiesDone_ = 0;
  std::atomic<bool> toClipboard_ = false;
  mutable std::mutex mutex_;
  std::condition_variable finishedChanged_;
  bool finished_ = false;  // guarded by mutex_
  std::thread worker_;     // last: starts once everything it uses exists
};

}  // namespace kelvane
