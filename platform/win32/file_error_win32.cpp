#include "platform/win32/file_error_win32.h"

#include <windows.h>

namespace kelvane {

namespace {

struct CauseOf {
  DWORD error;
  FileCause cause;
};

// The framework's own table from system error codes to file exception causes, plus the ends of a
// pipe: a reader that went away is the output's end, as EPIPE is on POSIX.
constexpr CauseOf kCauses[] = {
    {ERROR_FILE_NOT_FOUND, FileCause::FileNotFound},
    {ERROR_PATH_NOT_FOUND, FileCause::BadPath},
    {ERROR_TOO_MANY_OPEN_FILES, FileCause::TooManyOpenFiles},
    {ERROR_ACCESS_DENIED, FileCause::AccessDenied},
    {ERROR_INVALID_HANDLE, FileCause::InvalidFile},
    {ERROR_BAD_FORMAT, FileCause::InvalidFile},
    {ERROR_INVALID_ACCESS, FileCause::AccessDenied},
    {ERROR_INVALID_DRIVE, FileCause::BadPath},
    {ERROR_CURRENT_DIRECTORY, FileCause::RemoveCurrentDir},
    {ERROR_NOT_SAME_DEVICE, FileCause::BadPath},
    {ERROR_NO_MORE_FILES, FileCause::FileNotFound},
    {ERROR_WRITE_PROTECT, FileCause::AccessDenied},
    {ERROR_BAD_UNIT, FileCause::HardIO},
    {ERROR_NOT_READY, FileCause::HardIO},
    {ERROR_BAD_COMMAND, FileCause::HardIO},
    {ERROR_CRC, FileCause::HardIO},
    {ERROR_BAD_LENGTH, FileCause::BadSeek},
    {ERROR_SEEK, FileCause::BadSeek},
    {ERROR_NOT_DOS_DISK, FileCause::InvalidFile},
    {ERROR_SECTOR_NOT_FOUND, FileCause::BadSeek},
    {ERROR_WRITE_FAULT, FileCause::AccessDenied},
    {ERROR_READ_FAULT, FileCause::BadSeek},
    {ERROR_SHARING_VIOLATION, FileCause::SharingViolation},
    {ERROR_LOCK_VIOLATION, FileCause::LockViolation},
    {ERROR_WRONG_DISK, FileCause::BadPath},
    {ERROR_SHARING_BUFFER_EXCEEDED, FileCause::TooManyOpenFiles},
    {ERROR_HANDLE_EOF, FileCause::EndOfFile},
    {ERROR_HANDLE_DISK_FULL, FileCause::DiskFull},
    {ERROR_DUP_NAME, FileCause::BadPath},
    {ERROR_BAD_NETPATH, FileCause::BadPath},
    {ERROR_NETWORK_BUSY, FileCause::AccessDenied},
    {ERROR_DEV_NOT_EXIST, FileCause::BadPath},
    {ERROR_ADAP_HDW_ERR, FileCause::HardIO},
    {ERROR_BAD_NET_RESP, FileCause::AccessDenied},
    {ERROR_UNEXP_NET_ERR, FileCause::HardIO},
    {ERROR_BAD_REM_ADAP, FileCause::InvalidFile},
    {ERROR_NO_SPOOL_SPACE, FileCause::DirectoryFull},
    {ERROR_NETNAME_DELETED, FileCause::AccessDenied},
    {ERROR_NETWORK_ACCESS_DENIED, FileCause::AccessDenied},
    {ERROR_BAD_DEV_TYPE, FileCause::InvalidFile},
    {ERROR_BAD_NET_NAME, FileCause::BadPath},
    {ERROR_TOO_MANY_NAMES, FileCause::TooManyOpenFiles},
    {ERROR_SHARING_PAUSED, FileCause::BadPath},
    {ERROR_REQ_NOT_ACCEP, FileCause::AccessDenied},
    {ERROR_FILE_EXISTS, FileCause::AccessDenied},
    {ERROR_CANNOT_MAKE, FileCause::AccessDenied},
    {ERROR_ALREADY_ASSIGNED, FileCause::BadPath},
    {ERROR_INVALID_PASSWORD, FileCause::AccessDenied},
    {ERROR_NET_WRITE_FAULT, FileCause::HardIO},
    {ERROR_DISK_CHANGE, FileCause::FileNotFound},
    {ERROR_DRIVE_LOCKED, FileCause::LockViolation},
    {ERROR_BUFFER_OVERFLOW, FileCause::BadPath},
    {ERROR_DISK_FULL, FileCause::DiskFull},
    {ERROR_NO_MORE_SEARCH_HANDLES, FileCause::TooManyOpenFiles},
    {ERROR_INVALID_TARGET_HANDLE, FileCause::InvalidFile},
    {ERROR_INVALID_CATEGORY, FileCause::HardIO},
    {ERROR_INVALID_NAME, FileCause::BadPath},
    {ERROR_INVALID_LEVEL, FileCause::BadPath},
    {ERROR_NO_VOLUME_LABEL, FileCause::BadPath},
    {ERROR_NEGATIVE_SEEK, FileCause::BadSeek},
    {ERROR_SEEK_ON_DEVICE, FileCause::BadSeek},
    {ERROR_DIR_NOT_ROOT, FileCause::BadPath},
    {ERROR_DIR_NOT_EMPTY, FileCause::RemoveCurrentDir},
    {ERROR_LABEL_TOO_LONG, FileCause::BadPath},
    {ERROR_BAD_PATHNAME, FileCause::BadPath},
    {ERROR_LOCK_FAILED, FileCause::LockViolation},
    {ERROR_BUSY, FileCause::AccessDenied},
    {ERROR_INVALID_ORDINAL, FileCause::InvalidFile},
    {ERROR_ALREADY_EXISTS, FileCause::AccessDenied},
    {ERROR_INVALID_EXE_SIGNATURE, FileCause::InvalidFile},
    {ERROR_BAD_EXE_FORMAT, FileCause::InvalidFile},
    {ERROR_FILENAME_EXCED_RANGE, FileCause::BadPath},
    {ERROR_META_EXPANSION_TOO_LONG, FileCause::BadPath},
    {ERROR_DIRECTORY, FileCause::BadPath},
    {ERROR_OPERATION_ABORTED, FileCause::HardIO},
    {ERROR_IO_INCOMPLETE, FileCause::HardIO},
    {ERROR_IO_PENDING, FileCause::HardIO},
    {ERROR_SWAPERROR, FileCause::AccessDenied},
    {ERROR_BROKEN_PIPE, FileCause::EndOfFile},
    {ERROR_NO_DATA, FileCause::EndOfFile},
};

}  // namespace

FileCause CauseFromWindowsError(unsigned long error) {
  for (const CauseOf& entry : kCauses) {
    if (entry.error == error) {
      return entry.cause;
    }
  }
  return FileCause::Generic;
}

void ThrowWindowsError(unsigned long error, const std::string& path) {
  throw FileException(CauseFromWindowsError(error), path, static_cast<int>(error));
}

}  // namespace kelvane
