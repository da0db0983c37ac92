// What the copy generator proves before it lays copies out: where a match of a later tag can reach
// into a value, given the text around it, and what a variable can insert over a whole run.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "engine/line_feeds.h"
#include "engine/value_list.h"

namespace kelvane {

// Marks every byte of bytes in set.
void Mark(ByteSet& set, std::string_view bytes);
// Whether the two sets share a byte.
bool Intersects(const ByteSet& a, const ByteSet& b);

inline std::string_view StripCarriageReturn(std::string_view line) {
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  return line;
}

// Bytes of a list file walked between two releases of the pages behind.
constexpr size_t kReleaseStep = size_t{32} << 20;

// Calls f(line) for each value line that some copy of the run takes: line i for copy i,
// or the text after the last line feed once the lines run out; an f that returns true stops the
// walk. A list file's pages are given back as the walk goes on.
template <typename F>
void ForEachUsedLine(std::string_view text, int repeatCount, const ValueList* list, F f) {
  size_t start = 0;
  size_t released = 0;
  for (int line = 0; line < repeatCount; ++line) {
    const size_t feed = FindLineFeed(text, start);
    const size_t end = feed == std::string_view::npos ? text.size() : feed;
    const std::string_view used = StripCarriageReturn(text.substr(start, end - start));
    if constexpr (std::is_same_v<decltype(f(used)), bool>) {
      if (f(used)) {
        break;
      }
    } else {
      f(used);
    }
    if (feed == std::string_view::npos) {
      break;
    }
    start = feed + 1;
    if (list != nullptr && start - released >= kReleaseStep) {
      list->Release(released, start);
      released = start;
    }
  }
  if (list != nullptr) {
    list->Release(released, text.size());
  }
}

// What stands on one side of a place in a copy, upper-cased: the literal text next to it, and
// whether more text (a value) may lie beyond that, or the block ends there.
struct Side {
  std::string known;
  bool open = false;
};

// Whether a match of upperTag could begin before a place with `before` ahead of it and end after
// it with `after` following: some head of the tag ends `before` and the rest begins `after`.
bool MatchCanCross(std::string_view upperTag, const Side& before, const Side& after);

// Where a match of a tag can reach into a value across its edges, given the text around it.
struct Reach {
  // k: a match that begins k bytes before the value; the value then starts with tag byte k.
  std::vector<size_t> fromBefore;
  // m: a match that begins inside the value and takes its last m bytes, then runs on after it.
  std::vector<size_t> intoAfter;
  ByteSet firstBytes{};  // the value's possible first bytes for some k
  ByteSet lastBytes{};   // the value's possible last bytes for some m

  Reach(std::string_view upperTag, const Side& before, const Side& after);
};

// Whether a text made of the bytes in `bytes` (upper-cased), of any length, could hold a match of
// upperTag or meet one across its edges.
bool BytesCanTouch(const ByteSet& bytes, std::string_view upperTag, const Reach& reach);

// What a variable can insert into a copy, over every copy of the run.
class ValueRange {
 public:
  ValueRange(std::string_view text, const TextScan& scan, int repeatCount, const ValueList* list);

  // The same text in every copy.
  [[nodiscard]] bool constant() const { return constant_; }
  [[nodiscard]] std::string_view constantText() const { return text_; }
  [[nodiscard]] bool canBeEmpty() const { return canBeEmpty_; }
  // Every upper-cased byte the value can hold in some copy.
  [[nodiscard]] ByteSet possibleBytes() const;

  // Whether a match of the tag where the value stands could take in any byte of the value
  // inserted in some copy.
  [[nodiscard]] bool CanTouch(std::string_view upperTag, const Reach& reach) const;

 private:
  void AddLine(std::string_view line);
  void AddCounter(std::string_view line);

  std::string_view text_;
  int repeatCount_;
  const ValueList* list_;
  bool multiLine_ = false;
  // Upper-cased bytes of the lines that some copy takes: first, last and any.
  ByteSet firstBytes_{}, lastBytes_{}, anyBytes_{};
  ByteSet counterBytes_{};
  bool constant_ = false;
  bool canBeEmpty_ = false;
};

}  // namespace kelvane
