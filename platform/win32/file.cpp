#include "platform/file.h"

#include <windows.h>
// After windows.h, which it needs.
#include <io.h>
#include <pthread.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/win32/file_error_win32.h"
#include "platform/win32/handle_io.h"
#include "platform/win32/wide.h"

namespace kelvane {

namespace {

// What ReadAll() reads at a time from something that does not tell its size.
constexpr size_t kReadPiece = size_t{1} << 20;

HANDLE AsHandle(NativeFile file) {
  return static_cast<HANDLE>(file);
}

[[noreturn]] void ThrowLastError(const std::string& path) {
  ThrowWindowsError(::GetLastError(), path);
}

bool IsDiskFile(NativeFile file) {
  return ::GetFileType(AsHandle(file)) == FILE_TYPE_DISK;
}

void Seek(NativeFile file, DWORD from, const std::string& path) {
  // Pipes and consoles have no position, as on POSIX where their seek fails with ESPIPE.
  if (!IsDiskFile(file)) {
    return;
  }
  if (::SetFilePointerEx(AsHandle(file), LARGE_INTEGER{}, nullptr, from) == 0) {
    ThrowLastError(path);
  }
}

// A second handle on one of the process's standard handles, which stays the process's own.
NativeFile DuplicateStandard(DWORD which, const std::string& name) {
  const HANDLE standard = ::GetStdHandle(which);
  if (standard == nullptr || standard == INVALID_HANDLE_VALUE) {
    ThrowWindowsError(ERROR_INVALID_HANDLE, name);
  }
  HANDLE copy = nullptr;
  if (::DuplicateHandle(::GetCurrentProcess(), standard, ::GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) == 0) {
    ThrowLastError(name);
  }
  return copy;
}

// The system's temporary folder, with its closing backslash.
std::wstring TempFolder() {
  std::wstring folder(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0) {
      return {};
    }
    if (length < folder.size()) {
      folder.resize(length);
      return folder;
    }
    folder.resize(length + 1);
  }
}

}  // namespace

void File::CloseQuietly(NativeFile file) noexcept {
  if (file != kNoNativeFile) {
    ::CloseHandle(AsHandle(file));
  }
}

// Share mode 0 is the system's own "no sharing": while the file is open here, every other opener
// gets a sharing violation, and a file someone else has open is neither opened nor truncated.
File File::Open(const std::string& path, Mode mode) {
  // An empty name would be the current folder's entry to the system; it names no file.
  if (path.empty()) {
    ThrowWindowsError(ERROR_PATH_NOT_FOUND, path);
  }
  DWORD access = GENERIC_WRITE;
  DWORD share = 0;
  DWORD disposition = CREATE_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case Mode::CreateWrite: break;
    case Mode::OpenWrite: disposition = OPEN_EXISTING; break;
    case Mode::CreateReadWrite: access |= GENERIC_READ; break;
    case Mode::Read:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      disposition = OPEN_EXISTING;
      flags |= FILE_FLAG_SEQUENTIAL_SCAN;
      break;
  }
  const HANDLE handle = ::CreateFileW(Widen(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ThrowLastError(path);
  }
  return File(handle, path);
}

File File::CreateTemp() {
  const std::wstring folder = TempFolder();
  const std::string pattern = Narrow(folder) + "KVXXXX.tmp";
  // The system makes the file under a name no other file has, and closes it; it is then opened
  // again without sharing, to go when it is closed, however the program ends.
  std::wstring name(folder.size() + MAX_PATH, L'\0');
  if (folder.empty() || ::GetTempFileNameW(folder.c_str(), L"KV", 0, name.data()) == 0) {
    ThrowLastError(pattern);
  }
  name.resize(name.find(L'\0'));
  const std::string path = Narrow(name);
  const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(name.c_str());
    ThrowWindowsError(error, path);
  }
  return File(handle, path);
}

File File::Adopt(int fd, std::string name) {
  const auto crtHandle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  HANDLE own = nullptr;
  const bool duplicated =
      crtHandle != INVALID_HANDLE_VALUE && ::DuplicateHandle(::GetCurrentProcess(), crtHandle, ::GetCurrentProcess(),
                                                             &own, 0, FALSE, DUPLICATE_SAME_ACCESS) != 0;
  const DWORD error = duplicated ? ERROR_SUCCESS : ::GetLastError();
  ::_close(fd);
  if (!duplicated) {
    ThrowWindowsError(error == ERROR_SUCCESS ? ERROR_INVALID_HANDLE : error, name);
  }
  return File(own, std::move(name));
}

File File::StandardInput() {
  return File(DuplicateStandard(STD_INPUT_HANDLE, "standard input"), "standard input");
}

File File::StandardOutput() {
  return File(DuplicateStandard(STD_OUTPUT_HANDLE, "standard output"), "standard output");
}

void File::WriteOut(std::string_view data) {
  if (const DWORD error = WriteFully(AsHandle(fd_), data, &interrupted_)) {
    if (error == ERROR_OPERATION_ABORTED && interrupted_.load()) {
      throw WriteInterrupted();
    }
    ThrowWindowsError(error, path_);
  }
}

void File::SeekToEnd() {
  Flush();
  Seek(fd_, FILE_END, path_);
}

void File::Truncate() {
  SeekToStart();
  if (::SetEndOfFile(AsHandle(fd_)) == 0) {
    ThrowLastError(path_);
  }
}

void File::SeekToStart() {
  Flush();
  if (::SetFilePointerEx(AsHandle(fd_), LARGE_INTEGER{}, nullptr, FILE_BEGIN) == 0) {
    ThrowLastError(path_);
  }
}

// A write that blocks (a pipe nobody reads) is synchronous I/O of the writer thread: cancelling it
// makes WriteFile fail with ERROR_OPERATION_ABORTED.
void File::Interrupt(std::thread& writer) {
  interrupted_ = true;
  const auto thread = static_cast<HANDLE>(::pthread_gethandle(writer.native_handle()));
  if (thread != nullptr) {
    ::CancelSynchronousIo(thread);
  }
}

void File::Close() {
  if (fd_ == kNoNativeFile) {
    return;
  }
  try {
    Flush();
  } catch (...) {
    CloseQuietly(std::exchange(fd_, kNoNativeFile));
    throw;
  }
  if (::CloseHandle(AsHandle(std::exchange(fd_, kNoNativeFile))) == 0) {
    ThrowLastError(path_);
  }
}

std::string File::ReadAll() {
  std::string data;
  LARGE_INTEGER size{};
  if (IsDiskFile(fd_) && ::GetFileSizeEx(AsHandle(fd_), &size) != 0 && size.QuadPart > 0) {
    if (static_cast<std::uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max() / 2) {
      throw std::bad_alloc();
    }
    data.reserve(static_cast<size_t>(size.QuadPart) + 1);
  }
  // Read straight into the string; a final read of 0 bytes finds the end.
  size_t used = 0;
  for (;;) {
    if (data.size() - used < kReadPiece / 16) {
      data.resize(std::max(data.capacity(), used + kReadPiece));
    }
    const size_t got = Read(data.data() + used, data.size() - used);
    if (got == 0) {
      data.resize(used);
      return data;
    }
    used += got;
  }
}

size_t File::Read(char* buffer, size_t size) {
  DWORD got = 0;
  const auto wanted = static_cast<DWORD>(std::min<size_t>(size, kLargestTransfer));
  if (::ReadFile(AsHandle(fd_), buffer, wanted, &got, nullptr) == 0) {
    const DWORD error = ::GetLastError();
    // The writer of a pipe closed its end: the input has ended.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
      return 0;
    }
    ThrowWindowsError(error, path_);
  }
  return got;
}

std::uint64_t File::Size() const {
  LARGE_INTEGER size{};
  return IsDiskFile(fd_) && ::GetFileSizeEx(AsHandle(fd_), &size) != 0 ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool File::Exists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace kelvane
