#include "platform/internet_shortcut.h"

#include <algorithm>

#include "platform/atomic_replace.h"
#include "platform/reg_format.h"

namespace kelvane {

// None of the three bytes occurs inside a multi-byte UTF-8 character, so a byte search finds characters.
// A '\' in the name stays part of the file name: on Linux it separates nothing, and reading it as a
// separator would let a display text such as "x:..\..\y" place the file outside the folder.
std::string InternetShortcutName(std::string_view displayText) {
  for (const char separator : {'/', ':', '\\'}) {
    if (const size_t found = displayText.rfind(separator); found != std::string_view::npos) {
      return std::string(displayText.substr(found + 1));
    }
  }
  return std::string(displayText);
}

bool FitsInShortcut(std::string_view url) {
  return url.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::optional<std::string> InternetShortcutBytes(std::string_view url) {
  if (!FitsInShortcut(url)) {
    return std::nullopt;
  }
  std::string bytes = "[InternetShortcut]\r\nURL=";
  bytes += url;
  bytes += "\r\n";
  return bytes;
}

bool WriteInternetShortcut(const std::string& path, std::string_view url) {
  const std::optional<std::string> bytes = InternetShortcutBytes(url);
  if (!bytes) {
    return false;
  }
  // The system stops a path at its first NUL: "a\0b.URL" would replace the file "a".
  if (path.find('\0') != std::string::npos) {
    return false;
  }
  if (path.size() > LongestReplaceablePath() || FileNameOf(path).size() > LongestReplaceableName()) {
    return false;
  }
  return ReplaceFileAtomically(path, *bytes) == 0;
}

namespace {

#ifdef _WIN32
// Windows reads these in a name as a folder, a drive or a stream of another file, or a wildcard,
// and takes no control characters.
constexpr std::string_view kNotInName = "\\/:*?\"<>|";
constexpr bool kWindowsNames = true;
constexpr char kSeparator = '\\';
#else
constexpr std::string_view kNotInName = "/";
constexpr bool kWindowsNames = false;
constexpr char kSeparator = '/';
#endif

// Whether name, before its first '.' and trailing blanks, is a device's that Windows opens in
// every folder: "CON.URL" would be written to the console.
bool NamesDevice(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  std::transform(base.begin(), base.end(), base.begin(), FoldAscii);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '0' && base[3] <= '9';
}

// Whether name names a file of the folder itself, on this system.
bool IsPlainName(const std::string& name) {
  if (name.find_first_of(kNotInName) != std::string::npos) {
    return false;
  }
  return !kWindowsNames ||
         (std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }) &&
          !NamesDevice(name));
}

}  // namespace

bool SaveInternetShortcut(std::string folder, std::string_view displayText, std::string_view url) {
  const std::string name = InternetShortcutName(displayText);
  if (!FitsInShortcut(url) || folder.empty() || !IsPlainName(name)) {
    return false;
  }
  if (folder.back() != '/' && folder.back() != kSeparator) {
    folder += kSeparator;
  }
  return SaveShortcutFile(folder + name + ".URL", url);
}

}  // namespace kelvane
