#include "engine/background_writer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

namespace kelvane {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting thread looks at the cancel flag, and how long a cancelled run lets a write
// go on before it interrupts it: together well under a second.
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr auto kGrace = std::chrono::milliseconds(500);
// How long a thread that waits for the other looks again and again before it sleeps. A thread put
// to sleep is woken on the processor of the thread that wakes it, where the two then take turns
// while another processor idles; a buffer is built or written in well under this.
constexpr auto kSpin = std::chrono::milliseconds(2);

// Looks at ready, letting go of the lock in between, until it holds or kSpin has passed.
template <class Ready>
void Spin(std::unique_lock<std::mutex>& lock, Ready ready) {
  const auto until = Clock::now() + kSpin;
  while (!ready() && Clock::now() < until) {
    lock.unlock();
    std::this_thread::yield();
    lock.lock();
  }
}

}  // namespace

void WriteBuffer::Reserve(size_t extra) {
  if (size + extra <= capacity) {
    return;
  }
  const size_t grown = std::max(size + extra, capacity * 2);
  auto bigger = std::make_unique_for_overwrite<char[]>(grown);
  if (size != 0) {
    std::memcpy(bigger.get(), data.get(), size);
  }
  data = std::move(bigger);
  capacity = grown;
}

BackgroundWriter::BackgroundWriter(File& out, const std::atomic<bool>* cancel)
    : out_(out), cancel_(cancel), thread_([this] { Run(); }) {}

BackgroundWriter::~BackgroundWriter() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  changed_.notify_all();
  // Only a failure elsewhere leaves a write going here; one that blocks is not waited for.
  if (!changed_.wait_for(lock, kGrace, [this] { return Idle(); })) {
    while (!Idle()) {
      out_.Interrupt(thread_);
      changed_.wait_for(lock, kPoll);
    }
  }
  lock.unlock();
  thread_.join();
}

void BackgroundWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    const auto ready = [this] { return hasPending_ || stopping_; };
    Spin(lock, ready);
    changed_.wait(lock, ready);
    if (!hasPending_) {
      return;
    }
    WriteBuffer buffer = std::move(pending_);
    hasPending_ = false;
    // After a failed write nothing more goes out: it would land after a gap or a torn buffer.
    const bool write = !error_ && !interrupted_;
    writing_ = write;
    changed_.notify_all();
    if (write) {
      lock.unlock();
      std::exception_ptr error;
      bool interrupted = false;
      try {
        // Flushed here too, so that no write of the output is left for another thread to block on.
        out_.Write(std::string_view(buffer.data.get(), buffer.size));
        out_.Flush();
      } catch (const WriteInterrupted&) {
        interrupted = true;
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      if (!interrupted && !error) {
        copiesWritten_ = buffer.copiesEnd;
      }
      interrupted_ = interrupted_ || interrupted;
      if (error && !error_) {
        error_ = error;
      }
    }
    buffer.size = 0;
    spares_.push_back(std::move(buffer));
    writing_ = false;
    changed_.notify_all();
  }
}

bool BackgroundWriter::Cancelled() const {
  return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed);
}

bool BackgroundWriter::Wait(std::unique_lock<std::mutex>& lock, bool queueOnly, bool giveUpOnCancel) {
  const auto done = [this, queueOnly] { return queueOnly ? !hasPending_ : Idle(); };
  Spin(lock, [this, &done] { return done() || Cancelled(); });
  while (!done()) {
    if (Cancelled()) {
      if (giveUpOnCancel) {
        return false;
      }
      const auto now = Clock::now();
      if (interruptAt_ == Clock::time_point{}) {
        interruptAt_ = now + kGrace;
      } else if (now >= interruptAt_) {
        // Again on every round: the first signal may come just before the write starts.
        out_.Interrupt(thread_);
      }
    }
    changed_.wait_for(lock, kPoll);
  }
  return true;
}

WriteBuffer BackgroundWriter::Swap(WriteBuffer full) {
  std::unique_lock lock(mutex_);
  if (!Wait(lock, true, true)) {
    return full;
  }
  if (error_) {
    std::rethrow_exception(error_);
  }
  pending_ = std::move(full);
  hasPending_ = true;
  WriteBuffer empty;
  if (!spares_.empty()) {
    empty = std::move(spares_.back());
    spares_.pop_back();
  }
  lock.unlock();
  changed_.notify_all();
  empty.size = 0;
  return empty;
}

WriteBuffer BackgroundWriter::Reclaim() {
  std::unique_lock lock(mutex_);
  if (!Wait(lock, false, true)) {
    return WriteBuffer();
  }
  if (error_) {
    std::rethrow_exception(error_);
  }
  WriteBuffer written;
  if (!spares_.empty()) {
    written = std::move(spares_.back());
  }
  spares_.clear();
  written.size = 0;
  return written;
}

void BackgroundWriter::Finish(WriteBuffer last) {
  std::unique_lock lock(mutex_);
  Wait(lock, false, false);
  if (error_) {
    std::rethrow_exception(error_);
  }
  if (interrupted_) {
    return;
  }
  if (last.size == 0) {
    copiesWritten_ = std::max(copiesWritten_, last.copiesEnd);  // copies of nothing, say an empty block
    return;
  }
  pending_ = std::move(last);
  hasPending_ = true;
  changed_.notify_all();
  Wait(lock, false, false);
  if (error_) {
    std::rethrow_exception(error_);
  }
}

std::int64_t BackgroundWriter::copiesWritten() const {
  const std::lock_guard lock(mutex_);
  return copiesWritten_;
}

}  // namespace kelvane
