// Value texts of any length: what one pass over a text finds, and lists kept in mapped files or
// in memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/mapped_file.h"

namespace kelvane {

// 256 flags, one per byte value.
using ByteSet = std::array<bool, 256>;

// What a value text holds, found in one pass. The byte sets are of upper-cased bytes: the first
// and last of the lines ended by a line feed, and any of the whole text. A byte from 0x80 up in
// them stands for every such byte, since upper-casing may change those.
struct TextScan {
  std::int64_t lineFeeds = 0;
  size_t lastLineFeed = std::string_view::npos;
  std::int64_t crLineFeeds = 0;  // of them, those right after a carriage return (CR LF)
  bool validUtf8 = true;
  bool ascii = true;
  // Of the lines ended by a line feed: whether one is empty once its carriage return is dropped,
  // and whether one starts with "%%" and so may be a counter expression.
  bool emptyLine = false;
  bool counterLine = false;
  ByteSet firstBytes{};  // first bytes of the lines, carriage returns dropped
  ByteSet lastBytes{};   // last bytes of the lines, carriage returns dropped
  ByteSet anyBytes{};    // every byte of the text

  // The text's line count, as CountLines gives it.
  [[nodiscard]] int Lines(std::string_view text) const;

  bool operator==(const TextScan&) const = default;
};

// Told now and then that the bytes in [begin, end) are scanned; from two threads at once for a
// long text.
using ScanProgress = std::function<void(size_t begin, size_t end)>;

// Scans text once. Every byte is reported to progress, when given, once it is scanned.
TextScan ScanText(std::string_view text, const ScanProgress& progress = {});

// A value text held outside the job, scanned once when it is made: read from a file, or taken
// over from memory.
class ValueList {
 public:
  // Maps the list file at path. Throws FileException.
  explicit ValueList(const std::string& path);
  // Holds text itself; nothing of it is ever given back or cut short.
  static ValueList FromText(std::string text);

  [[nodiscard]] std::string_view text() const { return file_ != nullptr ? file_->bytes() : std::string_view(text_); }
  [[nodiscard]] const TextScan& scan() const { return scan_; }
  // Tells the list that the bytes in [begin, end) will not be read again soon. A list small enough
  // to stay in memory whole keeps them, which spares faulting them in again.
  void Release(size_t begin, size_t end) const;
  // Throws the file error for reading past the file's end once another program has cut the file
  // short: what was read from it since may be wrong.
  void ThrowIfCutShort() const;

 private:
  ValueList() = default;

  std::string path_;
  std::unique_ptr<MappedFile> file_;  // nullptr for a text held in memory
  std::string text_;
  TextScan scan_;
};

}  // namespace kelvane
