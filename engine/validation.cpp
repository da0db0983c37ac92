#include "engine/validation.h"

#include <algorithm>
#include <cstdint>

#include "engine/variables.h"
#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

bool ParseRepeatCount(std::string_view text, int& value) {
  text = text.substr(0, 31);
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) {
    ++pos;
  }
  const size_t first = pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const size_t digitsStart = pos;
  std::int64_t magnitude = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    magnitude = std::min<std::int64_t>(magnitude * 10 + (text[pos] - '0'), std::int64_t{1} << 32);
    ++pos;
  }
  if (pos == digitsStart) {
    return false;
  }
  while (pos < text.size() && IsBlank(text[pos])) {
    ++pos;
  }
  if (pos != text.size()) {
    return false;
  }
  const std::int64_t number = std::clamp<std::int64_t>(negative ? -magnitude : magnitude, INT32_MIN, INT32_MAX);
  // A zero must be written as one: "-0" and "+0" are not integers here.
  if (number == 0 && text[first] != '0') {
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

std::string NotAnIntegerMessage() {
  return res::LoadString(IDS_PARSE_INT);
}

std::optional<std::string> RepeatCountRangeError(int count) {
  if (count >= kMinRepeatCount && count <= kMaxRepeatCount) {
    return std::nullopt;
  }
  return FormatFrameworkText(res::LoadString(IDS_PARSE_INT_RANGE),
                             {std::to_string(kMinRepeatCount), std::to_string(kMaxRepeatCount)});
}

std::optional<std::string> LineCountError(const std::vector<std::string>& tags, const std::vector<std::string>& values,
                                          int repeatCount) {
  const size_t n = std::min(tags.size(), values.size());
  for (size_t i = 0; i < n; ++i) {
    const int lines = CountLines(values[i]);
    if (lines > 1 && lines != repeatCount) {
      return LoadMessage(IDS_LINE_COUNT_MISMATCH, {tags[i], std::int64_t{lines}, std::int64_t{repeatCount}});
    }
  }
  return std::nullopt;
}

std::optional<std::string> EmptyTagError(std::string_view tag) {
  if (!tag.empty()) {
    return std::nullopt;
  }
  return res::LoadString(IDS_ENTER_VARIABLE_NAME);
}

}  // namespace kelvane
