#include "engine/value_list.h"

#include <climits>
#include <cstring>
#include <utility>

#include "engine/line_feeds.h"
#include "engine/utf8.h"
#include "platform/file_error.h"

namespace kelvane {

namespace {

// Bytes scanned between two progress calls, and how much of a mapped list stays in memory at most.
constexpr size_t kProgressStep = size_t{32} << 20;

// Collects a text's facts as its bytes and lines go by.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  void Line(size_t start, size_t feed) {
    size_t end = feed;
    if (end > start && text_[end - 1] == '\r') {
      --end;
      ++scan_.crLineFeeds;
    }
    if (end == start) {
      scan_.emptyLine = true;
      return;
    }
    scan_.firstBytes[static_cast<unsigned char>(text_[start])] = true;
    scan_.lastBytes[static_cast<unsigned char>(text_[end - 1])] = true;
    if (end - start >= 2 && text_[start] == '%' && text_[start + 1] == '%') {
      scan_.counterLine = true;
    }
  }

  TextScan Finish() {
    // Lower-case ASCII letters upper-case; any byte beyond ASCII may become any other.
    for (ByteSet* set : {&scan_.firstBytes, &scan_.lastBytes, &scan_.anyBytes}) {
      bool high = false;
      for (int c = 0; c < 256; ++c) {
        high = high || (c >= 0x80 && (*set)[static_cast<size_t>(c)]);
      }
      for (int c = 'a'; c <= 'z'; ++c) {
        if ((*set)[static_cast<size_t>(c)]) {
          (*set)[static_cast<size_t>(c - ('a' - 'A'))] = true;
          (*set)[static_cast<size_t>(c)] = false;
        }
      }
      for (int c = 0x80; c < 256 && high; ++c) {
        (*set)[static_cast<size_t>(c)] = true;
      }
    }
    return scan_;
  }

  TextScan scan_;

 private:
  std::string_view text_;
};

}  // namespace

int TextScan::Lines(std::string_view text) const {
  const bool openLast = lastLineFeed == std::string_view::npos ? !text.empty() : lastLineFeed + 1 < text.size();
  const std::int64_t lines = lineFeeds + (openLast ? 1 : 0);
  // A value text can hold more lines than an int counts; the repeat count can never match those.
  return lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
}

// One pass that reads each byte once: a word of eight ASCII bytes at a time, otherwise one
// character. This replaces a pass per question (line count, encoding, case, counters).
TextScan ScanText(std::string_view text, const std::function<void(size_t)>& progress) {
  Scanner scanner(text);
  TextScan& scan = scanner.scan_;
  bool* any = scan.anyBytes.data();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  size_t lineStart = 0;
  size_t nextProgress = kProgressStep;
  size_t pos = 0;
  while (pos < size) {
    if (pos >= nextProgress && progress) {
      progress(pos);
      nextProgress = pos + kProgressStep;
    }
    if (pos + 8 <= size) {
      const std::uint64_t word = LoadWord(text.data() + pos);
      if ((word & 0x8080808080808080ULL) == 0) {
        for (size_t i = 0; i < 8; ++i) {
          any[bytes[pos + i]] = true;
        }
        for (std::uint64_t feeds = LineFeedBytes(word); feeds != 0; feeds &= feeds - 1) {
          const size_t feed = pos + static_cast<size_t>(std::countr_zero(feeds)) / 8;
          scanner.Line(lineStart, feed);
          ++scan.lineFeeds;
          lineStart = feed + 1;
        }
        pos += 8;
        continue;
      }
    }
    const unsigned char byte = bytes[pos];
    any[byte] = true;
    if (byte < 0x80) {
      if (byte == '\n') {
        scanner.Line(lineStart, pos);
        ++scan.lineFeeds;
        lineStart = pos + 1;
      }
      ++pos;
      continue;
    }
    scan.ascii = false;
    const size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) {
      scan.validUtf8 = false;
    }
    pos += length == 0 ? 1 : length;
  }
  if (scan.lineFeeds != 0) {
    scan.lastLineFeed = lineStart - 1;
  }
  return scanner.Finish();
}

void ValueList::Release(size_t begin, size_t end) const {
  if (file_ != nullptr && text().size() > kProgressStep) {
    file_->Release(begin, end);
  }
}

void ValueList::ThrowIfCutShort() const {
  if (file_ != nullptr && file_->cutShort()) {
    throw FileException(FileCause::EndOfFile, path_);
  }
}

ValueList::ValueList(const std::string& path) : path_(path), file_(MappedFile::Open(path)) {
  // What has been scanned is given back as the scan goes on, so a huge list never fills memory.
  size_t released = 0;
  scan_ = ScanText(file_->bytes(), [&](size_t done) {
    Release(released, done);
    released = done;
  });
  Release(released, file_->bytes().size());
  ThrowIfCutShort();
}

ValueList ValueList::FromText(std::string text) {
  ValueList list;
  list.text_ = std::move(text);
  list.scan_ = ScanText(list.text_);
  return list;
}

}  // namespace kelvane
