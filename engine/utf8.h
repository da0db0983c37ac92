// Case-insensitive matching on UTF-8 text.
//
// ASCII letters always fold; other characters fold by Unicode simple upper-casing where that
// keeps their byte length. Bytes that are not valid UTF-8 are characters of their own, which
// match only themselves. Upper-casing therefore never changes a text's length or where its
// characters begin.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane {

// Upper-cases text in place.
void UpperCaseInPlace(std::string& text);

// An upper-cased copy of text.
std::string UpperCase(std::string_view text);

// The length of the valid UTF-8 sequence at text[pos], or 0 when the byte there does not start one.
size_t Utf8SequenceLength(std::string_view text, size_t pos);

// Whether a character of text begins (or the text ends) at pos.
bool IsCharBoundary(std::string_view text, size_t pos);

// Whether every byte of text is ASCII.
bool IsAscii(std::string_view text);

// Whether text is valid UTF-8 throughout.
bool IsValidUtf8(std::string_view text);

// The first occurrence of upperTag in upperText at or after from that starts and ends on
// character boundaries, or npos. Both texts are already upper-cased.
size_t FindUpper(std::string_view upperText, std::string_view upperTag, size_t from);

}  // namespace kelvane
