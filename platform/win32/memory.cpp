#include "platform/memory.h"

#include <windows.h>

#include <algorithm>

namespace kelvane {

// What a new allocation can have is bounded by the commit the system can still grant (memory plus
// the paging file, which is what ullAvailPageFile counts) and, in a 32-bit process, by the address
// space left.
std::optional<std::uint64_t> AvailableMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (::GlobalMemoryStatusEx(&status) == 0) {
    return std::nullopt;
  }
  return std::min<std::uint64_t>(status.ullAvailPageFile, status.ullAvailVirtual);
}

}  // namespace kelvane
