// The copy generator's layout: the copy's literal text, its values, and the windows around values
// that may meet later tags, worked out once for the whole run.

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/copy_generator.h"
#include "engine/layout_proof.h"
#include "engine/utf8.h"

namespace kelvane {

namespace {

// How far into literal text a window looks for an edge that no match can cross, before it takes
// the whole text in.
constexpr size_t kEdgeSearch = 256;

}  // namespace

// Applies the tags one after another to the layout, as the literal algorithm applies them to a
// copy. Each value (or window) that a match of the tag may touch in some copy is wrapped, with
// enough text around it that no match can cross the wrap's edges, in a window searched per copy;
// matches anywhere else lie wholly in literal text, the same in every copy, and are replaced once
// here. A match that touches nothing but literal text either lies in one literal piece or crosses
// an empty value, which the empty-value check sends to a window too.
class LayoutBuilder {
 public:
  using Piece = CopyGenerator::Piece;
  using Segment = CopyGenerator::Segment;

  LayoutBuilder(CopyGenerator& generator, std::vector<ValueRange> ranges)
      : generator_(generator), block_(generator.block_), ranges_(std::move(ranges)) {}

  // False when the stop flag cut the work short.
  bool Build() {
    std::vector<Piece> pieces;
    pieces.push_back({block_, -1, -1, nullptr});
    for (size_t j = 0; j < generator_.variables_.size(); ++j) {
      upperTag_ = generator_.variables_[j].upperTag;
      if (upperTag_.empty()) {
        continue;
      }
      if (generator_.StopNow()) {
        return false;
      }
      tagBytes_ = {};
      Mark(tagBytes_, upperTag_);
      pieces = ReplaceInLiterals(FormWindows(std::move(pieces), static_cast<int>(j)), static_cast<int>(j));
    }
    generator_.layout_ = std::move(pieces);
    return true;
  }

 private:
  static bool IsLiteral(const Piece& p) { return p.variable < 0 && p.segment == -1; }
  // A window formed for the present tag, not yet made a segment: segment -2 - its index.
  static int WindowOf(const Piece& p) { return p.segment <= -2 ? -2 - p.segment : -1; }

  // A value never empty that no match of the tag touches: no match crosses it either.
  bool IsBarrier(const Piece& p) const {
    return p.variable >= 0 && !ranges_[static_cast<size_t>(p.variable)].canBeEmpty();
  }

  // The upper-cased end (atEnd) or start of text: enough of it to hold any tag's head or tail,
  // widened to whole characters.
  std::string UpperNear(std::string_view text, bool atEnd) const {
    const size_t n = upperTag_.size();
    if (text.size() <= n) {
      return UpperCase(text);
    }
    if (atEnd) {
      size_t begin = text.size() - n;
      while (begin > 0 && !IsCharBoundary(text, begin)) {
        --begin;
      }
      return UpperCase(text.substr(begin));
    }
    size_t end = n;
    while (end < text.size() && !IsCharBoundary(text, end)) {
      ++end;
    }
    return UpperCase(text.substr(0, end));
  }

  // The sides of the piece at pieces[p]. A value or window beside it is unknown text of any
  // length. Only the tag's length of literal text next to it can matter.
  std::pair<Side, Side> SidesOf(const std::vector<Piece>& pieces, size_t p) const {
    Side before, after;
    if (p > 0) {
      const Piece& left = pieces[p - 1];
      before.known = IsLiteral(left) ? UpperNear(left.text, true) : std::string();
      before.open = !IsLiteral(left) || p > 1 || before.known.size() < left.text.size();
    }
    if (p + 1 < pieces.size()) {
      const Piece& right = pieces[p + 1];
      after.known = IsLiteral(right) ? UpperNear(right.text, false) : std::string();
      after.open = !IsLiteral(right) || p + 2 < pieces.size() || after.known.size() < right.text.size();
    }
    return {std::move(before), std::move(after)};
  }

  // Whether a match of the tag may take in a byte of pieces[p], a value or a segment, or run
  // across it when it is empty.
  bool Touched(const std::vector<Piece>& pieces, size_t p) const {
    const Piece& piece = pieces[p];
    const auto [before, after] = SidesOf(pieces, p);
    const Reach reach(upperTag_, before, after);
    bool canBeEmpty = true;  // a segment's matches may remove all of its text
    if (piece.variable >= 0) {
      const ValueRange& range = ranges_[static_cast<size_t>(piece.variable)];
      if (range.CanTouch(upperTag_, reach)) {
        return true;
      }
      canBeEmpty = range.canBeEmpty();
    } else if (BytesCanTouch(generator_.segments_[static_cast<size_t>(piece.segment)].possibleBytes, upperTag_,
                             reach)) {
      return true;
    }
    if (!canBeEmpty || upperTag_.size() < 2) {
      return false;
    }
    // An empty value joins its neighbours; a match across it must use the bytes beside it.
    const auto safe = [&](const Piece& side, bool last) {
      if (IsBarrier(side)) {
        return true;
      }
      if (!IsLiteral(side)) {
        return false;
      }
      const std::string upper = UpperNear(side.text, last);
      return !tagBytes_[static_cast<unsigned char>(last ? upper.back() : upper.front())];
    };
    const bool leftSafe = p == 0 || safe(pieces[p - 1], true);
    const bool rightSafe = p + 1 == pieces.size() || safe(pieces[p + 1], false);
    return !leftSafe && !rightSafe;
  }

  // Where in literal text, nearest its end (fromEnd) or its start, a window's edge may go: a
  // character boundary that no match can cross, given what may lie beyond the text on the far
  // side (openFar) and the window's unknown text on the near side. npos when none is near.
  size_t Edge(std::string_view text, bool fromEnd, bool openFar) const {
    const size_t n = upperTag_.size();
    const size_t tries = std::min(text.size(), kEdgeSearch);
    // Only the stretch within reach of the tries is upper-cased, widened to whole characters.
    const size_t reach = std::min(text.size(), tries + n);
    size_t begin = fromEnd ? text.size() - reach : 0;
    size_t end = fromEnd ? text.size() : reach;
    while (begin > 0 && !IsCharBoundary(text, begin)) {
      --begin;
    }
    while (end < text.size() && !IsCharBoundary(text, end)) {
      ++end;
    }
    const std::string upper = UpperCase(text.substr(begin, end - begin));
    for (size_t t = 0; t <= tries; ++t) {
      const size_t s = fromEnd ? text.size() - t : t;
      if (!IsCharBoundary(text, s)) {
        continue;
      }
      const size_t low = std::max(begin, s >= n ? s - n : 0);
      const size_t high = std::min(end, s + n);
      const Side before{upper.substr(low - begin, s - low), fromEnd ? openFar || low > 0 : true};
      const Side after{upper.substr(s - begin, high - s), fromEnd ? true : openFar || high < text.size()};
      if (!MatchCanCross(upperTag_, before, after)) {
        return s;
      }
    }
    return std::string_view::npos;
  }

  // The literal piece's bytes [begin, end), as a piece of their own that needs nothing else.
  static Piece Part(const Piece& p, size_t begin, size_t end) {
    const std::string_view text = p.text.substr(begin, end - begin);
    if (!p.owned) {
      return {text, -1, -1, nullptr};
    }
    auto owned = std::make_unique<std::string>(text);
    const std::string_view view = *owned;
    return {view, -1, -1, std::move(owned)};
  }

  // Gathers every touched piece, with the text around it up to edges no match of the tag can
  // cross, into windows; windows that meet are joined. Returns the pieces with each window stood
  // in for by a segment searched for the tag.
  std::vector<Piece> FormWindows(std::vector<Piece> pieces, int tag) {
    std::vector<bool> touched(pieces.size());
    for (size_t p = 0; p < pieces.size(); ++p) {
      touched[p] = !IsLiteral(pieces[p]) && Touched(pieces, p);
    }
    std::vector<std::vector<Piece>> windows;
    std::vector<Piece> out;
    for (size_t p = 0; p < pieces.size(); ++p) {
      if (!touched[p]) {
        out.push_back(std::move(pieces[p]));
        continue;
      }
      std::vector<Piece> window;
      window.push_back(std::move(pieces[p]));
      // Leftwards, over what is already laid out.
      while (!out.empty()) {
        Piece& left = out.back();
        if (const int w = WindowOf(left); w >= 0) {
          std::vector<Piece>& earlier = windows[static_cast<size_t>(w)];
          std::move(window.begin(), window.end(), std::back_inserter(earlier));
          window = std::move(earlier);
          earlier.clear();
          out.pop_back();
          continue;
        }
        if (IsLiteral(left)) {
          const size_t s = Edge(left.text, true, out.size() > 1);
          if (s != std::string_view::npos) {
            if (s < left.text.size()) {
              window.insert(window.begin(), Part(left, s, left.text.size()));
              if (s == 0) {
                out.pop_back();
              } else {
                left.text = left.text.substr(0, s);
              }
            }
            break;
          }
        } else if (IsBarrier(left)) {
          break;
        }
        window.insert(window.begin(), std::move(left));
        out.pop_back();
      }
      // Rightwards, over what comes next.
      size_t q = p + 1;
      for (; q < pieces.size(); ++q) {
        Piece& right = pieces[q];
        if (IsLiteral(right)) {
          const size_t s = Edge(right.text, false, q + 1 < pieces.size());
          if (s != std::string_view::npos) {
            if (s > 0) {
              window.push_back(Part(right, 0, s));
              right.text = right.text.substr(s);
            }
            break;
          }
        } else if (!touched[q] && IsBarrier(right)) {
          break;
        }
        window.push_back(std::move(right));
      }
      // What is left of a literal where the window ended is laid out as usual.
      if (q < pieces.size() && IsLiteral(pieces[q]) && pieces[q].text.empty()) {
        ++q;
      }
      p = q - 1;
      out.push_back({{}, -1, -2 - static_cast<int>(windows.size()), nullptr});
      windows.push_back(std::move(window));
    }
    for (Piece& piece : out) {
      if (const int w = WindowOf(piece); w >= 0) {
        piece.segment = MakeSegment(std::move(windows[static_cast<size_t>(w)]), tag);
      }
    }
    return out;
  }

  // A segment that searches the window's text for the tag: the window's one segment with the tag
  // added to its own, or a new segment around the window's pieces.
  int MakeSegment(std::vector<Piece> window, int tag) {
    std::vector<Segment>& segments = generator_.segments_;
    const ByteSet tagValueBytes = ranges_[static_cast<size_t>(tag)].possibleBytes();
    if (window.size() == 1 && window.front().segment >= 0) {
      Segment& segment = segments[static_cast<size_t>(window.front().segment)];
      segment.tags.push_back(tag);
      Merge(segment.possibleBytes, tagValueBytes);
      return window.front().segment;
    }
    Segment segment;
    segment.possibleBytes = tagValueBytes;
    for (const Piece& piece : window) {
      segment.literalMasks.push_back(0);
      if (IsLiteral(piece)) {
        const std::string upper = UpperCase(piece.text);
        segment.literalMasks.back() = UpperByteMask(upper);
        Mark(segment.possibleBytes, upper);
      } else if (piece.variable >= 0) {
        Merge(segment.possibleBytes, ranges_[static_cast<size_t>(piece.variable)].possibleBytes());
      } else {
        Merge(segment.possibleBytes, segments[static_cast<size_t>(piece.segment)].possibleBytes);
      }
    }
    segment.pieces = std::move(window);
    segment.tags.push_back(tag);
    segments.push_back(std::move(segment));
    return static_cast<int>(segments.size() - 1);
  }

  static void Merge(ByteSet& into, const ByteSet& from) {
    for (size_t b = 0; b < into.size(); ++b) {
      into[b] = into[b] || from[b];
    }
  }

  // Replaces the tag's matches in literal text, the same in every copy: by a constant's text, or
  // by a piece for the value. Literal text is kept as a view while it is one stretch of the block;
  // text from anywhere else (a constant value, an earlier owned piece) is copied, as that may not
  // outlive this.
  std::vector<Piece> ReplaceInLiterals(std::vector<Piece> pieces, int tag) const {
    std::vector<Piece> next;
    const auto inBlock = [this](std::string_view text) {
      const std::less_equal<const char*> atMost;
      return atMost(block_.data(), text.data()) && atMost(text.data() + text.size(), block_.data() + block_.size());
    };
    const auto append = [&next, &inBlock](std::string_view text) {
      if (text.empty()) {
        return;
      }
      if (!next.empty() && IsLiteral(next.back())) {
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
        next.push_back({text, -1, -1, nullptr});
        return;
      }
      auto owned = std::make_unique<std::string>(text);
      const std::string_view view = *owned;
      next.push_back({view, -1, -1, std::move(owned)});
    };
    const ValueRange& range = ranges_[static_cast<size_t>(tag)];
    for (Piece& piece : pieces) {
      if (!IsLiteral(piece)) {
        next.push_back(std::move(piece));
        continue;
      }
      const std::string upper = UpperCase(piece.text);
      size_t done = 0;
      for (size_t match = FindUpper(upper, upperTag_, 0); match != std::string::npos;
           match = FindUpper(upper, upperTag_, done)) {
        append(piece.text.substr(done, match - done));
        if (range.constant()) {
          append(range.constantText());
        } else {
          next.push_back({{}, tag, -1, nullptr});
        }
        done = match + upperTag_.size();
      }
      append(piece.text.substr(done));
    }
    return next;
  }

  CopyGenerator& generator_;
  std::string_view block_;
  std::vector<ValueRange> ranges_;
  std::string upperTag_;
  ByteSet tagBytes_{};
};

// A tag found in several places with the same value around it makes twin windows: the same pieces
// searched for the same tags. Each is built once a copy, the first of them standing for the rest.
void CopyGenerator::MergeTwinSegments() {
  std::vector<int> first(segments_.size());
  std::map<std::string, int> seen;
  const auto redirect = [&first](Piece& piece) {
    if (piece.segment >= 0) {
      piece.segment = first[static_cast<size_t>(piece.segment)];
    }
  };
  for (size_t i = 0; i < segments_.size(); ++i) {
    Segment& segment = segments_[i];
    std::for_each(segment.pieces.begin(), segment.pieces.end(), redirect);
    std::string key;
    for (const int tag : segment.tags) {
      key += 't' + std::to_string(tag);
    }
    for (const Piece& piece : segment.pieces) {
      key += piece.segment >= 0    ? 's' + std::to_string(piece.segment)
             : piece.variable >= 0 ? 'v' + std::to_string(piece.variable)
                                   : 'l' + std::to_string(piece.text.size()) + ':' + std::string(piece.text);
    }
    first[i] = seen.emplace(std::move(key), static_cast<int>(i)).first->second;
  }
  std::for_each(layout_.begin(), layout_.end(), redirect);
  for (size_t i = 0; i < segments_.size(); ++i) {
    if (first[i] == static_cast<int>(i)) {
      builtSegments_.push_back(static_cast<int>(i));
    }
  }
}

// The layout holds only where the pieces are valid UTF-8: then character boundaries and
// upper-casing are local to each piece.
bool CopyGenerator::BuildLayout(const Job& job, const std::vector<TextScan>& scans) {
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
  if (!LayoutBuilder(*this, std::move(ranges)).Build()) {
    return false;
  }
  MergeTwinSegments();
  for (Piece& piece : layout_) {
    if (piece.segment >= 0) {
      Segment& segment = segments_[static_cast<size_t>(piece.segment)];
      piece.source = &segment.view;
      ++segment.uses;
    } else if (piece.variable >= 0) {
      Variable& v = variables_[static_cast<size_t>(piece.variable)];
      piece.source = &v.current;
      ++v.uses;
    } else {
      piece.source = &piece.text;
      literalSize_ += piece.text.size();
    }
    pieceTexts_.push_back(piece.source);
  }
  const auto use = [this](int variable) {
    if (variable >= 0 &&
        std::find(layoutVariables_.begin(), layoutVariables_.end(), variable) == layoutVariables_.end()) {
      layoutVariables_.push_back(variable);
    }
  };
  for (const Piece& piece : layout_) {
    use(piece.variable);
  }
  for (const int index : builtSegments_) {
    Segment& segment = segments_[static_cast<size_t>(index)];
    for (const int tag : segment.tags) {
      segment.tagFirstBytes.push_back(variables_[static_cast<size_t>(tag)].tagFirstByte);
      segment.anyTagFirstByte |= segment.tagFirstBytes.back();
    }
    for (const Piece& piece : segment.pieces) {
      use(piece.variable);
    }
    std::for_each(segment.tags.begin(), segment.tags.end(), use);
  }
  return true;
}

}  // namespace kelvane
