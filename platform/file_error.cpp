#include "platform/file_error.h"

#include <cerrno>
#include <filesystem>
#include <new>
#include <stdexcept>

#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

int ReportId(FileCause cause) {
  switch (cause) {
    case FileCause::Generic: return IDS_FILE_GENERIC;
    case FileCause::FileNotFound: return IDS_FILE_NOT_FOUND;
    case FileCause::BadPath: return IDS_FILE_BAD_PATH;
    case FileCause::TooManyOpenFiles: return IDS_FILE_TOO_MANY_OPEN;
    case FileCause::AccessDenied: return IDS_FILE_ACCESS_DENIED;
    case FileCause::InvalidFile: return IDS_FILE_INVALID_FILE;
    case FileCause::RemoveCurrentDir: return IDS_FILE_REMOVE_CURRENT;
    case FileCause::DirectoryFull: return IDS_FILE_DIR_FULL;
    case FileCause::BadSeek: return IDS_FILE_BAD_SEEK;
    case FileCause::HardIO: return IDS_FILE_HARD_IO;
    case FileCause::SharingViolation: return IDS_FILE_SHARING;
    case FileCause::LockViolation: return IDS_FILE_LOCKING;
    case FileCause::DiskFull: return IDS_FILE_DISK_FULL;
    case FileCause::EndOfFile: return IDS_FILE_END_OF_FILE;
  }
  return IDS_FILE_GENERIC;
}

std::string MakeReport(FileCause cause, const std::string& fileName) {
  const std::string& name = fileName.empty() ? res::LoadString(IDS_UNNAMED_FILE) : fileName;
  return FormatFrameworkText(res::LoadString(ReportId(cause)), {name});
}

// Whether the folder that would hold path exists; a missing one makes ENOENT a bad path. The path is
// UTF-8, as every path inside the program is, whatever the system's own narrow encoding.
bool ParentExists(const std::string& path) {
  try {
    std::filesystem::path parent = std::filesystem::path(std::u8string(path.begin(), path.end())).parent_path();
    if (parent.empty()) {
      parent = ".";
    }
    std::error_code error;
    return std::filesystem::is_directory(parent, error);
  } catch (const std::exception&) {
    return false;  // not a path this system can name
  }
}

}  // namespace

FileException::FileException(FileCause cause, std::string fileName, int osError)
    : cause_(cause), fileName_(std::move(fileName)), osError_(osError), report_(MakeReport(cause_, fileName_)) {}

FileCause CauseFromErrno(int error, const std::string& path) {
  switch (error) {
    case ENOENT: return !path.empty() && ParentExists(path) ? FileCause::FileNotFound : FileCause::BadPath;
    // No device or address: a FIFO with no reader, say. Opening a named pipe that no one serves is
    // "not found" on Windows too.
    case ENXIO:
    case ENODEV: return FileCause::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return FileCause::BadPath;
    case EMFILE:
    case ENFILE: return FileCause::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EEXIST: return FileCause::AccessDenied;
    case EBADF: return FileCause::InvalidFile;
    case EMLINK: return FileCause::DirectoryFull;
    case ESPIPE: return FileCause::BadSeek;
    case EIO: return FileCause::HardIO;
    // The reader of a pipe or socket went away: the output has ended.
    case EPIPE:
    case ECONNRESET: return FileCause::EndOfFile;
    case EWOULDBLOCK: return FileCause::SharingViolation;
    case ENOLCK: return FileCause::LockViolation;
    case ENOSPC:
#ifdef EDQUOT  // not in the Windows C runtime
    case EDQUOT:
#endif
      return FileCause::DiskFull;
    default: return FileCause::Generic;
  }
}

void ThrowFileError(int error, const std::string& path) {
  throw FileException(CauseFromErrno(error, path), path, error);
}

std::string ErrorReport(const std::exception& error) {
  if (const auto* fileError = dynamic_cast<const FileException*>(&error)) {
    return fileError->ErrorReport();
  }
  // A string grown past its maximum size is memory running out by another name.
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
      dynamic_cast<const std::length_error*>(&error) != nullptr) {
    return res::LoadString(IDS_MEMORY_EXCEPTION);
  }
  return res::LoadString(IDS_NO_ERROR_AVAILABLE);
}

}  // namespace kelvane
