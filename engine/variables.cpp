#include "engine/variables.h"

#include <algorithm>
#include <cstdint>

#include "engine/counter.h"
#include "engine/line_feeds.h"
#include "engine/utf8.h"

namespace kelvane {

std::string_view SelectValueLine(std::string_view valueText, int copyIndex) {
  std::string_view line = valueText;
  size_t feed = line.find('\n');
  if (feed == std::string_view::npos) {
    return line;  // a single line stands in every copy, carriage return and all
  }
  for (int k = 0; k < copyIndex; ++k) {
    line.remove_prefix(feed + 1);
    feed = line.find('\n');
    if (feed == std::string_view::npos) {
      break;
    }
  }
  if (feed != std::string_view::npos) {
    line = line.substr(0, feed);
  }
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  return line;
}

std::string ValueForCopy(std::string_view line, int copyIndex) {
  if (IsCounterExpression(line)) {
    return Counter(line).Format(copyIndex);
  }
  return std::string(line);
}

void ResolveVariableValue(std::string& copy, int copyIndex, const std::string& tag, const std::string& valueText) {
  ReplaceNoCase(copy, tag, ValueForCopy(SelectValueLine(valueText, copyIndex), copyIndex));
}

void ReplaceNoCase(std::string& text, const std::string& tag, const std::string& replacement) {
  if (tag.empty() || tag.size() > text.size()) {
    return;
  }
  const std::string upperText = UpperCase(text);
  const std::string upperTag = UpperCase(tag);
  size_t match = FindUpper(upperText, upperTag, 0);
  if (match == std::string::npos) {
    return;
  }
  std::string result;
  result.reserve(text.size());
  size_t done = 0;
  while (match != std::string::npos) {
    result.append(text, done, match - done);
    result.append(replacement);
    done = match + upperTag.size();
    match = FindUpper(upperText, upperTag, done);
  }
  result.append(text, done, std::string::npos);
  text = std::move(result);
}

int CountLines(const std::string& text) {
  const auto feeds = CountLineFeeds(text);
  const size_t lastFeed = text.rfind('\n');
  const bool openLast = lastFeed == std::string::npos ? !text.empty() : lastFeed + 1 < text.size();
  const auto lines = feeds + (openLast ? 1 : 0);
  // A value text can hold more lines than an int counts; the repeat count can never match those.
  return lines > INT32_MAX ? INT32_MAX : static_cast<int>(lines);
}

}  // namespace kelvane
