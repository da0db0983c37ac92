// Fuzzes the copy generator, whose proof lets most jobs skip searching each copy, against the
// copies built one by one as the per-copy algorithm reads.
//
// Input: a repeat-count byte, then the block, then tag and value texts in turn, separated by 0x01.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/copy_generator.h"
#include "engine/job.h"
#include "engine/utf8.h"
#include "engine/value_list.h"
#include "engine/variables.h"
#include "support/literal_run.h"

namespace {

kelvane::Job DecodeJob(std::string_view input) {
  kelvane::Job job;
  job.repeatCount = input.empty() ? 1 : 1 + static_cast<unsigned char>(input.front()) % 8;
  input.remove_prefix(std::min<size_t>(1, input.size()));
  int field = 0;
  while (!input.empty() || field == 0) {
    const size_t end = std::min(input.find('\x01'), input.size());
    const std::string text(input.substr(0, end));
    input.remove_prefix(std::min(end + 1, input.size()));
    if (field == 0) {
      job.blockText = text;
    } else if (field % 2 == 1) {
      job.tags.push_back(text);
    } else {
      job.values.push_back(text);
    }
    ++field;
  }
  return job;
}

// Whether text holds two digits in a row: a counter field that wide may be wide indeed.
bool HasWideNumber(std::string_view text) {
  int run = 0;
  for (const char c : text) {
    run = c >= '0' && c <= '9' ? run + 1 : 0;
    if (run >= 2) {
      return true;
    }
  }
  return false;
}

// A bound on a copy's size: each variable can multiply it by its longest value over its tag's
// length; a counter adds its digits, or up to 4096 for a wide field. Values that hold later tags
// grow copies exponentially, in both algorithms alike; such jobs are skipped.
bool CopiesMayGrowHuge(const kelvane::Job& job) {
  double bound = static_cast<double>(job.blockText.size()) + 1;
  for (size_t j = 0; j < std::min(job.tags.size(), job.values.size()); ++j) {
    const std::string& value = job.values[j];
    const double counter = value.find('%') == std::string::npos ? 0 : HasWideNumber(value) ? 4200 : 40;
    const double longest = static_cast<double>(value.size()) + counter;
    bound *= std::max(1.0, longest / static_cast<double>(std::max<size_t>(1, job.tags[j].size())));
  }
  return bound > 1 << 20;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size > 4096) {
    return 0;  // the literal algorithm is quadratic; small jobs find the same faults
  }
  const kelvane::Job job = DecodeJob(std::string_view(reinterpret_cast<const char*>(data), size));
  if (CopiesMayGrowHuge(job)) {
    return 0;
  }
  // The one pass over a value answers what the separate checks answer.
  for (const std::string& value : job.values) {
    const kelvane::TextScan scan = kelvane::ScanText(value);
    if (scan.Lines(value) != kelvane::CountLines(value) || scan.validUtf8 != kelvane::IsValidUtf8(value) ||
        scan.ascii != kelvane::IsAscii(value)) {
      std::fprintf(stderr, "the scan of a value differs from the checks\n");
      std::abort();
    }
  }
  kelvane::CopyGenerator generator(job);
  std::string generated;
  for (int i = 0; i < job.repeatCount; ++i) {
    generator.AppendNextCopy(generated);
  }
  if (generated != kelvane::test::LiteralRun(job)) {
    std::fprintf(stderr, "generator (%s) differs from the literal algorithm\n",
                 !generator.usesLayout()            ? "search"
                 : generator.searchedWindows() == 0 ? "layout"
                                                    : "layout with searched windows");
    std::abort();
  }
  // The clipboard's memory check must never ask for more than the result takes.
  if (const auto least = kelvane::CopyGenerator(job).LeastTotalSize(job.repeatCount);
      least && *least > generated.size()) {
    std::fprintf(stderr, "the least total size %llu is more than the result's %zu bytes\n",
                 static_cast<unsigned long long>(*least), generated.size());
    std::abort();
  }
  return 0;
}
