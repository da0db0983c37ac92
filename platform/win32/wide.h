// UTF-8 inside, UTF-16 at every Windows call: the conversions, which lose nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane {

// UTF-16 for a Windows call. Bytes that are not UTF-8 become U+FFFD, which no file name or value
// the user typed can contain.
std::wstring Widen(std::string_view utf8);

// The same into memory of the caller's (such as global memory for the clipboard), of any length:
// writes the code units to out when it is not null, and returns their number.
std::size_t WidenTo(std::string_view utf8, wchar_t* out);

// UTF-8 from what a Windows call returned. An unpaired surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);

// The same, of any length, appended to utf8.
void NarrowAppend(std::wstring_view utf16, std::string& utf8);

}  // namespace kelvane
