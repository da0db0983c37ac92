// Filling placeholders in message texts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace kelvane {

using MessageArg = std::variant<std::string_view, std::int64_t>;

// Fills a printf-style text: each %s or %d takes the next argument, %% gives one percent sign.
// Arguments are inserted as they are, never scanned again, so a tag holding "%s" is harmless.
std::string FormatText(std::string_view format, std::initializer_list<MessageArg> args);

// Fills a framework-style text: %1 to %9 take the argument of that number.
std::string FormatFrameworkText(std::string_view format, std::initializer_list<std::string_view> args);

// The string resource with this id, filled printf-style.
std::string LoadMessage(int id, std::initializer_list<MessageArg> args = {});

}  // namespace kelvane
