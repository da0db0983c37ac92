// The checks that a job passes before it runs, shared by the dialog and the command line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/job.h"

namespace kelvane {

constexpr int kMinRepeatCount = 1;
constexpr int kMaxRepeatCount = 2147483647;

// Reads a repeat count as typed: blanks, an optional sign, decimal digits, blanks, and nothing
// else, within the first 31 characters. Numbers beyond 32 bits become the nearest limit; -0 and
// +0 are refused. False (value untouched) when the text is refused.
bool ParseRepeatCount(std::string_view text, int& value);

// "Please enter an integer."
std::string NotAnIntegerMessage();

// The range message when count is outside 1 to 2147483647.
std::optional<std::string> RepeatCountRangeError(int count);

// The message for the first variable, in list order, whose value text has more than one line
// and a line count other than the repeat count.
std::optional<std::string> LineCountError(const std::vector<std::string>& tags, const std::vector<std::string>& values,
                                          int repeatCount);

// The same for a job, whose value texts may be kept in list files.
std::optional<std::string> LineCountError(const Job& job);

// "Please enter a variable name" when tag is empty.
std::optional<std::string> EmptyTagError(std::string_view tag);

}  // namespace kelvane
