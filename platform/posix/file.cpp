#include "platform/file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "platform/file_error.h"
#include "platform/posix/descriptor_io.h"

namespace kelvane {

namespace {

// "No sharing" holds against programs that lock with flock and against those that lock with fcntl
// or lockf: on Linux neither kind sees the other, so both are taken. The fcntl lock is an open file
// description lock, which belongs to this open, as a flock does, not to the whole process.
void Lock(int fd, bool exclusive, const std::string& path) {
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    ThrowFileError(errno, path);
  }
  struct flock whole {};
  whole.l_type = exclusive ? F_WRLCK : F_RDLCK;
  whole.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &whole) != 0) {
    const int error = errno;
    if (error == EACCES || error == EAGAIN) {
      ThrowFileError(EWOULDBLOCK, path);
    }
    // A kernel or file system without such locks still has the flock.
    if (error != EINVAL && error != EOPNOTSUPP) {
      ThrowFileError(error, path);
    }
  }
}

// The signal File::Interrupt() sends: ignored by default, so a stray one harms nothing, and caught
// by a handler that does nothing but, installed without SA_RESTART, makes a blocked write return.
constexpr int kInterruptSignal = SIGURG;

extern "C" void IgnoreInterrupt(int) {}

void CatchInterruptSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = IgnoreInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(kInterruptSignal, &action, nullptr);
  });
}

std::string TempFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string folder = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') {
    folder.pop_back();
  }
  return folder + (folder == "/" ? "" : "/");
}

constexpr char kTempPattern[] = "KVXXXXXX.tmp";

}  // namespace

void File::CloseQuietly(NativeFile fd) noexcept {
  if (fd >= 0) {
    ::close(fd);
  }
}

File File::Open(const std::string& path, Mode mode) {
  int flags = O_CLOEXEC | O_NOCTTY;
  bool exclusive = true;
  switch (mode) {
    case Mode::CreateWrite: flags |= O_WRONLY | O_CREAT; break;
    case Mode::OpenWrite: flags |= O_WRONLY; break;
    case Mode::CreateReadWrite: flags |= O_RDWR | O_CREAT; break;
    case Mode::Read:
      flags |= O_RDONLY;
      exclusive = false;
      break;
  }
  // A FIFO without a reader fails to open for writing at once (ENXIO) rather than hang the program;
  // O_NONBLOCK is cleared below. Reading one waits for its writer, as cat does: without the wait,
  // a FIFO whose writer has not come yet would read as empty.
  const bool writing = mode != Mode::Read;
  const int fd = ::open(path.c_str(), writing ? flags | O_NONBLOCK : flags, 0666);
  if (fd < 0) {
    ThrowFileError(errno, path);
  }
  File file(fd, path);
  if (writing && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ThrowFileError(errno, path);
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    ThrowFileError(errno, path);
  }
  // Only a regular file is held exclusively: devices and pipes such as /dev/null are shared by
  // nature. The lock comes before any truncation, so a file that another opener holds keeps its bytes.
  if (S_ISREG(info.st_mode)) {
    Lock(fd, exclusive, path);
  }
  if ((mode == Mode::CreateWrite || mode == Mode::CreateReadWrite) && S_ISREG(info.st_mode) && info.st_size != 0 &&
      ::ftruncate(fd, 0) != 0) {
    ThrowFileError(errno, path);
  }
  return file;
}

File File::CreateTemp() {
  const std::string folder = TempFolder();
  const std::string name = folder + kTempPattern;
  // Without a name there is nothing for another user of a shared folder to swap or reopen.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    // A file system without unnamed files: a named one, unlinked at once and never reopened.
    std::string path = name;
    fd = ::mkstemps(path.data(), 4);
    if (fd >= 0) {
      ::unlink(path.c_str());
    }
  }
  if (fd < 0) {
    ThrowFileError(errno, name);
  }
  return File(fd, name);
}

File File::Adopt(int fd, std::string name) {
  return File(fd, std::move(name));
}

File File::StandardInput() {
  const int fd = ::dup(STDIN_FILENO);
  if (fd < 0) {
    ThrowFileError(errno, "standard input");
  }
  return File(fd, "standard input");
}

File File::StandardOutput() {
  const int fd = ::dup(STDOUT_FILENO);
  if (fd < 0) {
    ThrowFileError(errno, "standard output");
  }
  return File(fd, "standard output");
}

void File::WriteOut(std::string_view data) {
  if (const int error = WriteFully(fd_, data, &interrupted_)) {
    if (error == EINTR) {
      throw WriteInterrupted();
    }
    ThrowFileError(error, path_);
  }
}

void File::SeekToEnd() {
  Flush();
  if (::lseek(fd_, 0, SEEK_END) < 0 && errno != ESPIPE) {
    ThrowFileError(errno, path_);
  }
}

void File::Truncate() {
  Flush();
  if (::ftruncate(fd_, 0) != 0) {
    ThrowFileError(errno, path_);
  }
  SeekToStart();
}

void File::SeekToStart() {
  Flush();
  if (::lseek(fd_, 0, SEEK_SET) < 0) {
    ThrowFileError(errno, path_);
  }
}

void File::Interrupt(std::thread& writer) {
  CatchInterruptSignal();
  interrupted_ = true;
  ::pthread_kill(writer.native_handle(), kInterruptSignal);
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

size_t File::Read(char* buffer, size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0) {
      return static_cast<size_t>(got);
    }
    if (errno != EINTR) {
      ThrowFileError(errno, path_);
    }
  }
}

std::uint64_t File::Size() const {
  struct stat info {};
  return ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool File::Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace kelvane
