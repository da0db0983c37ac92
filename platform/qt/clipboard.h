// The system clipboard through QClipboard, its text as UTF-8 bytes.
#pragma once

#include "platform/clipboard.h"

namespace kelvane {

class QtClipboard : public Clipboard {
 public:
  // Always true: QClipboard needs no opening, so nothing can hold it; calls are only counted.
  bool Open() override;
  // Ends one Open().
  void Close() override;
  // The clipboard's text plus a terminating NUL; nothing when it offers no text.
  std::optional<std::string> TextBlock() override;
  // Removes every format.
  void Empty() override;
  // Replaces the text (text/plain) and keeps every other format; false when memory runs out.
  bool SetText(const std::string& text) override;
  // A QString with room for sizeHint bytes' worth of UTF-16, filled piece by piece on any thread.
  std::unique_ptr<ClipboardText> NewText(std::uint64_t sizeHint) override;
  // Puts the QString on the clipboard as it is, without a copy; keeps every other format.
  bool SetPreparedText(std::unique_ptr<ClipboardText> text) override;

  // How many Open() calls have no Close() yet.
  [[nodiscard]] int openCount() const { return openCount_; }

 private:
  int openCount_ = 0;
};

}  // namespace kelvane
