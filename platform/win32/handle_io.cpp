#include "platform/win32/handle_io.h"

#include <algorithm>

namespace kelvane {

DWORD WriteFully(HANDLE handle, std::string_view bytes, const std::atomic<bool>* stop) noexcept {
  while (!bytes.empty()) {
    if (stop != nullptr && stop->load()) {
      return ERROR_OPERATION_ABORTED;
    }
    const auto size = static_cast<DWORD>(std::min<size_t>(bytes.size(), kLargestTransfer));
    DWORD written = 0;
    if (::WriteFile(handle, bytes.data(), size, &written, nullptr) == 0) {
      return ::GetLastError();
    }
    // Nothing taken and no error: nowhere left to put the bytes.
    if (written == 0) {
      return ERROR_HANDLE_DISK_FULL;
    }
    bytes.remove_prefix(written);
  }
  return 0;
}

}  // namespace kelvane
