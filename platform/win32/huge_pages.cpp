#include "platform/huge_pages.h"

namespace kelvane {

// Large pages on Windows need the "Lock pages in memory" privilege, which users do not hold.
void AdviseHugePages(void* /*data*/, std::size_t /*size*/) {}

}  // namespace kelvane
