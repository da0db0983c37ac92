#include "platform/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace kelvane {

// A list of millions of values, or the buffers a huge run fills, spans thousands of pages; with
// huge pages a few faults fill them instead, which matters most on virtual machines.
void AdviseHugePages(void* data, std::size_t size) {
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
  if (end > begin) {
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
}

}  // namespace kelvane
