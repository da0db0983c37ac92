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

#include "engine/layout_proof.h"
#include "engine/line_feeds.h"
#include "engine/utf8.h"
#include "engine/variables.h"

namespace kelvane {

namespace {

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
  } else if (n != 0) {
    // One to three bytes: the first, the middle and the last cover them all.
    dest[0] = src[0];
    dest[n / 2] = src[n / 2];
    dest[n - 1] = src[n - 1];
  }
}

}  // namespace

CopyGenerator::CopyGenerator(const Job& job, const std::atomic<bool>* stop) : block_(job.blockText), stop_(stop) {
  const size_t count = std::min(job.tags.size(), job.values.size());
  variables_.resize(count);
  std::vector<TextScan> scans;
  for (size_t j = 0; j < count; ++j) {
    Variable& v = variables_[j];
    v.tag = job.tags[j];
    v.upperTag = UpperCase(v.tag);
    v.tagFirstByte = UpperByteMask(std::string_view(v.upperTag).substr(0, 1));
    v.text = ValueText(job, j);
    v.list = j < job.valueLists.size() ? job.valueLists[j].get() : nullptr;
    // Every later look at the text starts from this one pass over it.
    const TextScan& scan = scans.emplace_back(ScanValueText(job, j));
    v.singleLine = scan.lineFeeds == 0;
    v.lineFeeds = scan.lineFeeds;
    v.crLineFeeds = scan.crLineFeeds;
    v.lastLineFeed = scan.lastLineFeed;
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
    if (piece.segment >= 0) {
      continue;  // a window's matches may take all of its text away
    }
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
    total = SaturatingAdd(total, UsedLinesSize(v, repeatCount));
  }
  return total;
}

// Line i for copy i; once the lines run out, the last one for every later copy.
std::uint64_t CopyGenerator::UsedLinesSize(const Variable& v, std::int32_t repeatCount) {
  const auto copies = static_cast<std::uint64_t>(repeatCount);
  if (!v.anyCounterLine && repeatCount >= v.lineFeeds) {
    // Every line ended by a line feed is used: the scan knows their size without a walk.
    const auto ended = static_cast<std::uint64_t>(v.lastLineFeed + 1 - v.lineFeeds - v.crLineFeeds);
    const std::string_view last = StripCarriageReturn(v.text.substr(v.lastLineFeed + 1));
    return SaturatingAdd(ended, SaturatingMultiply(last.size(), copies - static_cast<std::uint64_t>(v.lineFeeds)));
  }
  std::uint64_t total = 0;
  std::uint64_t used = 0;
  std::uint64_t lastSize = 0;
  ForEachUsedLine(v.text, repeatCount, nullptr, [&](std::string_view line) {
    ++used;
    lastSize = v.anyCounterLine && IsCounterExpression(line) ? 0 : line.size();
    total = SaturatingAdd(total, lastSize);
  });
  return SaturatingAdd(total, SaturatingMultiply(lastSize, copies - used));
}

// Runs for every variable of every copy, so what is rare (a counter line, giving back pages of a
// list) is kept out of line.
inline void CopyGenerator::ComputeValue(Variable& v) {
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
    ReleaseBehind(v);
  }
  v.current = StripCarriageReturn(std::string_view(v.text.data() + v.lineStart, end - v.lineStart));
  if (v.anyCounterLine && IsCounterExpression(v.current)) {
    FormatCounterLine(v);
  }
}

void CopyGenerator::ReleaseBehind(Variable& v) {
  v.list->Release(v.released, v.lineStart);
  v.released = v.lineStart;
}

void CopyGenerator::FormatCounterLine(Variable& v) const {
  v.formatted.clear();
  Counter(v.current).AppendTo(v.formatted, copyIndex_);
  v.current = v.formatted;
}

inline void CopyGenerator::AdvanceLine(Variable& v) {
  if (!v.singleLine) {
    v.lineStart = v.nextLineStart;
  }
}

bool CopyGenerator::StopNow() {
  stopped_ = stopped_ || (stop_ != nullptr && stop_->load(std::memory_order_relaxed));
  return stopped_;
}

std::string_view CopyGenerator::UpperValue(Variable& v) {
  if (v.upperFor != copyIndex_) {
    v.upperCurrent.assign(v.current);
    UpperCaseInPlace(v.upperCurrent);
    v.upperFor = copyIndex_;
  }
  return v.upperCurrent;
}

std::uint64_t CopyGenerator::UpperMask(Variable& v) {
  if (v.maskFor != copyIndex_) {
    v.upperMask = UpperByteMask(v.current);
    v.maskFor = copyIndex_;
  }
  return v.upperMask;
}

bool CopyGenerator::SearchAndReplace(std::string& text, std::string& upper, Variable& v, bool keepUpper) {
  size_t match = FindUpper(upper, v.upperTag, 0);
  if (match == std::string::npos) {
    return false;
  }
  const std::string_view upperValue = keepUpper ? UpperValue(v) : std::string_view();
  built_.clear();
  builtUpper_.clear();
  size_t done = 0;
  while (match != std::string::npos) {
    built_.append(text, done, match - done);
    built_.append(v.current);
    if (keepUpper) {
      builtUpper_.append(upper, done, match - done);
      builtUpper_.append(upperValue);
    }
    done = match + v.upperTag.size();
    match = FindUpper(upper, v.upperTag, done);
  }
  built_.append(text, done, std::string::npos);
  text.swap(built_);
  if (keepUpper) {
    builtUpper_.append(upper, done, std::string::npos);
    upper.swap(builtUpper_);
  }
  return true;
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
    if (StopNow()) {
      return;
    }
    if (v.upperTag.empty() || v.upperTag.size() > scratch_.size()) {
      continue;
    }
    if (!upperInPieces_) {
      upperScratch_.assign(scratch_);
      UpperCaseInPlace(upperScratch_);
    }
    SearchAndReplace(scratch_, upperScratch_, v, upperInPieces_);
  }
}

// Joins the window's pieces for this copy and searches it as a whole copy would be searched. The
// layout is valid UTF-8 throughout, so the window is upper-cased piece by piece.
void CopyGenerator::BuildSegment(Segment& segment) {
  segment.text.clear();
  // A window with one tag is searched for it straight away: the mask would cost about as much.
  const bool filtered = segment.tags.size() > 1;
  std::uint64_t mask = filtered ? 0 : ~std::uint64_t{0};
  for (size_t p = 0; p < segment.pieces.size(); ++p) {
    const Piece& piece = segment.pieces[p];
    if (piece.segment >= 0) {
      const Segment& inner = segments_[static_cast<size_t>(piece.segment)];
      segment.text.append(inner.text);
      mask |= inner.mask;
    } else if (piece.variable >= 0) {
      Variable& v = variables_[static_cast<size_t>(piece.variable)];
      segment.text.append(v.current);
      mask |= filtered ? UpperMask(v) : 0;
    } else {
      segment.text.append(piece.text);
      mask |= segment.literalMasks[p];
    }
  }
  // Most windows meet their tags in few copies: a tag whose first byte the window lacks is passed
  // over without upper-casing or searching anything.
  if ((mask & segment.anyTagFirstByte) != 0) {
    bool upperValid = false;
    for (size_t t = 0; t < segment.tags.size(); ++t) {
      if ((mask & segment.tagFirstBytes[t]) == 0) {
        continue;
      }
      if (!upperValid) {
        segment.upper.assign(segment.text);
        UpperCaseInPlace(segment.upper);
        upperValid = true;
      }
      Variable& v = variables_[static_cast<size_t>(segment.tags[t])];
      if (SearchAndReplace(segment.text, segment.upper, v, false)) {
        mask |= filtered ? UpperMask(v) : 0;
        upperValid = false;
      }
    }
  }
  segment.mask = mask;
  segment.view = segment.text;
}

// Works out the values and windows of the next copy of the layout and returns its size: each
// value's and window's size once for every piece that shows it.
inline size_t CopyGenerator::PrepareLayoutCopy() {
  size_t size = literalSize_;
  for (const int index : layoutVariables_) {
    Variable& v = variables_[static_cast<size_t>(index)];
    ComputeValue(v);
    AdvanceLine(v);
    size += v.uses * v.current.size();
  }
  // Earlier windows first: a later one may hold them.
  for (const int index : builtSegments_) {
    Segment& segment = segments_[static_cast<size_t>(index)];
    BuildSegment(segment);
    size += segment.uses * segment.view.size();
  }
  return size;
}

inline size_t CopyGenerator::Prepare() {
  if (!prepared_) {
    if (usesLayout_) {
      preparedSize_ = PrepareLayoutCopy();
    } else {
      BuildBySearching();
      preparedSize_ = scratch_.size();
    }
    prepared_ = !stopped_;
  }
  return preparedSize_;
}

// Plain copies into a buffer sized beforehand: this loop is where a huge run spends its time.
inline void CopyGenerator::Write(char* dest) {
  if (usesLayout_) {
    for (const std::string_view* source : pieceTexts_) {
      const std::string_view text = *source;
      CopyPiece(dest, text);
      dest += text.size();
    }
  } else {
    std::memcpy(dest, scratch_.data(), scratch_.size());
  }
  prepared_ = false;
  ++copyIndex_;
}

size_t CopyGenerator::PrepareNextCopy() {
  return Prepare();
}

void CopyGenerator::WriteNextCopy(char* dest) {
  Write(dest);
}

// One loop over many copies, the steps above written out in it, rather than two calls a copy.
size_t CopyGenerator::WriteCopies(char* dest, size_t room, std::int64_t most, std::int64_t& made) {
  size_t used = 0;
  for (std::int64_t n = 0; n < most; ++n) {
    const size_t size = Prepare();
    if (stopped_ || size > room - used) {
      break;
    }
    Write(dest + used);
    used += size;
    ++made;
  }
  return used;
}

void CopyGenerator::AppendNextCopy(std::string& out) {
  const size_t size = PrepareNextCopy();
  const size_t start = out.size();
  out.resize(start + size);
  WriteNextCopy(out.data() + start);
}

}  // namespace kelvane
