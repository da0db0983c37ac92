// The registry file is changed by one process at a time: each change takes an exclusive lock on
// "<file>.lock", re-reads the file under it, and replaces it whole. Readers need no lock.

#include "platform/posix/reg_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/atomic_replace.h"
#include "platform/posix/descriptor_io.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

// Damaged files kept beside the settings file: Kelvane.reg.bad, then Kelvane.reg.bad.2 and so on.
constexpr int kMaxDamagedCopies = 100;
// A lock held by another copy is polled, quickly at first, then every so often.
constexpr std::chrono::milliseconds kFirstLockPause{1};
constexpr std::chrono::milliseconds kLongestLockPause{25};

// Reads a regular file; a missing file (or folder) is no error, and leaves exists false.
int ReadRegularFile(const std::string& path, std::string& bytes, bool& exists) {
  bytes.clear();
  exists = false;
  // O_NONBLOCK: a FIFO put in the file's place must not hang the program.
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    return errno;
  }
  if (!S_ISREG(info.st_mode)) {
    return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  }
  if (const int error = ReadFully(fd.get(), bytes)) {
    return error;
  }
  exists = true;
  return 0;
}

int MakeFolders(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  }
  if (errno != ENOENT) {
    return errno;
  }
  const std::string parent = FolderOf(folder);
  if (parent != folder) {
    if (const int error = MakeFolders(parent)) {
      return error;
    }
  }
  // Settings are the user's own business.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return errno;
  }
  return 0;
}

// An exclusive lock on "<file>.lock", waited for up to a limit: a stopped copy holding it must not
// hang the program. The lock file stays: removing it would let two copies lock different files.
class StoreLock {
 public:
  StoreLock(const std::string& file, std::chrono::milliseconds wait)
      : fd_(::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600)) {
    if (fd_.get() < 0) {
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::duration_cast<std::chrono::nanoseconds>(kFirstLockPause);
    for (;;) {
      if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        locked_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) {
        return;
      }
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::nanoseconds::zero()) {
        return;
      }
      const auto nap = std::min<std::chrono::nanoseconds>(pause, left);
      const timespec time{static_cast<time_t>(nap.count() / 1'000'000'000),
                          static_cast<long>(nap.count() % 1'000'000'000)};
      ::nanosleep(&time, nullptr);
      pause = std::min<std::chrono::nanoseconds>(pause * 2, kLongestLockPause);
    }
  }
  [[nodiscard]] bool locked() const { return locked_; }

 private:
  Descriptor fd_;
  bool locked_ = false;
};

// Keeps a file that could not be read fully beside the settings file, never over an earlier copy.
bool KeepDamagedCopy(const std::string& file, std::string_view bytes) {
  for (int number = 1; number <= kMaxDamagedCopies; ++number) {
    const std::string name = file + ".bad" + (number == 1 ? std::string() : "." + std::to_string(number));
    struct stat info {};
    if (::lstat(name.c_str(), &info) == 0) {
      std::string kept;
      bool exists = false;
      if (ReadRegularFile(name, kept, exists) == 0 && exists && kept == bytes) {
        return true;  // a failed rewrite is being retried: the original is kept already
      }
      continue;
    }
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
      if (errno == EEXIST) {
        continue;
      }
      return false;
    }
    bool written = WriteFully(fd, bytes) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written) {
      ::unlink(name.c_str());
      return false;
    }
    SyncFolder(FolderOf(file));
    return true;
  }
  return false;
}

// Removes the temporary files of changes killed before their rename. Only called under the lock,
// when no other change can be writing one.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string fileName = target.substr(target.rfind('/') + 1);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    if (IsReplacementTempName(fileName, entry->d_name)) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// A settings file linked from elsewhere (a dotfiles folder) is replaced where it really lives.
bool ResolveTarget(const std::string& file, std::string& target) {
  target = file;
  struct stat info {};
  if (::lstat(file.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* resolved = ::realpath(file.c_str(), nullptr);
    if (resolved == nullptr) {
      return false;
    }
    target = resolved;
    std::free(resolved);
  }
  return true;
}

RegResult ReadOnly(const std::string& file, const RegStoreWork& work) {
  RegDocument document;
  if (const RegResult result = ReadRegistryStore(file, document); result != RegResult::Success) {
    return result;
  }
  work(document, false);
  return RegResult::Success;
}

}  // namespace

std::string RegistryFilePath() {
  // Relative values are ignored, as the XDG base directory rules ask.
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = ::getpwuid(::getuid());
      home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0') {
      return {};
    }
    base = std::string(home) + "/.config";
  }
  while (base.size() > 1 && base.back() == '/') {
    base.pop_back();
  }
  return base + "/" + res::LoadString(IDS_COMPANY_NAME) + "/" + res::LoadString(IDS_APP_TITLE) + ".reg";
}

RegResult ReadRegistryStore(const std::string& file, RegDocument& document) {
  std::string bytes;
  bool exists = false;
  if (ReadRegularFile(file, bytes, exists) != 0) {
    return RegResult::IoError;
  }
  document = ParseRegFile(bytes).document;
  return RegResult::Success;
}

RegResult ChangeRegistryStore(const std::string& file, std::chrono::milliseconds lockWait, RegLockMissed missed,
                              const RegStoreWork& work) {
  if (file.empty()) {
    return RegResult::IoError;
  }
  const bool readAnyway = missed == RegLockMissed::ReadOnly;
  if (MakeFolders(FolderOf(file)) != 0) {
    return readAnyway ? ReadOnly(file, work) : RegResult::IoError;
  }
  const StoreLock lock(file, lockWait);
  if (!lock.locked()) {
    return readAnyway ? ReadOnly(file, work) : RegResult::IoError;
  }
  std::string target;
  if (!ResolveTarget(file, target)) {
    return RegResult::IoError;
  }
  std::string bytes;
  bool exists = false;
  if (ReadRegularFile(target, bytes, exists) != 0) {
    return RegResult::IoError;  // never replace what could not be read
  }
  RegParseResult parsed = ParseRegFile(bytes);
  const bool damaged = !parsed.issues.empty();
  // A huge file is not held twice while its successor is built. (Assigning an empty string would
  // keep the buffer.)
  if (!damaged) {
    std::string().swap(bytes);
  }
  if (!work(parsed.document, true)) {
    return RegResult::Success;
  }
  if (damaged && !KeepDamagedCopy(file, bytes)) {
    return RegResult::IoError;
  }
  std::string().swap(bytes);
  RemoveStaleTemporaries(target);
  std::string text = FormatRegFile(parsed.document);
  parsed = RegParseResult();
  return ReplaceFileAtomically(target, text) == 0 ? RegResult::Success : RegResult::IoError;
}

}  // namespace kelvane
