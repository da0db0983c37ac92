// Builds the copies of a job one after another, each with every variable substituted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/counter.h"
#include "engine/job.h"

namespace kelvane {

// A rough set of the bytes of text once upper-cased: bit b & 63 for each byte b, ASCII letters
// counted as capitals, and every bit for a text beyond ASCII. A tag whose first byte's bit is
// missing cannot be in the upper-cased text.
inline std::uint64_t UpperByteMask(std::string_view text) {
  std::uint64_t mask = 0;
  for (const char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      return ~std::uint64_t{0};
    }
    byte = byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
    mask |= std::uint64_t{1} << (byte & 63);
  }
  return mask;
}

// Produces the same bytes as applying ResolveVariableValue for every variable, in list order, to
// each copy of the block; but linear in the size of the output. Values are read in place, so the
// job must outlive the generator.
class CopyGenerator {
 public:
  // Once *stop is set, the work in hand ends early: a copy being built is left unfinished and
  // stopped() turns true, so that a stop never waits for a copy with many variables.
  explicit CopyGenerator(const Job& job, const std::atomic<bool>* stop = nullptr);
  // The layout points into the generator itself.
  CopyGenerator(const CopyGenerator&) = delete;
  CopyGenerator& operator=(const CopyGenerator&) = delete;

  // Appends the next copy (0, 1, 2, ...) to out.
  void AppendNextCopy(std::string& out);
  // The same in two steps, for callers with buffers of their own: works out the next copy and
  // returns its size; WriteNextCopy() then puts exactly that many bytes at dest and moves on.
  // Until then, PrepareNextCopy() gives the same copy's size again.
  size_t PrepareNextCopy();
  void WriteNextCopy(char* dest);
  // Writes copies at dest, one after another, while the next fits in room and fewer than most
  // have been made; returns the bytes written and adds the copies to made. The copy that did not
  // fit stays prepared.
  size_t WriteCopies(char* dest, size_t room, std::int64_t most, std::int64_t& made);

  [[nodiscard]] std::int32_t nextCopy() const { return copyIndex_; }
  // Whether copies are built from a fixed layout of text and values rather than by searching
  // each whole copy for every tag.
  [[nodiscard]] bool usesLayout() const { return usesLayout_; }
  // How many windows of the layout are searched in each copy, where values may meet later tags.
  [[nodiscard]] size_t searchedWindows() const { return builtSegments_.size(); }
  // At least how many bytes copies 0 to repeatCount - 1 take together, worked out from the layout
  // without making them (counters count as empty); nothing when there is no layout.
  [[nodiscard]] std::optional<std::uint64_t> LeastTotalSize(std::int32_t repeatCount) const;
  // Whether the stop flag cut the last PrepareNextCopy() short; its copy must not be written.
  [[nodiscard]] bool stopped() const { return stopped_; }

 private:
  // One variable's value text, walked a line per copy.
  struct Variable {
    std::string_view tag;
    std::string upperTag;
    std::string_view text;
    bool singleLine = false;
    bool singleCounter = false;  // a single line that is a counter expression
    Counter counter{"%%count%%"};
    size_t lineStart = 0;             // where this copy's line begins, for multi-line texts
    size_t nextLineStart = 0;         // where the next copy's line begins
    std::string formatted;            // a counter's text for this copy
    std::string_view current;         // this copy's value: a line of text, or formatted
    std::string upperCurrent;         // the value upper-cased, once a window needs it
    std::uint64_t upperMask = 0;      // UpperByteMask() of this copy's value
    std::int32_t upperFor = -1;       // the copy upperCurrent is for
    std::int32_t maskFor = -1;        // the copy upperMask is for
    std::uint64_t tagFirstByte = 0;   // UpperByteMask() of the tag's first byte
    bool anyCounterLine = true;       // whether a line of a multi-line text can be a counter
    size_t uses = 0;                  // how many pieces of the layout hold the value
    const ValueList* list = nullptr;  // the list file holding the text, if any
    size_t released = 0;              // the list's bytes before this are given back
    // The scan's line feeds, those of them right after a carriage return, and where the last one is.
    std::int64_t lineFeeds = 0;
    std::int64_t crLineFeeds = 0;
    size_t lastLineFeed = 0;
  };

  // A piece of a copy's layout: literal text, the value of variable `variable`, or the text of
  // segments_[segment]. Literal text that is one stretch of the block stays in the block, so a
  // huge block is not held twice.
  struct Piece {
    std::string_view text;  // in the block, or in owned
    int variable = -1;
    int segment = -1;
    std::unique_ptr<std::string> owned;  // literal text made up of several stretches
    // Where this copy's text of the piece is: its own text, a variable's value or a segment's view.
    const std::string_view* source = nullptr;
  };

  // A window of the layout where values may form or break later tags: each copy, its pieces are
  // joined and then searched for its tags in turn, as in a whole copy.
  struct Segment {
    std::vector<Piece> pieces;                 // may hold earlier segments
    std::vector<std::uint64_t> literalMasks;   // UpperByteMask() of each literal piece, at its index
    std::vector<std::uint64_t> tagFirstBytes;  // UpperByteMask() of each tag's first byte
    std::uint64_t anyTagFirstByte = 0;         // all of them together
    std::vector<int> tags;                     // the variables whose tags are searched, in list order
    ByteSet possibleBytes{};                   // every upper-cased byte the window's text can hold
    std::string text, upper;                   // this copy's text, and upper-cased when a tag may be in it
    std::string_view view;                     // text, for the layout to point at
    std::uint64_t mask = 0;                    // UpperByteMask() of the text, or more
    size_t uses = 0;                           // how many pieces of the layout show this window
  };
  friend class LayoutBuilder;

  // Computes the variable's value for the current copy, then AdvanceLine() moves to the next.
  void ComputeValue(Variable& variable);
  static void AdvanceLine(Variable& variable);
  // The bytes copies 0 to repeatCount - 1 take of a multi-line value, counters counted as empty.
  static std::uint64_t UsedLinesSize(const Variable& v, std::int32_t repeatCount);
  // Gives back the pages of v's list before this copy's line.
  static void ReleaseBehind(Variable& v);
  // Makes v's value the text of the counter expression that this copy's line is.
  void FormatCounterLine(Variable& v) const;
  // PrepareNextCopy() and WriteNextCopy(), for WriteCopies() to inline.
  size_t Prepare();
  void Write(char* dest);
  size_t PrepareLayoutCopy();
  bool BuildLayout(const Job& job, const std::vector<TextScan>& scans);
  void MergeTwinSegments();
  void BuildBySearching();
  void BuildSegment(Segment& segment);
  // This copy's value of v, upper-cased.
  std::string_view UpperValue(Variable& v);
  // UpperByteMask() of this copy's value of v.
  std::uint64_t UpperMask(Variable& v);
  // Replaces every match of v's tag in text, whose upper-cased twin is upper, by v's value; upper
  // follows only when keepUpper is set.
  // Whether it replaced any.
  bool SearchAndReplace(std::string& text, std::string& upper, Variable& v, bool keepUpper);
  // Checks the stop flag; true once it is set.
  bool StopNow();

  std::string_view block_;
  std::vector<Variable> variables_;
  std::vector<Piece> layout_;
  std::vector<Segment> segments_;                    // an earlier segment may be part of a later one
  std::vector<int> builtSegments_;                   // those built for each copy: the first of each set of twins
  std::vector<int> layoutVariables_;                 // the variables whose values the layout and segments use
  size_t literalSize_ = 0;                           // bytes of literal text in the layout
  std::vector<const std::string_view*> pieceTexts_;  // every piece's text, in the layout's order
  bool usesLayout_ = false;
  std::int32_t copyIndex_ = 0;
  bool prepared_ = false;  // PrepareNextCopy() has worked out copy copyIndex_, of preparedSize_ bytes
  size_t preparedSize_ = 0;
  const std::atomic<bool>* stop_ = nullptr;
  bool stopped_ = false;
  bool upperInPieces_ = false;  // whether the search keeps the upper-cased copy piece by piece
  std::string upperBlock_;
  std::string scratch_, upperScratch_, built_, builtUpper_;
};

}  // namespace kelvane
