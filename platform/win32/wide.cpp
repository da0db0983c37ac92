#include "platform/win32/wide.h"

#include <windows.h>

#include <limits>
#include <new>

namespace kelvane {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  if (utf8.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
    throw std::bad_alloc();
  }
  const int length = static_cast<int>(utf8.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), size);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) {
    return {};
  }
  if (utf16.size() > static_cast<size_t>(std::numeric_limits<int>::max() / 3)) {
    throw std::bad_alloc();
  }
  const int length = static_cast<int>(utf16.size());
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

}  // namespace kelvane
