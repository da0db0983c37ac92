// Fuzzes the Internet shortcut writer: for any URL and display text it either refuses, writing
// nothing, or writes one file, named after the text, directly in the folder it was given, which reads
// back as exactly the URL in the two-line layout.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_replace.h"
#include "platform/internet_shortcut.h"

namespace {

std::string base;    // a folder of the fuzzer's own, removed at exit
std::string folder;  // the folder shortcuts are saved to, inside base

[[noreturn]] void Fail(const char* what, std::string_view url, std::string_view text) {
  std::fprintf(stderr, "%s\nURL (%zu bytes): %.*s\ntext (%zu bytes): %.*s\n", what, url.size(),
               static_cast<int>(url.size()), url.data(), text.size(), static_cast<int>(text.size()), text.data());
  std::abort();
}

std::vector<std::string> Names(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// The URL the file holds, if it has the layout exactly: two lines, each ending in CR LF.
bool ParseShortcut(const std::string& bytes, std::string& url) {
  constexpr std::string_view kHead = "[InternetShortcut]\r\nURL=";
  if (bytes.size() < kHead.size() + 2 || bytes.compare(0, kHead.size(), kHead) != 0 ||
      bytes.compare(bytes.size() - 2, 2, "\r\n") != 0) {
    return false;
  }
  url = bytes.substr(kHead.size(), bytes.size() - kHead.size() - 2);
  return url.find_first_of(std::string_view("\r\n", 2)) == std::string::npos;
}

// Whether name is what the rule promises: the text after its last '/', else its last ':', else its
// last '\', else all of it.
bool FollowsTheNameRule(std::string_view text, std::string_view name) {
  if (name.size() > text.size() || text.substr(text.size() - name.size()) != name) {
    return false;
  }
  const std::string_view before = text.substr(0, text.size() - name.size());
  const std::string_view separators = "/:\\";
  for (size_t rank = 0; rank < separators.size(); ++rank) {
    // No separator of this rank or a higher one may be left in the name, and the name starts right
    // after the last one of the highest rank the text holds.
    if (name.find(separators[rank]) != std::string_view::npos) {
      return false;
    }
    if (text.find(separators[rank]) != std::string_view::npos) {
      return !before.empty() && before.back() == separators[rank];
    }
  }
  return before.empty();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // On tmpfs where there is one: the writes' fsync calls then cost nothing.
  const std::filesystem::path root =
      std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  std::string made = (root / "kelvane-fuzz-shortcut-XXXXXX").string();
  if (::mkdtemp(made.data()) == nullptr) {
    std::abort();
  }
  base = made;
  folder = base + "/Desktop";
  std::filesystem::create_directory(folder);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);
  });
  return 0;
}

// The input: two bytes giving the URL's length (modulo what is left), the URL, then the display text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) {
    return 0;
  }
  const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const size_t urlSize = (static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8) % (rest.size() + 1);
  const std::string_view url = rest.substr(0, urlSize);
  const std::string_view text = rest.substr(urlSize);

  const std::string name = kelvane::InternetShortcutName(text);
  if (!FollowsTheNameRule(text, name)) {
    Fail("the name does not follow the rule", url, text);
  }
  const bool urlFits = url.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
  if (kelvane::InternetShortcutBytes(url).has_value() != urlFits) {
    Fail("the bytes are refused for a URL the file can hold, or given for one it cannot", url, text);
  }
  const std::string fileName = name + ".URL";
  const bool fits =
      urlFits && name.find('\0') == std::string::npos && fileName.size() <= kelvane::LongestReplaceableName();

  const bool saved = kelvane::SaveInternetShortcut(folder, text, url);
  if (Names(base) != std::vector<std::string>{"Desktop"}) {
    Fail("something was written outside the folder", url, text);
  }
  const std::vector<std::string> written = Names(folder);
  if (saved != fits) {
    Fail(saved ? "saved a shortcut that should have been refused" : "refused a shortcut it could save", url, text);
  }
  if (!saved) {
    if (!written.empty()) {
      Fail("a refused shortcut left a file behind", url, text);
    }
    return 0;
  }
  if (written != std::vector<std::string>{fileName}) {
    Fail("the folder does not hold exactly the named shortcut", url, text);
  }
  std::ifstream in(folder + "/" + fileName, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string parsed;
  if (!ParseShortcut(bytes, parsed) || parsed != url) {
    Fail("the file does not read back as the URL", url, text);
  }
  std::filesystem::remove(folder + "/" + fileName);
  return 0;
}
