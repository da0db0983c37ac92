// Finding and counting line feeds in long value lists, a machine word at a time.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kelvane {

// The high bit of each byte is set exactly where the word holds a line feed.
inline std::uint64_t LineFeedBytes(std::uint64_t word) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  word ^= 0x0A0A0A0A0A0A0A0AULL;
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

inline std::uint64_t LoadWord(const char* at) {
  std::uint64_t word = 0;
  std::memcpy(&word, at, sizeof word);
  return word;
}

inline std::int64_t CountLineFeeds(std::string_view text) {
  std::int64_t feeds = 0;
  size_t pos = 0;
  for (; pos + 8 <= text.size(); pos += 8) {
    // One bit per line feed, summed by the multiply into the top byte: no popcount instruction
    // is needed.
    const std::uint64_t ones = LineFeedBytes(LoadWord(text.data() + pos)) >> 7;
    feeds += static_cast<std::int64_t>((ones * 0x0101010101010101ULL) >> 56);
  }
  return feeds + std::count(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), '\n');
}

// Like text.find('\n', from). Lines of a list are mostly short, and a library call costs more
// than looking at their first few words here.
inline size_t FindLineFeed(std::string_view text, size_t from) {
  if constexpr (std::endian::native == std::endian::little) {
    for (int words = 0; words < 4 && from + 8 <= text.size(); ++words, from += 8) {
      const std::uint64_t found = LineFeedBytes(LoadWord(text.data() + from));
      if (found != 0) {
        return from + static_cast<size_t>(std::countr_zero(found)) / 8;
      }
    }
  }
  return text.find('\n', from);
}

}  // namespace kelvane
