#include "engine/counter.h"

#include <algorithm>
#include <cstring>

#include "engine/utf8.h"

namespace kelvane {

namespace {

constexpr std::string_view kCounterPrefix = "%%count";
constexpr std::string_view kCounterSuffix = "%%";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The letters that would make printf read something other than an int. Replacing each of them
// in either case by 'd' is what keeps a user's format safe; other letters stay.
bool IsUnsafeLetter(char c) {
  switch (c) {
    case 'S':
    case 's':
    case 'P':
    case 'p':
    case 'N':
    case 'n':
    case 'G':
    case 'g':
    case 'E':
    case 'e':
    case 'F':
    case 'f':
    case 'C':
    case 'c': return true;
    default: return false;
  }
}

// Reads up to the bound and flags anything beyond it, so a huge width never overflows.
int ReadNumber(std::string_view format, size_t& pos, bool& tooLarge) {
  int value = 0;
  while (pos < format.size() && IsDigit(format[pos])) {
    if (value <= IntegerFormat::kMaxWidth) {
      value = value * 10 + (format[pos] - '0');
    }
    ++pos;
  }
  if (value > IntegerFormat::kMaxWidth) {
    tooLarge = true;
  }
  return value;
}

// Returns the modifiers read, such as "hh" or "I64".
std::string_view ReadLengthModifiers(std::string_view format, size_t& pos) {
  const size_t start = pos;
  while (pos < format.size()) {
    const char c = format[pos];
    if (c == 'I') {
      const std::string_view rest = format.substr(pos + 1);
      pos += rest.starts_with("64") || rest.starts_with("32") ? 3 : 1;
    } else if (std::strchr("hlLqjzt", c) != nullptr && c != '\0') {
      ++pos;
    } else {
      break;
    }
  }
  return format.substr(start, pos - start);
}

void MarkBytes(std::array<bool, 256>& bytes, std::string_view text) {
  for (const char c : text) {
    bytes[static_cast<unsigned char>(c)] = true;
  }
}

}  // namespace

bool IsCounterExpression(std::string_view line) {
  if (line.size() < kCounterPrefix.size() || line.size() < kCounterSuffix.size()) {
    return false;
  }
  for (size_t i = 0; i < kCounterPrefix.size(); ++i) {
    const char c = line[i];
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    if (lower != kCounterPrefix[i]) {
      return false;
    }
  }
  return line.ends_with(kCounterSuffix);
}

std::int32_t ParseStartNumber(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::uint32_t value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    value = value * 10U + static_cast<std::uint32_t>(text[pos] - '0');
    ++pos;
  }
  if (negative) {
    value = 0U - value;
  }
  return static_cast<std::int32_t>(value);
}

IntegerFormat::IntegerFormat(std::string_view format) {
  std::string literal;
  size_t pos = 0;
  while (pos < format.size()) {
    const char c = format[pos];
    if (c != '%') {
      literal += c;
      ++pos;
      continue;
    }
    if (pos + 1 < format.size() && format[pos + 1] == '%') {
      literal += '%';
      pos += 2;
      continue;
    }
    const size_t start = pos++;
    Conversion conversion;
    while (pos < format.size() && std::strchr("-+ #0", format[pos]) != nullptr && format[pos] != '\0') {
      switch (format[pos++]) {
        case '-': conversion.leftAlign = true; break;
        case '+': conversion.plus = true; break;
        case ' ': conversion.space = true; break;
        case '#': conversion.alternate = true; break;
        default: conversion.zeroPad = true; break;
      }
    }
    bool star = false;
    bool tooLarge = false;
    if (pos < format.size() && format[pos] == '*') {
      star = true;
      ++pos;
    } else {
      conversion.width = ReadNumber(format, pos, tooLarge);
    }
    if (pos < format.size() && format[pos] == '.') {
      ++pos;
      if (pos < format.size() && format[pos] == '*') {
        star = true;
        ++pos;
      } else {
        conversion.precision = ReadNumber(format, pos, tooLarge);
      }
    }
    const std::string_view length = ReadLengthModifiers(format, pos);
    conversion.narrowing = length == "h" ? Narrowing::Short : length == "hh" ? Narrowing::Char : Narrowing::None;
    if (pos >= format.size()) {
      break;  // an unfinished conversion at the end produces nothing
    }
    conversion.letter = format[pos++];
    const bool integer = std::strchr("diouxX", conversion.letter) != nullptr && conversion.letter != '\0';
    if (integer && !star && !tooLarge && !hasConversion_) {
      hasConversion_ = true;
      conversion_ = conversion;
      prefix_ = std::move(literal);
      literal.clear();
    } else {
      literal.append(format.substr(start, pos - start));
    }
  }
  (hasConversion_ ? suffix_ : prefix_) = std::move(literal);

  MarkBytes(possibleUpperBytes_, UpperCase(prefix_));
  MarkBytes(possibleUpperBytes_, UpperCase(suffix_));
  if (hasConversion_) {
    MarkBytes(possibleUpperBytes_, "0123456789+- ");
    if (conversion_.letter == 'x' || conversion_.letter == 'X') {
      MarkBytes(possibleUpperBytes_, "ABCDEFX");
    }
  }
  const Conversion& cv = conversion_;
  // A sign or blank is written for d and i only; o, u, x and X ignore those flags.
  const bool isSigned = cv.letter == 'd' || cv.letter == 'i';
  canBeEmpty_ = prefix_.empty() && suffix_.empty() &&
                (!hasConversion_ || (cv.precision == 0 && cv.width == 0 && !((cv.plus || cv.space) && isSigned) &&
                                     !(cv.alternate && cv.letter == 'o')));
}

void IntegerFormat::AppendConversion(std::string& out, std::int32_t value, DigitRun* run) const {
  const Conversion& cv = conversion_;
  const bool isSigned = cv.letter == 'd' || cv.letter == 'i';
  // As printf converts its int argument to the short or char that h or hh names.
  if (cv.narrowing == Narrowing::Short) {
    value = isSigned ? static_cast<std::int16_t>(value) : static_cast<std::uint16_t>(value);
  } else if (cv.narrowing == Narrowing::Char) {
    value = isSigned ? static_cast<std::int8_t>(value) : static_cast<std::uint8_t>(value);
  }
  const bool negative = isSigned && value < 0;
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (negative) {
    magnitude = 0U - magnitude;
  }
  const unsigned base = cv.letter == 'o' ? 8 : (cv.letter == 'x' || cv.letter == 'X') ? 16 : 10;
  const char* digitChars = cv.letter == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";

  // Digits are produced from the right, two at a time for decimal: this runs once per copy.
  char digits[16];
  size_t count = 0;
  std::uint32_t rest = magnitude;
  if (base == 10) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    while (rest >= 100) {
      const size_t pair = size_t{rest % 100} * 2;
      rest /= 100;
      digits[count++] = kPairs[pair + 1];
      digits[count++] = kPairs[pair];
    }
    if (rest >= 10) {
      const size_t pair = size_t{rest} * 2;
      digits[count++] = kPairs[pair + 1];
      digits[count++] = kPairs[pair];
    } else if (rest != 0) {
      digits[count++] = static_cast<char>('0' + rest);
    }
  } else {
    for (; rest != 0; rest /= base) {
      digits[count++] = digitChars[rest % base];
    }
  }
  // Without a precision, zero is written as one digit; precision 0 writes it as nothing.
  if (count == 0 && cv.precision != 0) {
    digits[count++] = '0';
  }
  size_t zeros = cv.precision > static_cast<int>(count) ? static_cast<size_t>(cv.precision) - count : 0;
  if (cv.letter == 'o' && cv.alternate && zeros == 0 && (count == 0 || digits[count - 1] != '0')) {
    zeros = 1;
  }

  std::string_view prefix;
  if (negative) {
    prefix = "-";
  } else if (isSigned && cv.plus) {
    prefix = "+";
  } else if (isSigned && cv.space) {
    prefix = " ";
  } else if (cv.alternate && magnitude != 0 && (cv.letter == 'x' || cv.letter == 'X')) {
    prefix = cv.letter == 'x' ? "0x" : "0X";
  }

  const size_t length = prefix.size() + zeros + count;
  const size_t width = static_cast<size_t>(cv.width);
  const size_t padding = width > length ? width - length : 0;
  if (!cv.leftAlign && !(cv.zeroPad && cv.precision < 0)) {
    out.append(padding, ' ');
  }
  out.append(prefix);
  const size_t runBegin = out.size();
  if (!cv.leftAlign && cv.zeroPad && cv.precision < 0) {
    out.append(padding, '0');
  }
  out.append(zeros, '0');
  std::reverse(digits, digits + count);
  out.append(digits, count);
  // A narrowed number wraps within its few bits, so its digits cannot simply be counted on.
  if (run != nullptr && base == 10 && !negative && cv.narrowing == Narrowing::None) {
    *run = {runBegin, out.size()};
  }
  if (cv.leftAlign) {
    out.append(padding, ' ');
  }
}

void IntegerFormat::AppendTo(std::string& out, std::int32_t value, DigitRun* run) const {
  if (run != nullptr) {
    *run = {};
  }
  out.append(prefix_);
  if (hasConversion_) {
    AppendConversion(out, value, run);
    out.append(suffix_);
  }
}

std::string IntegerFormat::Format(std::int32_t value) const {
  std::string out;
  AppendTo(out, value);
  return out;
}

std::string Counter::InnerFormat(std::string_view line, std::int32_t& start) {
  std::string_view inner =
      line.substr(kCounterPrefix.size(), line.size() - kCounterPrefix.size() - kCounterSuffix.size());
  const size_t percent = inner.find('%');
  if (percent == std::string_view::npos) {
    return "%d";  // no format: the inner text is ignored, start number included
  }
  if (percent >= 1) {
    start = ParseStartNumber(inner.substr(0, percent));
    inner.remove_prefix(percent);
  }
  std::string format(inner);
  for (char& c : format) {
    if (IsUnsafeLetter(c)) {
      c = 'd';
    }
  }
  return format;
}

Counter::Counter(std::string_view line) : format_(InnerFormat(line, start_)) {}

const std::string& Counter::Reformat(std::int32_t copyIndex) const {
  const auto value =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(start_) + static_cast<std::uint32_t>(copyIndex));
  last_.clear();
  format_.AppendTo(last_, value, &lastRun_);
  lastIndex_ = copyIndex;
  return last_;
}

void Counter::AppendTo(std::string& out, std::int32_t copyIndex) const {
  out.append(Text(copyIndex));
}

std::string Counter::Format(std::int32_t copyIndex) const {
  std::string out;
  AppendTo(out, copyIndex);
  return out;
}

}  // namespace kelvane
