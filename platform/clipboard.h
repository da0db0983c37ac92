// The system clipboard as the core sees it, and an in-memory clipboard for tests and tools.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// A text being made ready for the clipboard piece by piece, on any thread, in the clipboard's own
// form, so that putting it on the clipboard later copies nothing.
class ClipboardText {
 public:
  virtual ~ClipboardText() = default;
  // Appends the next bytes, which end on a whole UTF-8 character unless they are the last; throws
  // std::bad_alloc when memory runs out.
  virtual void Append(std::string_view bytes) = 0;
};

// Accessed between Open() and Close(), as the system clipboard must be.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // False when another program holds the clipboard.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // The text as the clipboard holds it; the block may run past the text's terminating NUL.
  // Nothing when the clipboard holds no text.
  virtual std::optional<std::string> TextBlock() = 0;
  // Removes every format.
  virtual void Empty() = 0;
  // Puts text (without terminator) on the clipboard as its text format; other formats stay.
  // False when the memory for it cannot be had.
  virtual bool SetText(const std::string& text) = 0;
  // An empty text for SetPreparedText(), with room for about sizeHint bytes; any thread may fill it.
  // The default gathers the bytes for SetText().
  virtual std::unique_ptr<ClipboardText> NewText(std::uint64_t sizeHint);
  // Puts a text from NewText() on the clipboard as its text format, as SetText() does.
  virtual bool SetPreparedText(std::unique_ptr<ClipboardText> text);
};

class MemoryClipboard : public Clipboard {
 public:
  bool Open() override;
  void Close() override;
  std::optional<std::string> TextBlock() override;
  void Empty() override;
  bool SetText(const std::string& text) override;

  // What another program put there: formats by MIME type, text as "text/plain".
  std::map<std::string, std::string> formats;
  // Makes the next Open() fail, as when another program holds the clipboard.
  bool busy = false;
  // Makes SetText() fail, as when memory runs out.
  bool failAllocation = false;
  // How many times the clipboard is open right now; 0 between accesses.
  int openCount = 0;
};

}  // namespace kelvane
