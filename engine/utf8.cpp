#include "engine/utf8.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace kelvane {

namespace {

struct CaseMapping {
  std::uint32_t from;
  std::uint32_t to;
};

constexpr CaseMapping kUpperCase[] = {
#include "engine/case_table.inc"
};

std::uint32_t Decode(const char* s, size_t length) {
  const auto b = [&](size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[i])); };
  switch (length) {
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

void Encode(std::uint32_t code, char* s, size_t length) {
  const auto put = [&](size_t i, std::uint32_t value) { s[i] = static_cast<char>(static_cast<unsigned char>(value)); };
  switch (length) {
    case 2:
      put(0, 0xC0 | (code >> 6));
      put(1, 0x80 | (code & 0x3F));
      break;
    case 3:
      put(0, 0xE0 | (code >> 12));
      put(1, 0x80 | ((code >> 6) & 0x3F));
      put(2, 0x80 | (code & 0x3F));
      break;
    default:
      put(0, 0xF0 | (code >> 18));
      put(1, 0x80 | ((code >> 12) & 0x3F));
      put(2, 0x80 | ((code >> 6) & 0x3F));
      put(3, 0x80 | (code & 0x3F));
      break;
  }
}

std::uint32_t UpperCodePoint(std::uint32_t code) {
  const auto* end = std::end(kUpperCase);
  const auto* found = std::lower_bound(std::begin(kUpperCase), end, code,
                                       [](const CaseMapping& m, std::uint32_t c) { return m.from < c; });
  return found != end && found->from == code ? found->to : code;
}

// Whether the eight bytes at pos are all there and all ASCII: long value lists are mostly ASCII,
// and are checked a word at a time.
bool AsciiWordAt(std::string_view text, size_t pos) {
  if (pos + 8 > text.size()) {
    return false;
  }
  std::uint64_t word = 0;
  std::memcpy(&word, text.data() + pos, 8);
  return (word & 0x8080808080808080ULL) == 0;
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // bounds of the second byte, which rule out overlongs and surrogates
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (pos + length > text.size() || byte(pos + 1) < low || byte(pos + 1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

void UpperCaseInPlace(std::string& text) {
  const size_t size = text.size();
  size_t pos = 0;
  while (pos < size) {
    // Eight ASCII bytes at a time: every byte from 'a' to 'z' loses 0x20. Each byte's low seven
    // bits plus the constants stay below 0x100, so no carry runs into the next byte.
    if (pos + 8 <= size) {
      std::uint64_t word = 0;
      std::memcpy(&word, &text[pos], sizeof word);
      if ((word & 0x8080808080808080ULL) == 0) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        const std::uint64_t fromA = word + (0x80 - 'a') * kOnes;
        const std::uint64_t pastZ = word + (0x80 - 'z' - 1) * kOnes;
        const std::uint64_t lower = fromA & ~pastZ & 0x8080808080808080ULL;
        word -= lower >> 2;
        std::memcpy(&text[pos], &word, sizeof word);
        pos += 8;
        continue;
      }
    }
    const char c = text[pos];
    if (static_cast<unsigned char>(c) < 0x80) {
      if (c >= 'a' && c <= 'z') {
        text[pos] = static_cast<char>(c - ('a' - 'A'));
      }
      ++pos;
      continue;
    }
    const size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) {
      ++pos;
      continue;
    }
    const std::uint32_t code = Decode(&text[pos], length);
    const std::uint32_t upper = UpperCodePoint(code);
    if (upper != code) {
      Encode(upper, &text[pos], length);
    }
    pos += length;
  }
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  UpperCaseInPlace(upper);
  return upper;
}

bool IsCharBoundary(std::string_view text, size_t pos) {
  if (pos == 0 || pos >= text.size()) {
    return true;
  }
  if ((static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) {
    return true;  // only a continuation byte can sit inside a character
  }
  // Decoding resynchronises at every lead byte, so only a valid sequence that starts at most
  // three bytes back can cover pos.
  for (size_t back = 1; back <= 3 && back <= pos; ++back) {
    const size_t length = Utf8SequenceLength(text, pos - back);
    if (length != 0) {
      return length <= back;
    }
  }
  return true;
}

bool IsAscii(std::string_view text) {
  size_t pos = 0;
  while (AsciiWordAt(text, pos)) {
    pos += 8;
  }
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsValidUtf8(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    if (AsciiWordAt(text, pos)) {
      pos += 8;
      continue;
    }
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) {
      return false;
    }
    pos += length;
  }
  return true;
}

size_t FindUpper(std::string_view upperText, std::string_view upperTag, size_t from) {
  if (upperTag.empty()) {
    return std::string_view::npos;
  }
  for (size_t pos = upperText.find(upperTag, from); pos != std::string_view::npos;
       pos = upperText.find(upperTag, pos + 1)) {
    if (IsCharBoundary(upperText, pos) && IsCharBoundary(upperText, pos + upperTag.size())) {
      return pos;
    }
  }
  return std::string_view::npos;
}

}  // namespace kelvane
