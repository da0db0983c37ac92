// Hands full buffers to a thread that writes them, so building copies and writing them overlap.
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "platform/file.h"

namespace kelvane {

class BackgroundWriter {
 public:
  explicit BackgroundWriter(File& out);
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // Waits for the thread; a write error not yet collected is dropped.
  ~BackgroundWriter();

  // Queues full for writing once the previous buffer is out, and returns an empty buffer to fill.
  // Rethrows a write error of an earlier buffer.
  std::string Swap(std::string full);
  // Writes last, waits until everything is out, and rethrows any write error.
  void Finish(std::string last);

 private:
  void Run();

  File& out_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string pending_;
  std::string spare_;
  bool hasPending_ = false;
  bool stopping_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace kelvane
