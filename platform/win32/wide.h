// UTF-8 inside, UTF-16 at every Windows call: the conversions, which lose nothing.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// UTF-16 for a Windows call. Bytes that are not UTF-8 become U+FFFD, which no file name or value
// the user typed can contain.
std::wstring Widen(std::string_view utf8);

// UTF-8 from what a Windows call returned. An unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);

}  // namespace kelvane
