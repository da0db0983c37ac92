// The new bytes go to a file in the target's own folder, are flushed to the disk, and are moved over
// the target in one step that is itself written through, so a crash, a kill or a full disk leaves
// the old file or the new one.

#include "platform/atomic_replace.h"

#include <windows.h>

#include "platform/win32/handle_io.h"
#include "platform/win32/wide.h"

namespace kelvane {

namespace {

constexpr int kNameAttempts = 100;

// Writes bytes to a new file beside the target, named temp, flushed and closed.
DWORD WriteTemporary(const std::string& folder, const std::string& fileName, std::string_view bytes,
                     std::wstring& temp) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const bool separated = folder.back() == '\\' || folder.back() == '/';
    temp = Widen(folder + (separated ? "" : "\\") + ReplacementTempName(fileName));
    const HANDLE handle =
        ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
        continue;
      }
      temp.clear();
      return error;
    }
    DWORD error = WriteFully(handle, bytes);
    if (error == 0 && ::FlushFileBuffers(handle) == 0) {
      error = ::GetLastError();
    }
    if (::CloseHandle(handle) == 0 && error == 0) {
      error = ::GetLastError();
    }
    if (error != 0) {
      ::DeleteFileW(temp.c_str());
      temp.clear();
    }
    return error;
  }
  temp.clear();
  return ERROR_FILE_EXISTS;
}

}  // namespace

// NTFS journals its folders; the move is written through, so there is nothing left to sync.
void SyncFolder(const std::string& /*folder*/) noexcept {}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) noexcept {
  try {
    const std::wstring target = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      // A folder, or a link or junction that would be replaced rather than written through.
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ERROR_DIRECTORY;
      }
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ERROR_INVALID_PARAMETER;
      }
    } else if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND) {
      return static_cast<int>(error);
    }
    std::wstring temp;
    if (const DWORD error = WriteTemporary(FolderOf(path), FileNameOf(path), bytes, temp)) {
      return static_cast<int>(error);
    }
    if (::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
      const DWORD error = ::GetLastError();
      ::DeleteFileW(temp.c_str());
      return static_cast<int>(error);
    }
    return 0;
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

}  // namespace kelvane
