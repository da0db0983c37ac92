#include "platform/clipboard.h"

namespace kelvane {

namespace {

class GatheredText : public ClipboardText {
 public:
  explicit GatheredText(std::uint64_t sizeHint) { text.reserve(static_cast<size_t>(sizeHint)); }
  void Append(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

}  // namespace

std::unique_ptr<ClipboardText> Clipboard::NewText(std::uint64_t sizeHint) {
  return std::make_unique<GatheredText>(sizeHint);
}

bool Clipboard::SetPreparedText(std::unique_ptr<ClipboardText> text) {
  auto* gathered = dynamic_cast<GatheredText*>(text.get());
  return gathered != nullptr && SetText(gathered->text);
}

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
