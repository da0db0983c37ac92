#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/descriptor_io.h"
#include "platform/file_error.h"

namespace kelvane {

namespace {

// Large enough that writing a huge job costs few system calls, small enough to be harmless.
constexpr size_t kBufferSize = size_t{1} << 20;

void CloseQuietly(int fd) {
  if (fd >= 0) {
    ::close(fd);
  }
}

}  // namespace

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      buffer_(std::move(other.buffer_)),
      bytesWritten_(other.bytesWritten_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    CloseQuietly(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    buffer_ = std::move(other.buffer_);
    bytesWritten_ = other.bytesWritten_;
  }
  return *this;
}

File::~File() {
  CloseQuietly(fd_);
}

File File::Open(const std::string& path, Mode mode) {
  int flags = O_CLOEXEC | O_NOCTTY;
  int lock = LOCK_EX;
  switch (mode) {
    case Mode::CreateWrite: flags |= O_WRONLY | O_CREAT; break;
    case Mode::OpenWrite: flags |= O_WRONLY; break;
    case Mode::CreateReadWrite: flags |= O_RDWR | O_CREAT; break;
    case Mode::Read:
      flags |= O_RDONLY;
      lock = LOCK_SH;
      break;
  }
  // O_NONBLOCK keeps a FIFO without a reader from hanging the program; it is cleared below.
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
  if (fd < 0) {
    ThrowFileError(errno, path);
  }
  File file(fd, path);
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ThrowFileError(errno, path);
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    ThrowFileError(errno, path);
  }
  // Only a regular file is held exclusively: devices and pipes such as /dev/null are shared by
  // nature. The lock comes before any truncation, so a file that another opener holds keeps its bytes.
  if (S_ISREG(info.st_mode) && ::flock(fd, lock | LOCK_NB) != 0) {
    ThrowFileError(errno, path);
  }
  if ((mode == Mode::CreateWrite || mode == Mode::CreateReadWrite) && S_ISREG(info.st_mode) && info.st_size != 0 &&
      ::ftruncate(fd, 0) != 0) {
    ThrowFileError(errno, path);
  }
  return file;
}

File File::Adopt(int fd, std::string name) {
  return File(fd, std::move(name));
}

void File::WriteOut(std::string_view data) {
  if (const int error = WriteFully(fd_, data)) {
    ThrowFileError(error, path_);
  }
}

void File::Write(std::string_view data) {
  if (fd_ < 0) {
    ThrowFileError(EBADF, path_);
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

void File::SeekToEnd() {
  Flush();
  if (::lseek(fd_, 0, SEEK_END) < 0 && errno != ESPIPE) {
    ThrowFileError(errno, path_);
  }
}

void File::Close() {
  if (fd_ < 0) {
    return;
  }
  try {
    Flush();
  } catch (...) {
    CloseQuietly(std::exchange(fd_, -1));
    throw;
  }
  if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) {
    ThrowFileError(errno, path_);
  }
}

std::string File::ReadAll() {
  std::string data;
  if (const int error = ReadFully(fd_, data)) {
    ThrowFileError(error, path_);
  }
  return data;
}

bool File::Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

void RemoveFile(const std::string& path) noexcept {
  if (!path.empty()) {
    ::unlink(path.c_str());
  }
}

std::string CreateTempFile() {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string folder = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  const std::string pattern = folder + (folder == "/" ? "" : "/") + "KVXXXXXX.tmp";
  std::string path = pattern;
  const int fd = ::mkstemps(path.data(), 4);
  if (fd < 0) {
    ThrowFileError(errno, pattern);
  }
  ::close(fd);
  return path;
}

}  // namespace kelvane
