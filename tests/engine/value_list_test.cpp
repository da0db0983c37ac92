// The one pass over a value text, checked against a plain reading of the text byte by byte, on
// texts long enough to be scanned in two halves, with what matters placed where they are cut.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/utf8.h"
#include "engine/value_list.h"

namespace kelvane {
namespace {

// Upper-cased as the scan keeps its sets: any byte beyond ASCII stands for all of them.
void MarkUpper(ByteSet& set, unsigned char byte) {
  if (byte >= 0x80) {
    for (int c = 0x80; c < 0x100; ++c) {
      set[static_cast<size_t>(c)] = true;
    }
    return;
  }
  set[byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte] = true;
}

TextScan PlainScan(std::string_view text) {
  TextScan scan;
  scan.validUtf8 = IsValidUtf8(text);
  scan.ascii = IsAscii(text);
  for (const char c : text) {
    MarkUpper(scan.anyBytes, static_cast<unsigned char>(c));
  }
  size_t start = 0;
  for (size_t feed = text.find('\n'); feed != std::string_view::npos; feed = text.find('\n', start)) {
    ++scan.lineFeeds;
    scan.lastLineFeed = feed;
    std::string_view line = text.substr(start, feed - start);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
      ++scan.crLineFeeds;
    }
    scan.emptyLine = scan.emptyLine || line.empty();
    scan.counterLine = scan.counterLine || line.starts_with("%%");
    if (!line.empty()) {
      MarkUpper(scan.firstBytes, static_cast<unsigned char>(line.front()));
      MarkUpper(scan.lastBytes, static_cast<unsigned char>(line.back()));
    }
    start = feed + 1;
  }
  return scan;
}

void ExpectSameScan(const TextScan& got, const TextScan& want) {
  EXPECT_EQ(got.lineFeeds, want.lineFeeds);
  EXPECT_EQ(got.lastLineFeed, want.lastLineFeed);
  EXPECT_EQ(got.crLineFeeds, want.crLineFeeds);
  EXPECT_EQ(got.validUtf8, want.validUtf8);
  EXPECT_EQ(got.ascii, want.ascii);
  EXPECT_EQ(got.emptyLine, want.emptyLine);
  EXPECT_EQ(got.counterLine, want.counterLine);
  EXPECT_EQ(got.firstBytes, want.firstBytes);
  EXPECT_EQ(got.lastBytes, want.lastBytes);
  EXPECT_EQ(got.anyBytes, want.anyBytes);
}

// Builds a text of exactly size bytes: lines up to near its middle, a run of 'x' over the middle,
// then cut, whose first line feed is where a scan in two halves cuts it, then lines again, and end.
std::string TextCutAt(const std::string& line, const std::string& cut, const std::string& end, size_t size) {
  std::string text;
  while (text.size() + line.size() + 16 <= size / 2) {
    text += line;
  }
  text.append(64, 'x');
  text += cut;
  while (text.size() + line.size() + end.size() <= size) {
    text += line;
  }
  text.append(size - end.size() - text.size(), 'y');
  return text + end;
}

TEST(scan_test, long_texts_give_what_a_plain_reading_gives_whatever_lies_where_they_are_cut) {
  constexpr size_t kLong = size_t{5} << 20;   // scanned in two halves
  constexpr size_t kMid = size_t{400} << 10;  // in one, counting pairs of bytes
  struct Case {
    const char* name;
    std::string line;  // repeated before and after the cut
    std::string cut;
    std::string end;
    size_t size;
  };
  const Case cases[] = {
      {"plain lines", "Alice Martin\n", "\n", "", kLong},
      {"carriage returns", "bob\r\n", "\r\n", "last", kLong},
      {"characters on both sides of the cut", "name\n", "\xC3\xA9\n\xE2\x82\xAC\n", "", kLong},
      {"a broken character before the cut", "name\n", "ab\xC3\n", "", kLong},
      {"a broken character after it", "name\n", "\n\xE2\x82z\n", "\n", kLong},
      {"the only empty line and counter line after the cut", "name\n", "\n\n%%count%d%%\n\r\n", "", kLong},
      {"no line feed after the cut", "name\n", "\n" + std::string(2 << 20, 'q'), "", kLong},
      {"no line feed at all", "qwertyuiop", "", "", kLong},
      {"lower-case letters and symbols", "<id> {x}|\n", "~\n", "@", kLong},
      {"beyond ASCII at the very end", "name\n", "\n", "\xF0\x9F\x98\x80", kMid},
      {"a short text", "ab\n", "\n\n", "", kMid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = TextCutAt(c.line, c.cut, c.end, c.size);
    ExpectSameScan(ScanText(text), PlainScan(text));
  }
}

}  // namespace
}  // namespace kelvane
