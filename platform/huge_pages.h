// Asking for huge pages for large buffers, where the system grants them on request.
#pragma once

#include <cstddef>

namespace kelvane {

// Advises huge pages for the whole 2 MiB pages inside [data, data + size); harmless elsewhere.
void AdviseHugePages(void* data, std::size_t size);

}  // namespace kelvane
