#include "platform/mapped_file.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/win32/wide.h"

namespace kelvane {

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path) {
  std::unique_ptr<MappedFile> owner(new MappedFile());
  MappedFile& mapped = *owner;
  mapped.file_ = File::Open(path, File::Mode::Read);
  const std::uint64_t size = mapped.file_.Size();
  // A view larger than the address space (a 32-bit process) cannot be had; reading it whole would
  // fail as well, with the "Out of memory." report.
  if (size > 0 && static_cast<std::uint64_t>(static_cast<size_t>(size)) == size) {
    const HANDLE mapping = ::CreateFileMappingW(mapped.file_.descriptor(), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping != nullptr) {
      // The view keeps the mapping object alive on its own.
      void* data = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
      ::CloseHandle(mapping);
      if (data != nullptr) {
        mapped.mapping_ = data;
        mapped.mappedSize_ = static_cast<size_t>(size);
        mapped.bytes_ = std::string_view(static_cast<const char*>(data), mapped.mappedSize_);
        return owner;
      }
    }
  }
  mapped.read_ = mapped.file_.ReadAll();
  mapped.bytes_ = mapped.read_;
  return owner;
}

MappedFile::~MappedFile() {
  if (mapping_ != nullptr) {
    ::UnmapViewOfFile(mapping_);
  }
}

// Unlocking pages that are not locked takes them out of the working set (a documented effect of
// VirtualUnlock): they stay in the system's cache and come back from there, or the file, when read.
void MappedFile::Release(size_t begin, size_t end) const noexcept {
  if (mapping_ == nullptr) {
    return;
  }
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  begin = (begin + page - 1) / page * page;
  end = std::min(end, mappedSize_) / page * page;
  if (end > begin) {
    ::VirtualUnlock(static_cast<char*>(mapping_) + begin, end - begin);
  }
}

namespace {

// The volume and index that name a file whatever path reaches it; nothing for a path that names none.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  // No access asked, so even a file held without sharing can be looked at.
  const HANDLE handle = ::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return known;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return !a.empty() && !b.empty() && FileIdentity(a, first) && FileIdentity(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace kelvane
