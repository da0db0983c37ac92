#include "platform/system_clipboard.h"

namespace kelvane {

std::unique_ptr<Clipboard> SystemClipboard() {
  return nullptr;
}

}  // namespace kelvane
