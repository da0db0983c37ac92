// What files do alike on every system: moving and closing a File, and the write buffer.
#include "platform/file.h"

#include <utility>

#include "platform/file_error.h"

namespace kelvane {

namespace {

// Large enough that writing a huge job costs few system calls, small enough to be harmless.
constexpr size_t kBufferSize = size_t{1} << 20;

}  // namespace

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, kNoNativeFile)),
      path_(std::move(other.path_)),
      buffer_(std::move(other.buffer_)),
      bytesWritten_(other.bytesWritten_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    CloseQuietly(fd_);
    fd_ = std::exchange(other.fd_, kNoNativeFile);
    interrupted_ = other.interrupted_.load();
    path_ = std::move(other.path_);
    buffer_ = std::move(other.buffer_);
    bytesWritten_ = other.bytesWritten_;
  }
  return *this;
}

File::~File() {
  CloseQuietly(fd_);
}

void File::Write(std::string_view data) {
  if (!IsOpen()) {
    throw FileException(FileCause::InvalidFile, path_);
  }
  bytesWritten_ += data.size();
  if (buffer_.size() + data.size() <= kBufferSize) {
    if (buffer_.capacity() < kBufferSize) {
      buffer_.reserve(kBufferSize);
    }
    buffer_.append(data);
    return;
  }
  Flush();
  if (data.size() >= kBufferSize) {
    WriteOut(data);
  } else {
    buffer_.append(data);
  }
}

void File::Flush() {
  if (buffer_.empty()) {
    return;
  }
  // The buffer is dropped even when the write fails, so the failure is reported once.
  std::string pending;
  pending.swap(buffer_);
  buffer_.reserve(kBufferSize);
  WriteOut(pending);
}

}  // namespace kelvane
