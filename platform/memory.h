// How much memory the system can still give this program.
#pragma once

#include <cstdint>
#include <optional>

namespace kelvane {

// The memory available to a new allocation: free and reclaimable memory plus free swap, or the
// room left under an address-space limit when that is smaller. Nothing when it cannot be told.
std::optional<std::uint64_t> AvailableMemory();

}  // namespace kelvane
