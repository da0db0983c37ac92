#include "platform/win32/wide.h"

#include <windows.h>

#include <new>

namespace kelvane {

namespace {

// The system's calls take an int length: longer texts go in pieces of at most this many units,
// each ending on a whole character.
constexpr std::size_t kPiece = std::size_t{1} << 28;

bool IsUtf8Continuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

bool IsHighSurrogate(wchar_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

std::size_t WidenTo(std::string_view utf8, wchar_t* out) {
  std::size_t total = 0;
  while (!utf8.empty()) {
    std::size_t size = utf8.size();
    if (size > kPiece) {
      size = kPiece;
      // Up to three continuation bytes belong to the character that starts before them.
      while (size > kPiece - 4 && IsUtf8Continuation(utf8[size])) {
        --size;
      }
    }
    const int length = static_cast<int>(size);
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out == nullptr ? nullptr : out + total,
                                            out == nullptr ? 0 : length);
    total += static_cast<std::size_t>(units);
    utf8.remove_prefix(size);
  }
  return total;
}

std::wstring Widen(std::string_view utf8) {
  std::wstring wide(WidenTo(utf8, nullptr), L'\0');
  WidenTo(utf8, wide.data());
  return wide;
}

void NarrowAppend(std::wstring_view utf16, std::string& utf8) {
  while (!utf16.empty()) {
    std::size_t size = utf16.size() > kPiece ? kPiece : utf16.size();
    if (size < utf16.size() && IsHighSurrogate(utf16[size - 1])) {
      --size;  // keeps a surrogate pair together
    }
    const int length = static_cast<int>(size);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    const std::size_t start = utf8.size();
    utf8.resize(start + static_cast<std::size_t>(bytes));
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, utf8.data() + start, bytes, nullptr, nullptr);
    utf16.remove_prefix(size);
  }
}

std::string Narrow(std::wstring_view utf16) {
  std::string narrow;
  NarrowAppend(utf16, narrow);
  return narrow;
}

}  // namespace kelvane
