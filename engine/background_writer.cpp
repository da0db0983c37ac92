#include "engine/background_writer.h"

#include <utility>

namespace kelvane {

BackgroundWriter::BackgroundWriter(File& out) : out_(out), thread_([this] { Run(); }) {}

BackgroundWriter::~BackgroundWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return hasPending_ || stopping_; });
    if (!hasPending_) {
      return;
    }
    std::string buffer = std::move(pending_);
    lock.unlock();
    std::exception_ptr error;
    try {
      out_.Write(buffer);
    } catch (...) {
      error = std::current_exception();
    }
    buffer.clear();
    lock.lock();
    spare_ = std::move(buffer);
    hasPending_ = false;
    if (error && !error_) {
      error_ = error;
    }
    changed_.notify_all();
  }
}

std::string BackgroundWriter::Swap(std::string full) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !hasPending_; });
  if (error_) {
    std::rethrow_exception(error_);
  }
  pending_ = std::move(full);
  hasPending_ = true;
  std::string empty = std::move(spare_);
  spare_ = std::string();
  lock.unlock();
  changed_.notify_all();
  empty.clear();
  return empty;
}

void BackgroundWriter::Finish(std::string last) {
  if (!last.empty()) {
    Swap(std::move(last));
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !hasPending_; });
  if (error_) {
    std::rethrow_exception(error_);
  }
}

}  // namespace kelvane
