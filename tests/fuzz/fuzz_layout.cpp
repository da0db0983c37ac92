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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size > 4096) {
    return 0;  // the literal algorithm is quadratic; small jobs find the same faults
  }
  const kelvane::Job job = DecodeJob(std::string_view(reinterpret_cast<const char*>(data), size));
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
                 generator.usesLayout() ? "layout" : "search");
    std::abort();
  }
  return 0;
}
