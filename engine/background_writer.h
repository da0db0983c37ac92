// Hands full buffers to a thread that writes them, so building copies and writing them overlap.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/file.h"

namespace kelvane {

// Bytes to be written, in a buffer that is not cleared or zero-filled between uses.
struct WriteBuffer {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  size_t capacity = 0;

  // Makes room for extra more bytes after size, keeping what is there.
  void Reserve(size_t extra);
};

class BackgroundWriter {
 public:
  explicit BackgroundWriter(File& out);
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // Waits for the thread; a write error not yet collected is dropped.
  ~BackgroundWriter();

  // Queues full for writing once the previous buffer is out, and returns an empty buffer to fill.
  // Rethrows a write error of an earlier buffer.
  WriteBuffer Swap(WriteBuffer full);
  // Writes last, waits until everything is out, and rethrows any write error.
  void Finish(WriteBuffer last);

 private:
  void Run();

  File& out_;
  std::mutex mutex_;
  std::condition_variable changed_;
  WriteBuffer pending_;
  WriteBuffer spare_;
  bool hasPending_ = false;
  bool stopping_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace kelvane
