// Faults made on purpose for the fault tests: locks held by another process, mounts of a test's
// own (a full or read-only file system), a full disk.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "engine/job.h"
#include "support/test_support.h"

namespace kelvane {

inline void PrintTo(const Job& job, std::ostream* os) {
  *os << testing::PrintToString(job.blockText) << ", " << testing::PrintToString(job.outputFile) << ", append "
      << job.append << ", repeat " << job.repeatCount << ", tags " << testing::PrintToString(job.tags) << ", values "
      << testing::PrintToString(job.values);
}

namespace test {

// The ways another program may lock a whole file.
enum class LockKind { Flock, Fcntl, Lockf, OpenFileDescription };

// Takes an exclusive lock of kind on all of fd, without waiting; true when it holds.
inline bool LockWhole(int fd, LockKind kind) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  switch (kind) {
    case LockKind::Flock: return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    case LockKind::Fcntl: return ::fcntl(fd, F_SETLK, &whole) == 0;
    case LockKind::Lockf: return ::lockf(fd, F_TLOCK, 0) == 0;
    case LockKind::OpenFileDescription: return ::fcntl(fd, F_OFD_SETLK, &whole) == 0;
  }
  return false;
}

// A process of its own that holds an exclusive lock on path until the object goes.
class LockHolder {
 public:
  explicit LockHolder(const std::string& path, LockKind kind = LockKind::Flock) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) {
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      const int fd = ::open(path.c_str(), kind == LockKind::Flock ? O_RDONLY : O_RDWR);
      const char ok = fd >= 0 && LockWhole(fd, kind) ? 'y' : 'n';
      (void)!::write(ready[1], &ok, 1);
      char ignored;
      (void)!::read(release[0], &ignored, 1);  // returns once the parent closes its end
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char ok = 'n';
    locked_ = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
    ::close(ready[0]);
  }
  ~LockHolder() {
    ::close(release_);
    if (pid_ > 0) {
      WaitStatus(pid_);
    }
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  [[nodiscard]] bool locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool locked_ = false;
};

// Mounts live in a mount namespace of this test process alone: nothing outside sees them, and they
// go with the process. Entering one needs root (CAP_SYS_ADMIN); without it those tests are skipped.
inline bool InPrivateMountNamespace() {
  static const bool entered =
      ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return entered;
}

class Mount {
 public:
  // A tmpfs of about size bytes at folder.
  static std::optional<Mount> Tmpfs(const std::string& folder, size_t size) {
    const std::string options = "size=" + std::to_string(size);
    if (!InPrivateMountNamespace() || ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
      return std::nullopt;
    }
    return Mount(folder);
  }
  // folder, read-only from here on.
  static std::optional<Mount> ReadOnly(const std::string& folder) {
    if (!InPrivateMountNamespace() || ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      return std::nullopt;
    }
    Mount mount(folder);
    if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      return std::nullopt;
    }
    return mount;
  }
  Mount(Mount&& other) noexcept : folder_(std::exchange(other.folder_, {})) {}
  Mount& operator=(Mount&&) = delete;
  ~Mount() {
    if (!folder_.empty()) {
      ::umount2(folder_.c_str(), MNT_DETACH);
    }
  }

 private:
  explicit Mount(std::string folder) : folder_(std::move(folder)) {}
  std::string folder_;
};

// Fills the file system that holds folder until not one more byte fits.
inline void FillUp(const std::string& folder) {
  const int fd = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  const std::string chunk(4096, 'f');
  while (::write(fd, chunk.data(), chunk.size()) > 0) {
  }
  while (::write(fd, chunk.data(), 1) > 0) {
  }
  ::close(fd);
}

#define SKIP_WITHOUT_MOUNTS(mount)                                                          \
  if (!(mount)) {                                                                           \
    GTEST_SKIP() << "no mount namespace of our own (needs root): " << std::strerror(errno); \
  }

}  // namespace test
}  // namespace kelvane
