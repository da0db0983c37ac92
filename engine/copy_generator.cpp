#include "engine/copy_generator.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/line_feeds.h"
#include "engine/utf8.h"
#include "engine/variables.h"

namespace kelvane {

namespace {

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

// Most pieces of a copy are a few bytes long. Two overlapping fixed-size moves copy them without a
// call into the library's general copy, which costs more than the copy itself at this size.
inline void CopyPiece(char* dest, std::string_view text) {
  const char* src = text.data();
  const size_t n = text.size();
  if (n >= 8 && n <= 16) {
    std::memcpy(dest, src, 8);
    std::memcpy(dest + n - 8, src + n - 8, 8);
  } else if (n > 16 && n <= 32) {
    std::memcpy(dest, src, 16);
    std::memcpy(dest + n - 16, src + n - 16, 16);
  } else if (n >= 4 && n < 8) {
    std::memcpy(dest, src, 4);
    std::memcpy(dest + n - 4, src + n - 4, 4);
  } else if (n > 32 && n <= 64) {
    std::memcpy(dest, src, 32);
    std::memcpy(dest + n - 32, src + n - 32, 32);
  } else if (n > 64) {
    std::memcpy(dest, src, n);
  } else {
    for (size_t i = 0; i < n; ++i) {
      dest[i] = src[i];
    }
  }
}

std::string_view StripCarriageReturn(std::string_view line) {
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  return line;
}

// Bytes of a list file walked between two releases of the pages behind.
constexpr size_t kReleaseStep = size_t{32} << 20;

// Calls f(line) for each value line that some copy of the run takes: line i for copy i,
// or the text after the last line feed once the lines run out. A list file's pages are given
// back as the walk goes on.
template <typename F>
void ForEachUsedLine(std::string_view text, int repeatCount, const ValueList* list, F f) {
  size_t start = 0;
  size_t released = 0;
  for (int line = 0; line < repeatCount; ++line) {
    const size_t feed = FindLineFeed(text, start);
    const size_t end = feed == std::string_view::npos ? text.size() : feed;
    f(StripCarriageReturn(text.substr(start, end - start)));
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

// What stands on one side of a value in a copy, upper-cased: the literal text next to it, and
// whether more text (another value) may lie beyond it, or the block ends there.
struct Side {
  std::string known;
  bool open = false;
};

// The sides of the value at pieces[p]. A value beside it is unknown text of any length.
template <typename Pieces>
std::pair<Side, Side> SidesOf(const Pieces& pieces, size_t p) {
  Side before, after;
  if (p > 0) {
    const auto& left = pieces[p - 1];
    before.known = left.variable < 0 ? UpperCase(left.text) : std::string();
    before.open = left.variable >= 0 || p > 1;
  }
  if (p + 1 < pieces.size()) {
    const auto& right = pieces[p + 1];
    after.known = right.variable < 0 ? UpperCase(right.text) : std::string();
    after.open = right.variable >= 0 || p + 2 < pieces.size();
  }
  return {std::move(before), std::move(after)};
}

// Where a match of a tag can reach into a value across its edges, given the text around it.
struct Reach {
  // k: a match that begins k bytes before the value; the value then starts with tag byte k.
  std::vector<size_t> fromBefore;
  // m: a match that begins inside the value and takes its last m bytes, then runs on after it.
  std::vector<size_t> intoAfter;
  ByteSet firstBytes{};  // the value's possible first bytes for some k
  ByteSet lastBytes{};   // the value's possible last bytes for some m

  Reach(std::string_view upperTag, const Side& before, const Side& after) {
    for (size_t k = 1; k < upperTag.size(); ++k) {
      const std::string_view head = upperTag.substr(0, k);
      const bool endsBefore = before.known.size() >= k ? std::string_view(before.known).ends_with(head)
                                                       : before.open && head.ends_with(before.known);
      if (endsBefore) {
        fromBefore.push_back(k);
        firstBytes[static_cast<unsigned char>(upperTag[k])] = true;
      }
      const std::string_view tail = upperTag.substr(k);
      const bool startsAfter = after.known.size() >= tail.size() ? std::string_view(after.known).starts_with(tail)
                                                                 : after.open && tail.starts_with(after.known);
      if (startsAfter) {
        intoAfter.push_back(k);
        lastBytes[static_cast<unsigned char>(upperTag[k - 1])] = true;
      }
    }
  }
};

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

// What a variable can insert into a copy, over every copy of the run.
class ValueRange {
 public:
  ValueRange(std::string_view text, const TextScan& scan, int repeatCount, const ValueList* list)
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

  // The same text in every copy.
  [[nodiscard]] bool constant() const { return constant_; }
  [[nodiscard]] std::string_view constantText() const { return text_; }
  [[nodiscard]] bool canBeEmpty() const { return canBeEmpty_; }

  // Whether a match of the tag where the value stands could take in any byte of the value
  // inserted in some copy.
  [[nodiscard]] bool CanTouch(std::string_view upperTag, const Reach& reach) const {
    // A counter's digits vary too much to list, so every byte it can write counts: a match must
    // enter it at its first byte, leave it at its last, or lie wholly inside it.
    if (Intersects(counterBytes_, reach.firstBytes) || Intersects(counterBytes_, reach.lastBytes) ||
        std::all_of(upperTag.begin(), upperTag.end(),
                    [this](char c) { return counterBytes_[static_cast<unsigned char>(c)]; })) {
      return true;
    }
    if (!Intersects(firstBytes_, reach.firstBytes) && !Intersects(lastBytes_, reach.lastBytes) &&
        !std::all_of(upperTag.begin(), upperTag.end(),
                     [this](char c) { return anyBytes_[static_cast<unsigned char>(c)]; })) {
      return false;
    }
    bool touches = false;
    if (multiLine_) {
      std::string upper;  // one line at a time, so a long list is never copied whole
      ForEachUsedLine(text_, repeatCount_, list_, [&](std::string_view line) {
        if (touches || IsCounterExpression(line)) {
          return;
        }
        upper.assign(line);
        UpperCaseInPlace(upper);
        touches = CanOverlap(upper, upperTag, reach);
      });
    }
    return touches;
  }

 private:
  // A line that some copy takes, beyond those the scan saw.
  void AddLine(std::string_view line) {
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
  void AddCounter(std::string_view line) {
    const Counter counter(line);
    const IntegerFormat& format = counter.format();
    for (size_t b = 0; b < counterBytes_.size(); ++b) {
      counterBytes_[b] = counterBytes_[b] || format.possibleUpperBytes()[b];
    }
    canBeEmpty_ = canBeEmpty_ || format.canBeEmpty();
  }

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

}  // namespace

CopyGenerator::CopyGenerator(const Job& job, const std::atomic<bool>* stop) : block_(job.blockText), stop_(stop) {
  const size_t count = std::min(job.tags.size(), job.values.size());
  variables_.resize(count);
  std::vector<TextScan> scans;
  for (size_t j = 0; j < count; ++j) {
    Variable& v = variables_[j];
    v.tag = job.tags[j];
    v.upperTag = UpperCase(v.tag);
    v.text = ValueText(job, j);
    v.list = j < job.valueLists.size() ? job.valueLists[j].get() : nullptr;
    // Every later look at the text starts from this one pass over it.
    const TextScan& scan = scans.emplace_back(ScanValueText(job, j));
    v.singleLine = scan.lineFeeds == 0;
    v.singleCounter = v.singleLine && IsCounterExpression(v.text);
    v.anyCounterLine = !v.singleLine && (scan.counterLine || v.text.substr(scan.lastLineFeed + 1).starts_with("%%"));
    if (v.singleCounter) {
      v.counter = Counter(v.text);
    }
  }
  usesLayout_ = BuildLayout(job, scans);
  upperInPieces_ = IsValidUtf8(block_) &&
                   std::all_of(scans.begin(), scans.end(), [](const TextScan& scan) { return scan.validUtf8; });
  // Only the search needs the upper-cased block; a layout would hold a huge block twice for nothing.
  if (!usesLayout_ && upperInPieces_) {
    upperBlock_ = UpperCase(block_);
  }
}

// The layout holds when no match of a later tag can ever touch a value that varies from copy to
// copy: then every tag is found at the same place in every copy, and a copy is its literal text
// with the values dropped in. Constant values are inlined into the text, so later tags are
// searched in them exactly as in any copy. Anything not provably safe falls back to searching.
bool CopyGenerator::BuildLayout(const Job& job, const std::vector<TextScan>& scans) {
  // Character boundaries are piece-local only when every piece is valid UTF-8.
  if (!IsValidUtf8(block_)) {
    return false;
  }
  std::vector<ValueRange> ranges;
  for (size_t j = 0; j < variables_.size(); ++j) {
    if (!scans[j].validUtf8) {
      return false;
    }
    ranges.emplace_back(variables_[j].text, scans[j], job.repeatCount, variables_[j].list);
  }

  std::vector<Piece> pieces;
  pieces.push_back({block_, -1, nullptr});
  const auto inBlock = [this](std::string_view text) {
    const std::less_equal<const char*> atMost;
    return atMost(block_.data(), text.data()) && atMost(text.data() + text.size(), block_.data() + block_.size());
  };
  for (size_t j = 0; j < variables_.size(); ++j) {
    const std::string& upperTag = variables_[j].upperTag;
    if (upperTag.empty()) {
      continue;
    }
    if (StopNow()) {
      return false;
    }
    ByteSet tagBytes{};
    Mark(tagBytes, upperTag);
    const auto isBarrier = [&](const Piece& p) {
      // A varying value that is never empty and shares no byte with the tag: no match crosses it.
      return p.variable >= 0 && !ranges[static_cast<size_t>(p.variable)].canBeEmpty();
    };
    for (size_t p = 0; p < pieces.size(); ++p) {
      if (pieces[p].variable < 0) {
        continue;
      }
      const ValueRange& range = ranges[static_cast<size_t>(pieces[p].variable)];
      const auto [before, after] = SidesOf(pieces, p);
      if (range.CanTouch(upperTag, Reach(upperTag, before, after))) {
        return false;
      }
      if (range.canBeEmpty() && upperTag.size() > 1) {
        // An empty value joins its neighbours; a match across it must use the bytes beside it.
        const bool leftSafe =
            p == 0 || isBarrier(pieces[p - 1]) ||
            (pieces[p - 1].variable < 0 && !tagBytes[static_cast<unsigned char>(UpperCase(pieces[p - 1].text).back())]);
        const bool rightSafe = p + 1 == pieces.size() || isBarrier(pieces[p + 1]) ||
                               (pieces[p + 1].variable < 0 &&
                                !tagBytes[static_cast<unsigned char>(UpperCase(pieces[p + 1].text).front())]);
        if (!leftSafe && !rightSafe) {
          return false;
        }
      }
    }

    std::vector<Piece> next;
    // Literal text is kept as a view while it is one stretch of the block; text from anywhere
    // else (a constant value, an earlier owned piece) is copied, as that may not outlive this.
    const auto append = [&next, &inBlock](std::string_view text, int variable) {
      if (variable >= 0) {
        next.push_back({{}, variable, nullptr});
        return;
      }
      if (text.empty()) {
        return;
      }
      if (!next.empty() && next.back().variable < 0) {
        Piece& last = next.back();
        if (!last.owned && last.text.data() + last.text.size() == text.data() && inBlock(text)) {
          last.text = std::string_view(last.text.data(), last.text.size() + text.size());
          return;
        }
        if (!last.owned) {
          last.owned = std::make_unique<std::string>(last.text);
        }
        last.owned->append(text);
        last.text = *last.owned;
        return;
      }
      if (inBlock(text)) {
        next.push_back({text, -1, nullptr});
        return;
      }
      auto owned = std::make_unique<std::string>(text);
      const std::string_view view = *owned;
      next.push_back({view, -1, std::move(owned)});
    };
    const ValueRange& range = ranges[j];
    for (const Piece& piece : pieces) {
      if (piece.variable >= 0) {
        append({}, piece.variable);
        continue;
      }
      const std::string upper = UpperCase(piece.text);
      size_t done = 0;
      for (size_t match = FindUpper(upper, upperTag, 0); match != std::string::npos;
           match = FindUpper(upper, upperTag, done)) {
        append(std::string_view(piece.text).substr(done, match - done), -1);
        if (range.constant()) {
          append(range.constantText(), -1);
        } else {
          append({}, static_cast<int>(j));
        }
        done = match + upperTag.size();
      }
      append(std::string_view(piece.text).substr(done), -1);
    }
    pieces = std::move(next);
  }

  layout_ = std::move(pieces);
  for (const Piece& piece : layout_) {
    literalSize_ += piece.variable < 0 ? piece.text.size() : 0;
  }
  for (const Piece& piece : layout_) {
    if (piece.variable >= 0 &&
        std::find(layoutVariables_.begin(), layoutVariables_.end(), piece.variable) == layoutVariables_.end()) {
      layoutVariables_.push_back(piece.variable);
    }
  }
  return true;
}

namespace {

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

}  // namespace

std::optional<std::uint64_t> CopyGenerator::LeastTotalSize(std::int32_t repeatCount) const {
  if (!usesLayout_ || repeatCount <= 0) {
    return std::nullopt;
  }
  const auto copies = static_cast<std::uint64_t>(repeatCount);
  std::uint64_t total = 0;
  for (const Piece& piece : layout_) {
    if (piece.variable < 0) {
      total = SaturatingAdd(total, SaturatingMultiply(piece.text.size(), copies));
      continue;
    }
    const Variable& v = variables_[static_cast<size_t>(piece.variable)];
    if (v.singleCounter) {
      continue;
    }
    if (v.singleLine) {
      total = SaturatingAdd(total, SaturatingMultiply(v.text.size(), copies));
      continue;
    }
    // Line i for copy i; once the lines run out, the last one for every later copy.
    std::uint64_t used = 0;
    std::uint64_t lastSize = 0;
    ForEachUsedLine(v.text, repeatCount, nullptr, [&](std::string_view line) {
      ++used;
      lastSize = v.anyCounterLine && IsCounterExpression(line) ? 0 : line.size();
      total = SaturatingAdd(total, lastSize);
    });
    total = SaturatingAdd(total, SaturatingMultiply(lastSize, copies - used));
  }
  return total;
}

void CopyGenerator::ComputeValue(Variable& v) {
  if (v.singleCounter) {
    v.current = v.counter.Text(copyIndex_);
    return;
  }
  if (v.singleLine) {
    v.current = v.text;
    return;
  }
  const size_t feed = FindLineFeed(v.text, v.lineStart);
  const size_t end = feed == std::string_view::npos ? v.text.size() : feed;
  // Past the last line feed, every later copy keeps the last line.
  v.nextLineStart = feed == std::string_view::npos ? v.lineStart : feed + 1;
  if (v.list != nullptr && v.lineStart - v.released >= kReleaseStep) {
    v.list->Release(v.released, v.lineStart);
    v.released = v.lineStart;
  }
  const std::string_view line = StripCarriageReturn(v.text.substr(v.lineStart, end - v.lineStart));
  if (v.anyCounterLine && IsCounterExpression(line)) {
    v.formatted.clear();
    Counter(line).AppendTo(v.formatted, copyIndex_);
    v.current = v.formatted;
  } else {
    v.current = line;
  }
}

void CopyGenerator::AdvanceLine(Variable& v) {
  if (!v.singleLine) {
    v.lineStart = v.nextLineStart;
  }
}

bool CopyGenerator::StopNow() {
  stopped_ = stopped_ || (stop_ != nullptr && stop_->load(std::memory_order_relaxed));
  return stopped_;
}

// A variable's search is a pass over the whole copy, so one look at the stop flag per variable
// costs nothing beside it and keeps a copy with many variables in a large block stoppable.
// Searches the copy for each tag in turn, as the literal algorithm does. When the block and
// every value are valid UTF-8, upper-casing a text piece by piece gives what upper-casing it
// whole gives, so the upper-cased copy is kept beside the copy rather than remade for each tag.
void CopyGenerator::BuildBySearching() {
  scratch_.assign(block_);
  if (upperInPieces_) {
    upperScratch_.assign(upperBlock_);
  }
  for (Variable& v : variables_) {
    ComputeValue(v);
    AdvanceLine(v);
    if (v.upperTag.empty() || v.upperTag.size() > scratch_.size()) {
      continue;
    }
    if (!upperInPieces_) {
      upperScratch_.assign(scratch_);
      UpperCaseInPlace(upperScratch_);
    }
    size_t match = FindUpper(upperScratch_, v.upperTag, 0);
    if (match == std::string::npos) {
      continue;
    }
    if (upperInPieces_) {
      upperValue_.assign(v.current);
      UpperCaseInPlace(upperValue_);
      builtUpper_.clear();
    }
    built_.clear();
    size_t done = 0;
    while (match != std::string::npos) {
      built_.append(scratch_, done, match - done);
      built_.append(v.current);
      if (upperInPieces_) {
        builtUpper_.append(upperScratch_, done, match - done);
        builtUpper_.append(upperValue_);
      }
      done = match + v.upperTag.size();
      match = FindUpper(upperScratch_, v.upperTag, done);
    }
    built_.append(scratch_, done, std::string::npos);
    scratch_.swap(built_);
    if (upperInPieces_) {
      builtUpper_.append(upperScratch_, done, std::string::npos);
      upperScratch_.swap(builtUpper_);
    }
  }
}

size_t CopyGenerator::PrepareNextCopy() {
  if (!usesLayout_) {
    BuildBySearching();
    return scratch_.size();
  }
  for (const int index : layoutVariables_) {
    Variable& v = variables_[static_cast<size_t>(index)];
    ComputeValue(v);
    AdvanceLine(v);
  }
  size_t size = literalSize_;
  for (const Piece& piece : layout_) {
    if (piece.variable >= 0) {
      size += variables_[static_cast<size_t>(piece.variable)].current.size();
    }
  }
  return size;
}

// Plain copies into a buffer sized beforehand: this loop is where a huge run spends its time.
void CopyGenerator::WriteNextCopy(char* dest) {
  if (usesLayout_) {
    for (const Piece& piece : layout_) {
      const std::string_view text =
          piece.variable < 0 ? std::string_view(piece.text) : variables_[static_cast<size_t>(piece.variable)].current;
      CopyPiece(dest, text);
      dest += text.size();
    }
  } else {
    std::memcpy(dest, scratch_.data(), scratch_.size());
  }
  ++copyIndex_;
}

void CopyGenerator::AppendNextCopy(std::string& out) {
  const size_t size = PrepareNextCopy();
  const size_t start = out.size();
  out.resize(start + size);
  WriteNextCopy(out.data() + start);
}

}  // namespace kelvane
