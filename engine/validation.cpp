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

namespace {

// The message for the first of n variables whose line count, lines(j), is more than one and not the repeat count.
template <typename Lines>
std::optional<std::string> FirstLineCountError(const std::vector<std::string>& tags, size_t n, int repeatCount,
                                               Lines lines) {
  for (size_t j = 0; j < n; ++j) {
    const int count = lines(j);
    if (count > 1 && count != repeatCount) {
      return LoadMessage(IDS_LINE_COUNT_MISMATCH, {tags[j], std::int64_t{count}, std::int64_t{repeatCount}});
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> LineCountError(const std::vector<std::string>& tags, const std::vector<std::string>& values,
                                          int repeatCount) {
  return FirstLineCountError(tags, std::min(tags.size(), values.size()), repeatCount,
                             [&](size_t j) { return CountLines(values[j]); });
}

std::optional<std::string> LineCountError(const Job& job) {
  return FirstLineCountError(job.tags, std::min(job.tags.size(), job.values.size()), job.repeatCount, [&](size_t j) {
    // A list file was counted when it was read.
    const bool isList = j < job.valueLists.size() && job.valueLists[j] != nullptr;
    return isList ? job.valueLists[j]->scan().Lines(ValueText(job, j)) : CountLines(job.values[j]);
  });
}

std::optional<std::string> EmptyTagError(std::string_view tag) {
  if (!tag.empty()) {
    return std::nullopt;
  }
  return res::LoadString(IDS_ENTER_VARIABLE_NAME);
}

}  // namespace kelvane
