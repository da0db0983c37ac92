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

// Produces the same bytes as applying ResolveVariableValue for every variable, in list order, to
// each copy of the block; but linear in the size of the output. Values are read in place, so the
// job must outlive the generator.
class CopyGenerator {
 public:
  // Once *stop is set, the work in hand ends early: a copy being built is left unfinished and
  // stopped() turns true, so that a stop never waits for a copy with many variables.
  explicit CopyGenerator(const Job& job, const std::atomic<bool>* stop = nullptr);

  // Appends the next copy (0, 1, 2, ...) to out.
  void AppendNextCopy(std::string& out);
  // The same in two steps, for callers with buffers of their own: works out the next copy and
  // returns its size; WriteNextCopy() then puts exactly that many bytes at dest and moves on.
  size_t PrepareNextCopy();
  void WriteNextCopy(char* dest);

  [[nodiscard]] std::int32_t nextCopy() const { return copyIndex_; }
  // Whether every copy is built from a fixed layout of text and values, with no searching.
  [[nodiscard]] bool usesLayout() const { return usesLayout_; }
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
    bool anyCounterLine = true;       // whether a line of a multi-line text can be a counter
    const ValueList* list = nullptr;  // the list file holding the text, if any
    size_t released = 0;              // the list's bytes before this are given back
  };

  // A piece of a copy's layout: literal text, or the value of variable `variable`. Literal text
  // that is one stretch of the block stays in the block, so a huge block is not held twice.
  struct Piece {
    std::string_view text;  // in the block, or in owned
    int variable = -1;
    std::unique_ptr<std::string> owned;  // literal text made up of several stretches
  };

  // Computes the variable's value for the current copy, then AdvanceLine() moves to the next.
  void ComputeValue(Variable& variable);
  static void AdvanceLine(Variable& variable);
  bool BuildLayout(const Job& job, const std::vector<TextScan>& scans);
  void BuildBySearching();
  // Checks the stop flag; true once it is set.
  bool StopNow();

  std::string_view block_;
  std::vector<Variable> variables_;
  std::vector<Piece> layout_;
  std::vector<int> layoutVariables_;  // the variables whose values the layout uses
  size_t literalSize_ = 0;            // bytes of literal text in the layout
  bool usesLayout_ = false;
  std::int32_t copyIndex_ = 0;
  const std::atomic<bool>* stop_ = nullptr;
  bool stopped_ = false;
  bool upperInPieces_ = false;  // whether the search keeps the upper-cased copy piece by piece
  std::string upperBlock_;
  std::string scratch_, upperScratch_, built_, builtUpper_, upperValue_;
};

}  // namespace kelvane
