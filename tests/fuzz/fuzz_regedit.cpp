// Fuzzes the REGEDIT4 reader with any bytes: what it reads, written back, reads back the same.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& text) {
  std::fprintf(stderr, "invariant broken: %s\nwritten text:\n%s\n", what, text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const kelvane::RegParseResult first = kelvane::ParseRegFile(bytes);
  for (const kelvane::RegParseIssue& issue : first.issues) {
    if (issue.line == 0 || issue.reason.empty()) {
      Fail("an issue without its line or reason", std::string(bytes));
    }
  }
  const std::string written = kelvane::FormatRegFile(first.document);
  const kelvane::RegParseResult second = kelvane::ParseRegFile(written);
  if (!second.issues.empty()) {
    Fail("the written file has unreadable lines", written);
  }
  if (!(second.document == first.document)) {
    Fail("the written file reads back different", written);
  }
  if (kelvane::FormatRegFile(second.document) != written) {
    Fail("writing is not stable", written);
  }
  return 0;
}
