// Fuzzes kelvane-cli's argument handling with any argument vector: it ends with an exit status of
// 0 or 2, or gives options that keep their promises, and never crashes.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "cli/options.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::vector<std::string>& args) {
  std::fprintf(stderr, "%s; arguments:\n", what);
  for (const std::string& arg : args) {
    std::fprintf(stderr, "  [%s]\n", arg.c_str());
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Help and usage texts are not what is fuzzed; the fuzzer's own reports go to standard error.
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, STDOUT_FILENO);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // Arguments are separated by NUL bytes; the common option names come often enough by themselves.
  std::vector<std::string> args;
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) {
    args.push_back(current);
  }
  if (args.size() > 64) {
    return -1;
  }
  // Usage errors are written to standard error; keep them out of the fuzzer's log.
  const int savedErr = ::dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, STDERR_FILENO);
  ::close(null);
  const auto parsed = kelvane::cli::ParseOptions(args);
  ::dup2(savedErr, STDERR_FILENO);
  ::close(savedErr);

  if (const int* status = std::get_if<int>(&parsed)) {
    if (*status != 0 && *status != 2) {
      Fail("an exit status other than 0 or 2", args);
    }
    return 0;
  }
  const auto& options = std::get<kelvane::cli::Options>(parsed);
  if (options.text && options.textFile) {
    Fail("both --text and --text-file", args);
  }
  if (!options.text && !options.textFile && !options.saved) {
    Fail("no block and no saved job", args);
  }
  for (const kelvane::cli::Variable& variable : options.variables) {
    if (variable.tag.find('=') != std::string::npos) {
      Fail("a tag holding '='", args);
    }
  }
  return 0;
}
