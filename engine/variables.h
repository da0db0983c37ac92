// Resolving a variable's value for one copy of the block and substituting it.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Replaces in copy every occurrence of tag, ignoring case, by the variable's value for copy
// copyIndex: line copyIndex of a multi-line value text, a single-line value as it is, or the
// formatted number of a counter expression such as %%count1%03d%%.
void ResolveVariableValue(std::string& copy, int copyIndex, const std::string& tag, const std::string& valueText);

// Replaces in text every occurrence of tag, found without regard to case, by replacement.
// The search resumes after each replacement, so a replacement holding the tag is not expanded
// again. An empty tag leaves the text as it is.
void ReplaceNoCase(std::string& text, const std::string& tag, const std::string& replacement);

// The number of lines in a value text; a final line break does not open a further line.
int CountLines(const std::string& text);

// The line of valueText that copy copyIndex takes, before any counter is formatted: the whole
// text when it holds no line feed; otherwise line copyIndex (or what follows the last line feed,
// for an index beyond it), without its carriage return.
std::string_view SelectValueLine(std::string_view valueText, int copyIndex);

// The value of a selected line for copy copyIndex: a counter's formatted number, else the line.
std::string ValueForCopy(std::string_view line, int copyIndex);

}  // namespace kelvane
