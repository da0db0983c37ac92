#include "platform/clipboard.h"

namespace kelvane {

bool MemoryClipboard::Open() {
  if (busy) {
    return false;
  }
  ++openCount;
  return true;
}

void MemoryClipboard::Close() {
  if (openCount > 0) {
    --openCount;
  }
}

std::optional<std::string> MemoryClipboard::TextBlock() {
  const auto found = formats.find("text/plain");
  if (found == formats.end()) {
    return std::nullopt;
  }
  return found->second + '\0';
}

void MemoryClipboard::Empty() {
  formats.clear();
}

bool MemoryClipboard::SetText(const std::string& text) {
  if (failAllocation) {
    return false;
  }
  formats["text/plain"] = text;
  return true;
}

}  // namespace kelvane
