// Counter expressions such as %%count1%03d%%: recognising them and formatting their numbers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

// Whether a selected value line is a counter expression: it begins with "%%count" in any
// letter case and ends with exactly "%%".
bool IsCounterExpression(std::string_view line);

// Reads a start number as the C runtime's atoi does: leading white space, a sign, digits up to
// the first non-digit; no digits give 0 and numbers beyond 32 bits wrap around.
std::int32_t ParseStartNumber(std::string_view text);

// A printf-style format for one 32-bit integer, parsed by our own code and never handed to printf.
//
// Formatted: literal text, %% (one percent sign), and one conversion of the form
// %[flags -+ #0][width][.precision][length]conv with conv one of d i o u x X; width and
// precision up to 4096; h and hh narrow the number to a short or a char first, as printf does
// with an int argument; other length modifiers (l, ll, L, q, j, z, t, I, I32, I64) are read and
// ignored, the number always being 32 bits.
// Anything else is copied to the output as literal text, exactly as written: a second
// conversion, a conversion with '*', an unknown conversion letter, or a width or precision
// beyond the bound. A '%' that ends the format, with or without flags, width or precision,
// produces nothing.
class IntegerFormat {
 public:
  explicit IntegerFormat(std::string_view format);

  // Where a decimal number's digits, with the zeros that pad them, landed in the output.
  struct DigitRun {
    size_t begin = 0;
    size_t end = 0;  // empty when the number was not written in decimal or was negative
  };

  // Appends the formatted value to out; run, when given, tells where its decimal digits went.
  void AppendTo(std::string& out, std::int32_t value, DigitRun* run = nullptr) const;
  [[nodiscard]] std::string Format(std::int32_t value) const;

  // Every byte that the upper-cased output can hold, for any value: 256 flags.
  [[nodiscard]] const std::array<bool, 256>& possibleUpperBytes() const { return possibleUpperBytes_; }
  // Whether some value formats to an empty text.
  [[nodiscard]] bool canBeEmpty() const { return canBeEmpty_; }

  static constexpr int kMaxWidth = 4096;

 private:
  enum class Narrowing { None, Short, Char };
  struct Conversion {
    bool leftAlign = false, plus = false, space = false, alternate = false, zeroPad = false;
    int width = 0;
    int precision = -1;  // -1: none given
    char letter = 'd';
    Narrowing narrowing = Narrowing::None;
  };
  void AppendConversion(std::string& out, std::int32_t value, DigitRun* run) const;

  std::string prefix_;  // literal text before the conversion
  std::string suffix_;  // literal text after it
  bool hasConversion_ = false;
  Conversion conversion_;
  std::array<bool, 256> possibleUpperBytes_{};
  bool canBeEmpty_ = false;
};

// A counter expression's start number and format.
class Counter {
 public:
  // line must be a counter expression.
  explicit Counter(std::string_view line);

  // The counter's text for a copy: the format applied to start + copyIndex, wrapping at 32 bits.
  // Asked for the copy after the last one, it counts the last text on by one where it can.
  void AppendTo(std::string& out, std::int32_t copyIndex) const;
  [[nodiscard]] std::string Format(std::int32_t copyIndex) const;
  // The same text, valid until the next call.
  [[nodiscard]] const std::string& Text(std::int32_t copyIndex) const {
    // One more than last time, in decimal, without a new digit: only the digits change, so count
    // them on in place. This is what makes a numbered million copies cheap.
    if (copyIndex == lastIndex_ + 1 && lastRun_.end > lastRun_.begin &&
        static_cast<std::int32_t>(static_cast<std::uint32_t>(start_) + static_cast<std::uint32_t>(copyIndex)) > 0) {
      size_t pos = lastRun_.end;
      while (pos > lastRun_.begin && last_[pos - 1] == '9') {
        last_[--pos] = '0';
      }
      if (pos > lastRun_.begin) {
        ++last_[pos - 1];
        lastIndex_ = copyIndex;
        return last_;
      }
    }
    return Reformat(copyIndex);
  }
  [[nodiscard]] const IntegerFormat& format() const { return format_; }

 private:
  static std::string InnerFormat(std::string_view line, std::int32_t& start);
  // Text() when counting on in place cannot: formats the number afresh. A carry past the first
  // digit leaves the digits it passed at '0'; they are written again here.
  const std::string& Reformat(std::int32_t copyIndex) const;

  std::int32_t start_ = 0;
  IntegerFormat format_;
  // The last text and where its digits are, so the next number is one increment away.
  mutable std::string last_;
  mutable std::int64_t lastIndex_ = -2;
  mutable IntegerFormat::DigitRun lastRun_;
};

}  // namespace kelvane
