// Fuzzes ReplaceNoCase with any text, tag and replacement, invalid UTF-8 included, against a
// reference that finds character boundaries by decoding the text from its start.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/utf8.h"
#include "engine/variables.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& text, const std::string& tag) {
  std::fprintf(stderr, "invariant broken: %s\ntext %zu bytes, tag %zu bytes\n", what, text.size(), tag.size());
  std::abort();
}

// The length of the well-formed UTF-8 sequence at pos (the table of the Unicode standard, chapter 3),
// or 1 for a byte that starts none: such a byte is a character of its own.
size_t CharLength(std::string_view s, size_t pos) {
  const auto at = [&](size_t i) -> unsigned char { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0; };
  const auto in = [](unsigned char b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; };
  const unsigned char b0 = at(pos);
  const unsigned char b1 = at(pos + 1);
  const bool c2 = in(at(pos + 2), 0x80, 0xBF);
  const bool c3 = in(at(pos + 3), 0x80, 0xBF);
  if (b0 < 0x80) return 1;
  if (in(b0, 0xC2, 0xDF) && in(b1, 0x80, 0xBF)) return 2;
  if (b0 == 0xE0 && in(b1, 0xA0, 0xBF) && c2) return 3;
  if ((in(b0, 0xE1, 0xEC) || in(b0, 0xEE, 0xEF)) && in(b1, 0x80, 0xBF) && c2) return 3;
  if (b0 == 0xED && in(b1, 0x80, 0x9F) && c2) return 3;
  if (b0 == 0xF0 && in(b1, 0x90, 0xBF) && c2 && c3) return 4;
  if (in(b0, 0xF1, 0xF3) && in(b1, 0x80, 0xBF) && c2 && c3) return 4;
  if (b0 == 0xF4 && in(b1, 0x80, 0x8F) && c2 && c3) return 4;
  return 1;
}

// starts[i]: a character begins at byte i; starts[size] is the end of the text.
std::vector<bool> CharStarts(std::string_view s) {
  std::vector<bool> starts(s.size() + 1, false);
  for (size_t pos = 0; pos < s.size(); pos += CharLength(s, pos)) {
    starts[pos] = true;
  }
  starts[s.size()] = true;
  return starts;
}

std::string Reference(const std::string& text, const std::string& tag, const std::string& replacement) {
  if (tag.empty()) {
    return text;
  }
  const std::string upperText = kelvane::UpperCase(text);
  const std::string upperTag = kelvane::UpperCase(tag);
  const std::vector<bool> starts = CharStarts(text);
  std::string result;
  size_t done = 0;
  for (size_t pos = 0; pos + upperTag.size() <= upperText.size();) {
    if (starts[pos] && starts[pos + upperTag.size()] && upperText.compare(pos, upperTag.size(), upperTag) == 0) {
      result.append(text, done, pos - done);
      result += replacement;
      pos += upperTag.size();
      done = pos;
    } else {
      ++pos;
    }
  }
  result.append(text, done, std::string::npos);
  return result;
}

void CheckUpperCase(const std::string& text) {
  const std::string upper = kelvane::UpperCase(text);
  if (upper.size() != text.size()) {
    Fail("upper-casing changed the length", text, {});
  }
  if (CharStarts(upper) != CharStarts(text)) {
    Fail("upper-casing moved a character boundary", text, {});
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto u = static_cast<unsigned char>(upper[i]);
    // ASCII letters always fold, and nothing else becomes (or stops being) ASCII.
    if (c < 0x80 ? u != (c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) : u < 0x80) {
      Fail("upper-casing mapped a byte wrongly", text, {});
    }
  }
  bool valid = true;
  for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
    valid = valid && (static_cast<unsigned char>(text[pos]) < 0x80 || CharLength(text, pos) > 1);
  }
  if (kelvane::IsValidUtf8(text) != valid) {
    Fail("IsValidUtf8 disagrees with the decoder", text, {});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string tag = provider.ConsumeRandomLengthString(64);
  const std::string replacement = provider.ConsumeRandomLengthString(64);
  const std::string text = provider.ConsumeRemainingBytesAsString();

  CheckUpperCase(text);
  CheckUpperCase(tag);

  std::string replaced = text;
  kelvane::ReplaceNoCase(replaced, tag, replacement);
  if (replaced != Reference(text, tag, replacement)) {
    Fail("ReplaceNoCase differs from the reference", text, tag);
  }
  // A tag that the upper-cased text does not hold at all leaves the text as it was.
  if ((tag.empty() || kelvane::UpperCase(text).find(kelvane::UpperCase(tag)) == std::string::npos) &&
      replaced != text) {
    Fail("an absent tag changed the text", text, tag);
  }
  // Replacing a tag by itself only ever changes letter case.
  std::string same = text;
  kelvane::ReplaceNoCase(same, tag, tag);
  if (same.size() != text.size() || kelvane::UpperCase(same) != kelvane::UpperCase(text)) {
    Fail("replacing a tag by itself changed more than letter case", text, tag);
  }
  return 0;
}
