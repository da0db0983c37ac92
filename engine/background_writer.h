// Hands full buffers to a thread that writes them, so building copies and writing them overlap.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/file.h"

namespace kelvane {

// Bytes to be written, in a buffer that is not cleared or zero-filled between uses.
struct WriteBuffer {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  size_t capacity = 0;
  // The copies of the run that are whole once this buffer is out, counted from its first copy.
  std::int64_t copiesEnd = 0;

  // Makes room for extra more bytes after size, keeping what is there.
  void Reserve(size_t extra);
};

class BackgroundWriter {
 public:
  // Once *cancel is set, a write that blocks (a stalled pipe or FIFO) is given about half a second
  // and then interrupted, so a stop never waits on the output.
  explicit BackgroundWriter(File& out, const std::atomic<bool>* cancel = nullptr);
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // Waits for the thread, interrupting a write that blocks; a write error not yet collected is dropped.
  ~BackgroundWriter();

  // Queues full for writing behind the buffer going out, once no other waits, and returns an
  // empty buffer to fill (one with no room the first times). Rethrows a write error of an earlier
  // buffer. When the run is cancelled while the queue is full, full comes back as it was, not
  // queued.
  WriteBuffer Swap(WriteBuffer full);
  // Waits until the buffer queued last is out and returns it, emptied, to be filled again, letting
  // every other buffer go: for buffers too big to hold two of. Rethrows a write error. Comes back
  // with no buffer when the run is cancelled while the write is still going.
  WriteBuffer Reclaim();
  // Writes last, waits until everything is out, and rethrows any write error. A cancelled run
  // whose write blocks ends without writing last.
  void Finish(WriteBuffer last);

  // The copies whose every byte was written.
  [[nodiscard]] std::int64_t copiesWritten() const;

 private:
  void Run();
  [[nodiscard]] bool Cancelled() const;
  [[nodiscard]] bool Idle() const { return !hasPending_ && !writing_; }
  // Waits, holding lock, until the thread is idle, or with queueOnly until the queue has room. A
  // cancelled run interrupts a write that takes too long; with giveUpOnCancel it returns false at
  // once instead.
  bool Wait(std::unique_lock<std::mutex>& lock, bool queueOnly, bool giveUpOnCancel);

  File& out_;
  const std::atomic<bool>* cancel_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // One buffer may wait while another goes out, so the thread never waits for the one that fills
  // buffers to wake up: a buffer is always ready when a write ends.
  WriteBuffer pending_;
  std::vector<WriteBuffer> spares_;
  bool hasPending_ = false;
  bool writing_ = false;
  bool stopping_ = false;
  bool interrupted_ = false;
  std::int64_t copiesWritten_ = 0;
  std::chrono::steady_clock::time_point interruptAt_{};
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace kelvane
