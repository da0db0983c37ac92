// Fuzzes counter formatting: a value text for any copy index, resolved as Duplicate resolves it,
// against a reference written from the rules, with snprintf as the reference formatter.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/counter.h"
#include "engine/utf8.h"
#include "engine/variables.h"

namespace {

constexpr int kMaxWidth = 4096;

[[noreturn]] void Fail(const char* what, std::string_view input) {
  std::fprintf(stderr, "invariant broken: %s\ninput (%zu bytes):", what, input.size());
  for (const char c : input) {
    std::fprintf(stderr, " %02x", static_cast<unsigned char>(c));
  }
  std::fprintf(stderr, "\n");
  std::abort();
}

// Line copyIndex of a value text, or the text after its last line feed, without one trailing CR;
// a text without a line feed is taken whole.
std::string ReferenceLine(std::string_view value, int copyIndex) {
  if (value.find('\n') == std::string_view::npos) {
    return std::string(value);
  }
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t feed = value.find('\n'); feed != std::string_view::npos; feed = value.find('\n', start)) {
    lines.push_back(value.substr(start, feed - start));
    start = feed + 1;
  }
  lines.push_back(value.substr(start));
  const size_t last = lines.size() - 1;
  const size_t index = copyIndex <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(copyIndex), last);
  std::string line(lines[index]);
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

bool ReferenceIsCounter(std::string_view line) {
  static constexpr char kPrefix[] = "%%count";
  if (line.size() < 9) {
    return false;  // seven characters of prefix and two of suffix cannot overlap
  }
  for (size_t i = 0; i < 7; ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != kPrefix[i]) {
      return false;
    }
  }
  return line.substr(line.size() - 2) == "%%";
}

// atoi as the C runtime reads it, wrapping beyond 32 bits instead of being undefined.
std::uint32_t ReferenceAtoi(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\v' ||
                               text[pos] == '\f' || text[pos] == '\r')) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos++] == '-';
  }
  std::uint64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = (value * 10 + static_cast<std::uint64_t>(text[pos] - '0')) % (std::uint64_t{1} << 32);
  }
  const auto result = static_cast<std::uint32_t>(value);
  return negative ? 0U - result : result;
}

// Whether snprintf and IntegerFormat both take format the same way: literal text without NUL, %%,
// and at most one conversion %[-+ #0]*[width][.precision](d|i|o|u|x|X), width and precision at most 4096.
bool BothAccept(std::string_view format) {
  bool converted = false;
  for (size_t pos = 0; pos < format.size();) {
    const char c = format[pos++];
    if (c == '\0') {
      return false;
    }
    if (c != '%') {
      continue;
    }
    if (pos < format.size() && format[pos] == '%') {
      ++pos;
      continue;
    }
    if (converted) {
      return false;
    }
    converted = true;
    while (pos < format.size() && std::strchr("-+ #0", format[pos]) != nullptr && format[pos] != '\0') {
      ++pos;
    }
    for (int part = 0; part < 2; ++part) {
      if (part == 1) {
        if (pos >= format.size() || format[pos] != '.') {
          break;
        }
        ++pos;
      }
      long number = 0;
      for (; pos < format.size() && format[pos] >= '0' && format[pos] <= '9'; ++pos) {
        number = number * 10 + (format[pos] - '0');
        if (number > kMaxWidth) {
          return false;
        }
      }
    }
    if (pos >= format.size() || std::strchr("diouxX", format[pos]) == nullptr || format[pos] == '\0') {
      return false;
    }
    ++pos;
  }
  return true;
}

std::string Snprintf(const std::string& format, std::int32_t value) {
  std::vector<char> buffer(format.size() + 2 * kMaxWidth + 64);
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
  const int length = std::snprintf(buffer.data(), buffer.size(), format.c_str(), value);
#pragma clang diagnostic pop
  if (length < 0 || static_cast<size_t>(length) >= buffer.size()) {
    Fail("snprintf overflowed the reference buffer", format);
  }
  return std::string(buffer.data(), static_cast<size_t>(length));
}

// The format of a counter line after the unsafe letters became 'd', and its start number.
std::string ReferenceFormat(std::string_view line, std::uint32_t& start) {
  std::string_view inner = line.substr(7, line.size() - 9);
  start = 0;
  const size_t percent = inner.find('%');
  if (percent == std::string_view::npos) {
    return "%d";
  }
  start = ReferenceAtoi(inner.substr(0, percent));
  std::string format(inner.substr(percent));
  for (char& c : format) {
    if (std::strchr("SsPpNnGgEeFfCc", c) != nullptr && c != '\0') {
      c = 'd';
    }
  }
  return format;
}

// A single conversion of at most 4096 characters, plus the format's own text.
bool WithinBound(const std::string& result, std::string_view format) {
  return result.size() <= format.size() + kMaxWidth + 16;
}

void CheckFormat(std::string_view format, std::int32_t value, std::string_view input) {
  const kelvane::IntegerFormat parsed(format);
  const std::string ours = parsed.Format(value);
  if (BothAccept(format) && ours != Snprintf(std::string(format), value)) {
    Fail("IntegerFormat differs from snprintf", input);
  }
  if (!WithinBound(ours, format)) {
    Fail("IntegerFormat wrote more than one bounded conversion", input);
  }
  // The copy generator relies on these two promises to skip searches that cannot match.
  for (const char c : kelvane::UpperCase(ours)) {
    if (!parsed.possibleUpperBytes()[static_cast<unsigned char>(c)]) {
      Fail("a formatted byte missing from possibleUpperBytes", input);
    }
  }
  if (ours.empty() && !parsed.canBeEmpty()) {
    Fail("an empty result from a format that cannot be empty", input);
  }
}

void CheckResolve(const std::string& value, int copyIndex, std::string_view input) {
  const std::string tag = "<tag>";
  std::string copy = tag;  // the whole copy is the tag, so it becomes exactly the resolved value
  kelvane::ResolveVariableValue(copy, copyIndex, tag, value);

  const std::string line = ReferenceLine(value, copyIndex);
  if (!ReferenceIsCounter(line)) {
    if (copy != line) {
      Fail("a plain value line was not substituted as it is", input);
    }
    return;
  }
  std::uint32_t start = 0;
  const std::string format = ReferenceFormat(line, start);
  const auto number = static_cast<std::int32_t>(start + static_cast<std::uint32_t>(copyIndex));
  if (BothAccept(format) && copy != Snprintf(format, number)) {
    Fail("a resolved counter differs from snprintf", input);
  }
  if (!WithinBound(copy, format)) {
    Fail("a resolved counter wrote more than one bounded conversion", input);
  }
}

}  // namespace

// Input: four bytes of copy index, then the value text (also used as a bare format, and wrapped as
// %%count...%% so that most inputs are counters).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (size < 4) {
    return 0;
  }
  std::uint32_t raw = 0;
  std::memcpy(&raw, data, 4);
  const auto copyIndex = static_cast<std::int32_t>(raw);
  const std::string text(input.substr(4));

  CheckFormat(text, copyIndex, input);
  CheckResolve(text, copyIndex, input);
  CheckResolve("%%count" + text + "%%", copyIndex, input);
  return 0;
}
