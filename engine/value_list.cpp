#include "engine/value_list.h"

#include <climits>
#include <cstring>
#include <future>
#include <utility>
#include <vector>

#include "engine/line_feeds.h"
#include "engine/utf8.h"
#include "platform/file_error.h"

namespace kelvane {

namespace {

// A mapped list up to this size stays in memory whole; a larger one has what is scanned given back.
constexpr size_t kKeptWhole = size_t{32} << 20;
// Bytes scanned between two progress calls by each half: together no more than kKeptWhole.
constexpr size_t kProgressStep = kKeptWhole / 2;
// Texts from this size up are scanned in two halves at once: below it a thread costs more than it
// saves.
constexpr size_t kParallelFrom = size_t{4} << 20;
// Texts from this size up mark pairs of bytes rather than bytes: below it, clearing and reading
// the table of pairs costs more than it saves.
constexpr size_t kPairsFrom = size_t{256} << 10;

// Collects the facts of whole lines of a text, and of its tail after the last line feed, as its
// bytes go by.
class Scanner {
 public:
  Scanner(std::string_view text, size_t scanned) : text_(text), pairs_(scanned >= kPairsFrom ? size_t{1} << 16 : 0) {}

  // Scans text[begin, end); begin is 0 or follows a line feed.
  void Scan(size_t begin, size_t end, const ScanProgress& progress);
  TextScan Finish();

  TextScan scan_;

 private:
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

  std::string_view text_;
  // Which pairs of neighbouring bytes occur, at even offsets from a word: half the stores of
  // marking each byte, and every byte is in some pair.
  std::vector<unsigned char> pairs_;
};

// One pass that reads each byte once: a word of eight ASCII bytes at a time, otherwise one
// character. This replaces a pass per question (line count, encoding, case, counters).
void Scanner::Scan(size_t begin, size_t end, const ScanProgress& progress) {
  TextScan& scan = scan_;
  bool* any = scan.anyBytes.data();
  unsigned char* pairs = pairs_.empty() ? nullptr : pairs_.data();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
  size_t lineStart = begin;
  size_t reported = begin;
  size_t pos = begin;
  while (pos < end) {
    if (pos - reported >= kProgressStep && progress) {
      progress(reported, pos);
      reported = pos;
    }
    if (pos + 8 <= end) {
      const std::uint64_t word = LoadWord(text_.data() + pos);
      if ((word & 0x8080808080808080ULL) == 0) {
        if (pairs != nullptr) {
          pairs[word & 0xFFFF] = 1;
          pairs[(word >> 16) & 0xFFFF] = 1;
          pairs[(word >> 32) & 0xFFFF] = 1;
          pairs[word >> 48] = 1;
        } else {
          for (size_t i = 0; i < 8; ++i) {
            any[bytes[pos + i]] = true;
          }
        }
        for (std::uint64_t feeds = LineFeedBytes(word); feeds != 0; feeds &= feeds - 1) {
          const size_t feed = pos + static_cast<size_t>(std::countr_zero(feeds)) / 8;
          Line(lineStart, feed);
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
        Line(lineStart, pos);
        ++scan.lineFeeds;
        lineStart = pos + 1;
      }
      ++pos;
      continue;
    }
    scan.ascii = false;
    const size_t length = Utf8SequenceLength(text_, pos);
    if (length == 0) {
      scan.validUtf8 = false;
    }
    pos += length == 0 ? 1 : length;
  }
  if (lineStart != begin) {
    scan.lastLineFeed = lineStart - 1;
  }
  if (progress) {
    progress(reported, end);
  }
}

TextScan Scanner::Finish() {
  // The word loop's pairs are little-endian: either byte may be anything.
  for (size_t pair = 0; pair < pairs_.size(); ++pair) {
    if (pairs_[pair] != 0) {
      scan_.anyBytes[pair & 0xFF] = true;
      scan_.anyBytes[pair >> 8] = true;
    }
  }
  return scan_;
}

// Adds what a scan of the text after first's found.
void Append(TextScan& first, const TextScan& next) {
  first.lineFeeds += next.lineFeeds;
  first.crLineFeeds += next.crLineFeeds;
  if (next.lastLineFeed != std::string_view::npos) {
    first.lastLineFeed = next.lastLineFeed;
  }
  first.validUtf8 = first.validUtf8 && next.validUtf8;
  first.ascii = first.ascii && next.ascii;
  first.emptyLine = first.emptyLine || next.emptyLine;
  first.counterLine = first.counterLine || next.counterLine;
  for (size_t c = 0; c < first.anyBytes.size(); ++c) {
    first.firstBytes[c] = first.firstBytes[c] || next.firstBytes[c];
    first.lastBytes[c] = first.lastBytes[c] || next.lastBytes[c];
    first.anyBytes[c] = first.anyBytes[c] || next.anyBytes[c];
  }
}

// Lower-case ASCII letters upper-case; any byte beyond ASCII may become any other.
void FoldCase(TextScan& scan) {
  for (ByteSet* set : {&scan.firstBytes, &scan.lastBytes, &scan.anyBytes}) {
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
}

TextScan ScanRange(std::string_view text, size_t begin, size_t end, const ScanProgress& progress) {
  Scanner scanner(text, end - begin);
  scanner.Scan(begin, end, progress);
  return scanner.Finish();
}

}  // namespace

int TextScan::Lines(std::string_view text) const {
  const bool openLast = lastLineFeed == std::string_view::npos ? !text.empty() : lastLineFeed + 1 < text.size();
  const std::int64_t lines = lineFeeds + (openLast ? 1 : 0);
  // A value text can hold more lines than an int counts; the repeat count can never match those.
  return lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
}

// A long text is cut after a line feed near its middle and its halves scanned on two threads:
// neither half then holds part of a line or of a character of the other.
TextScan ScanText(std::string_view text, const ScanProgress& progress) {
  size_t half = text.size();
  if (text.size() >= kParallelFrom) {
    const size_t feed = text.find('\n', text.size() / 2);
    half = feed == std::string_view::npos ? text.size() : feed + 1;
  }
  TextScan scan;
  if (half < text.size()) {
    auto second = std::async(std::launch::async, ScanRange, text, half, text.size(), std::cref(progress));
    scan = ScanRange(text, 0, half, progress);
    Append(scan, second.get());
  } else {
    scan = ScanRange(text, 0, text.size(), progress);
  }
  FoldCase(scan);
  return scan;
}

void ValueList::Release(size_t begin, size_t end) const {
  if (file_ != nullptr && text().size() > kKeptWhole) {
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
  scan_ = ScanText(file_->bytes(), [this](size_t begin, size_t end) { Release(begin, end); });
  ThrowIfCutShort();
}

ValueList ValueList::FromText(std::string text) {
  ValueList list;
  list.text_ = std::move(text);
  list.scan_ = ScanText(list.text_);
  return list;
}

}  // namespace kelvane
