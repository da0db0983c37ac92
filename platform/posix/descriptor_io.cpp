#include "platform/posix/descriptor_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/huge_pages.h"

namespace kelvane {

int WriteFully(int fd, std::string_view bytes, const std::atomic<bool>* stop) noexcept {
  while (!bytes.empty()) {
    if (stop != nullptr && stop->load()) {
      return EINTR;
    }
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      // A signal: the loop looks at the stop flag before it writes on.
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    if (written == 0) {
      return ENOSPC;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

int ReadFully(int fd, std::string& bytes) {
  // Reads straight into the string, sized from the file when it tells its size, so a long value
  // list is copied once, by the kernel; a probe into a small buffer then finds the end.
  bytes.clear();
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    bytes.reserve(static_cast<size_t>(info.st_size));
    AdviseHugePages(bytes.data(), bytes.capacity());
    bytes.resize(static_cast<size_t>(info.st_size));
  }
  size_t size = 0;
  char probe[1 << 16];
  for (;;) {
    const bool roomLeft = size < bytes.size();
    const ssize_t got =
        roomLeft ? ::read(fd, bytes.data() + size, bytes.size() - size) : ::read(fd, probe, sizeof probe);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      const int error = errno;
      bytes.resize(size);
      return error;
    }
    if (got == 0) {
      bytes.resize(size);
      return 0;
    }
    if (!roomLeft) {
      bytes.append(probe, static_cast<size_t>(got));
    }
    size += static_cast<size_t>(got);
  }
}

Descriptor::~Descriptor() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

int Descriptor::Close() noexcept {
  if (fd_ < 0) {
    return 0;
  }
  const int result = ::close(fd_);
  fd_ = -1;
  return result != 0 && errno != EINTR ? errno : 0;
}

}  // namespace kelvane
