// Fuzzes the REG_MULTI_SZ reader and writer with any bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace {

using namespace std::string_view_literals;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The elements that data joined with a separator byte stands for, each cut at a NUL as a C string is.
std::vector<std::string> CStrings(std::string_view data, char separator) {
  std::vector<std::string> elements;
  for (size_t start = 0;;) {
    const size_t end = data.find(separator, start);
    const std::string_view element = data.substr(start, end == std::string_view::npos ? end : end - start);
    elements.emplace_back(element.substr(0, element.find('\0')));
    if (end == std::string_view::npos) {
      return elements;
    }
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::vector<std::string> split = kelvane::SplitMultiString(bytes);
  for (const std::string& element : split) {
    if (element.find('\0') != std::string::npos) {
      Fail("an element holds a NUL");
    }
  }
  const std::string joined = kelvane::JoinMultiString(split);
  if (kelvane::SplitMultiString(joined) != split) {
    Fail("joined elements split differently");
  }
  // Nothing read is lost: the data is where its rewrite starts, and well-formed data is kept exactly.
  if (joined.compare(0, bytes.size(), bytes) != 0) {
    Fail("rewriting lost bytes");
  }
  if ((bytes == "\0"sv || bytes.ends_with("\0\0"sv)) && joined != bytes) {
    Fail("well-formed data changed on a rewrite");
  }

  // Lists as the dialog holds them, elements with any bytes: a list survives a join and split
  // as C strings do, and never becomes a list of another length.
  if (!bytes.empty()) {
    const std::vector<std::string> list = CStrings(bytes.substr(1), bytes[0]);
    if (kelvane::SplitMultiString(kelvane::JoinMultiString(list)) != list) {
      Fail("a list changed on its way through a join and split");
    }
  }
  return 0;
}
