// The recipe of GLib's g_file_set_contents and Qt's QSaveFile, plus what they skip: the new bytes go
// to a file in the target's own folder, are synced, and are renamed over the target; then the folder
// is synced. Where the file system offers it, the new file has no name until it is complete (O_TMPFILE),
// so a process killed while writing leaves nothing behind.

#include "platform/atomic_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/descriptor_io.h"

namespace kelvane {

namespace {

constexpr int kNameAttempts = 100;

std::string TempName(const std::string& folder, const std::string& fileName) {
  return folder + "/" + ReplacementTempName(fileName);
}

int WriteAndSync(int fd, mode_t mode, std::string_view bytes) {
  if (::fchmod(fd, mode) != 0) {
    return errno;
  }
  if (const int error = WriteFully(fd, bytes)) {
    return error;
  }
  return ::fsync(fd) != 0 ? errno : 0;
}

// Gives the unnamed file a temporary name beside the target.
int LinkUnnamed(int fd, const std::string& folder, const std::string& fileName, std::string& temp) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temp = TempName(folder, fileName);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return 0;
    }
    if (errno == EEXIST) {
      continue;
    }
    // Without /proc, linking by descriptor needs a privilege that root has.
    if (::linkat(fd, "", AT_FDCWD, temp.c_str(), AT_EMPTY_PATH) == 0) {
      return 0;
    }
    return errno == EEXIST ? EEXIST : errno;
  }
  return EEXIST;
}

// Writes bytes to a new file beside the target, named temp once it is complete and synced.
int WriteTemporary(const std::string& folder, const std::string& fileName, mode_t mode, std::string_view bytes,
                   std::string& temp) {
  temp.clear();
  Descriptor unnamed(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (unnamed.get() >= 0) {
    int error = WriteAndSync(unnamed.get(), mode, bytes);
    if (error == 0) {
      error = LinkUnnamed(unnamed.get(), folder, fileName, temp);
    }
    if (error == 0 && (error = unnamed.Close()) != 0) {
      ::unlink(temp.c_str());
    }
    if (error == 0 || (error != EPERM && error != ENOENT && error != EOPNOTSUPP && error != EXDEV)) {
      return error;
    }
    temp.clear();  // the unnamed file could not be linked here: write a named one instead
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    return errno;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temp = TempName(folder, fileName);
    Descriptor named(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
    if (named.get() < 0) {
      if (errno == EEXIST) {
        continue;
      }
      const int error = errno;
      temp.clear();
      return error;
    }
    int error = WriteAndSync(named.get(), mode, bytes);
    if (const int closed = named.Close(); error == 0) {
      error = closed;
    }
    if (error != 0) {
      ::unlink(temp.c_str());
      temp.clear();
    }
    return error;
  }
  temp.clear();
  return EEXIST;
}

}  // namespace

// The rename is only durable once the folder's entry is on disk; some file systems cannot sync a
// folder, and the file is in place by then, so failures are ignored.
void SyncFolder(const std::string& folder) noexcept {
  const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) {
    ::fsync(fd.get());
  }
}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) noexcept {
  try {
    mode_t mode = 0600;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
      if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
      }
      mode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
      return errno;
    }
    const std::string folder = FolderOf(path);
    std::string temp;
    if (const int error = WriteTemporary(folder, FileNameOf(path), mode, bytes, temp)) {
      return error;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      const int error = errno;
      ::unlink(temp.c_str());
      return error;
    }
    SyncFolder(folder);
    return 0;
  } catch (...) {
    return ENOMEM;
  }
}

}  // namespace kelvane
