#include "platform/memory.h"

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace kelvane {

std::optional<std::uint64_t> AvailableMemory() {
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  std::optional<std::uint64_t> available, swapFree;
  while (std::getline(meminfo, line)) {
    std::istringstream fields(line);
    std::string name;
    std::uint64_t kibibytes = 0;
    if (!(fields >> name >> kibibytes)) {
      continue;
    }
    if (name == "MemAvailable:") {
      available = kibibytes * 1024;
    } else if (name == "SwapFree:") {
      swapFree = kibibytes * 1024;
    }
  }
  if (!available) {
    return std::nullopt;
  }
  std::uint64_t total = *available + swapFree.value_or(0);
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    total = std::min<std::uint64_t>(total, limit.rlim_cur);
  }
  return total;
}

}  // namespace kelvane
