#include "engine/background_writer.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace kelvane {

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
    WriteBuffer buffer = std::move(pending_);
    lock.unlock();
    std::exception_ptr error;
    try {
      out_.Write(std::string_view(buffer.data.get(), buffer.size));
    } catch (...) {
      error = std::current_exception();
    }
    buffer.size = 0;
    lock.lock();
    spare_ = std::move(buffer);
    hasPending_ = false;
    if (error && !error_) {
      error_ = error;
    }
    changed_.notify_all();
  }
}

WriteBuffer BackgroundWriter::Swap(WriteBuffer full) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !hasPending_; });
  if (error_) {
    std::rethrow_exception(error_);
  }
  pending_ = std::move(full);
  hasPending_ = true;
  WriteBuffer empty = std::move(spare_);
  spare_ = WriteBuffer();
  lock.unlock();
  changed_.notify_all();
  empty.size = 0;
  return empty;
}

void BackgroundWriter::Finish(WriteBuffer last) {
  if (last.size != 0) {
    Swap(std::move(last));
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !hasPending_; });
  if (error_) {
    std::rethrow_exception(error_);
  }
}

}  // namespace kelvane
