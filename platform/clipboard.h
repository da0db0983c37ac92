// The system clipboard as the core sees it, and an in-memory clipboard for tests and tools.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace kelvane {

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
