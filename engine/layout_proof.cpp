#include "engine/layout_proof.h"

#include <algorithm>

#include "engine/counter.h"
#include "engine/utf8.h"

namespace kelvane {

void Mark(ByteSet& set, std::string_view bytes) {
  for (const char c : bytes) {
    set[static_cast<unsigned char>(c)] = true;
  }
}

bool Intersects(const ByteSet& a, const ByteSet& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] && b[i]) {
      return true;
    }
  }
  return false;
}

namespace {

// Whether head can be the end of the text on this side: the known text ends with it, or the known
// text is shorter, the head ends with it and unknown text may lie beyond.
bool HeadCanEnd(std::string_view head, const Side& side) {
  return side.known.size() >= head.size() ? std::string_view(side.known).ends_with(head)
                                          : side.open && head.ends_with(side.known);
}

// Whether tail can be the start of the text on this side, likewise.
bool TailCanStart(std::string_view tail, const Side& side) {
  return side.known.size() >= tail.size() ? std::string_view(side.known).starts_with(tail)
                                          : side.open && tail.starts_with(side.known);
}

bool AllIn(std::string_view upperTag, const ByteSet& bytes) {
  return std::all_of(upperTag.begin(), upperTag.end(),
                     [&bytes](char c) { return bytes[static_cast<unsigned char>(c)]; });
}

// Whether a match of upperTag could take in any byte of upperValue where the value stands: the
// tag inside the value, or a match that crosses one of its edges.
bool CanOverlap(std::string_view upperValue, std::string_view upperTag, const Reach& reach) {
  if (upperValue.empty()) {
    return false;
  }
  if (upperValue.find(upperTag) != std::string_view::npos) {
    return true;
  }
  for (const size_t k : reach.fromBefore) {
    const size_t n = std::min(upperValue.size(), upperTag.size() - k);
    if (upperValue.substr(0, n) == upperTag.substr(k, n)) {
      return true;
    }
  }
  for (const size_t m : reach.intoAfter) {
    if (m <= upperValue.size() && upperValue.substr(upperValue.size() - m) == upperTag.substr(0, m)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool MatchCanCross(std::string_view upperTag, const Side& before, const Side& after) {
  for (size_t k = 1; k < upperTag.size(); ++k) {
    if (HeadCanEnd(upperTag.substr(0, k), before) && TailCanStart(upperTag.substr(k), after)) {
      return true;
    }
  }
  return false;
}

Reach::Reach(std::string_view upperTag, const Side& before, const Side& after) {
  for (size_t k = 1; k < upperTag.size(); ++k) {
    if (HeadCanEnd(upperTag.substr(0, k), before)) {
      fromBefore.push_back(k);
      firstBytes[static_cast<unsigned char>(upperTag[k])] = true;
    }
    if (TailCanStart(upperTag.substr(k), after)) {
      intoAfter.push_back(k);
      lastBytes[static_cast<unsigned char>(upperTag[k - 1])] = true;
    }
  }
}

// Such a text must hold the tag's byte where a match enters it or leaves it, or all of the tag.
bool BytesCanTouch(const ByteSet& bytes, std::string_view upperTag, const Reach& reach) {
  return Intersects(bytes, reach.firstBytes) || Intersects(bytes, reach.lastBytes) || AllIn(upperTag, bytes);
}

ValueRange::ValueRange(std::string_view text, const TextScan& scan, int repeatCount, const ValueList* list)
    : text_(text), repeatCount_(repeatCount), list_(list) {
  if (scan.lineFeeds == 0) {
    if (IsCounterExpression(text)) {
      AddCounter(text);
    } else {
      constant_ = true;
    }
    return;
  }
  multiLine_ = true;
  firstBytes_ = scan.firstBytes;
  lastBytes_ = scan.lastBytes;
  anyBytes_ = scan.anyBytes;
  canBeEmpty_ = scan.emptyLine;
  // Copies beyond the lines ended by a line feed take what follows the last one.
  if (repeatCount > scan.lineFeeds) {
    AddLine(StripCarriageReturn(text.substr(scan.lastLineFeed + 1)));
  }
  if (scan.counterLine) {
    ForEachUsedLine(text_, repeatCount_, list_, [this](std::string_view line) {
      if (IsCounterExpression(line)) {
        AddCounter(line);
      }
    });
  }
}

ByteSet ValueRange::possibleBytes() const {
  ByteSet bytes = anyBytes_;
  for (size_t b = 0; b < bytes.size(); ++b) {
    bytes[b] = bytes[b] || counterBytes_[b];
  }
  if (constant_) {
    Mark(bytes, UpperCase(text_));
  }
  return bytes;
}

bool ValueRange::CanTouch(std::string_view upperTag, const Reach& reach) const {
  // A counter's digits vary too much to list, so every byte it can write counts.
  if (BytesCanTouch(counterBytes_, upperTag, reach)) {
    return true;
  }
  if (!Intersects(firstBytes_, reach.firstBytes) && !Intersects(lastBytes_, reach.lastBytes) &&
      !AllIn(upperTag, anyBytes_)) {
    return false;
  }
  bool touches = false;
  if (multiLine_) {
    std::string upper;  // one line at a time, so a long list is never copied whole
    ForEachUsedLine(text_, repeatCount_, list_, [&](std::string_view line) {
      if (IsCounterExpression(line)) {
        return false;
      }
      upper.assign(line);
      UpperCaseInPlace(upper);
      touches = CanOverlap(upper, upperTag, reach);
      return touches;
    });
  }
  return touches;
}

// A line that some copy takes, beyond those the scan saw.
void ValueRange::AddLine(std::string_view line) {
  if (IsCounterExpression(line)) {
    AddCounter(line);
  } else if (line.empty()) {
    canBeEmpty_ = true;
  } else {
    const std::string upper = UpperCase(line);
    firstBytes_[static_cast<unsigned char>(upper.front())] = true;
    lastBytes_[static_cast<unsigned char>(upper.back())] = true;
    Mark(anyBytes_, upper);
  }
}

// A counter's digits vary too much to list; every byte it can write counts.
void ValueRange::AddCounter(std::string_view line) {
  const Counter counter(line);
  const IntegerFormat& format = counter.format();
  for (size_t b = 0; b < counterBytes_.size(); ++b) {
    counterBytes_[b] = counterBytes_[b] || format.possibleUpperBytes()[b];
  }
  canBeEmpty_ = canBeEmpty_ || format.canBeEmpty();
}

}  // namespace kelvane
