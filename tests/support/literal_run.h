// The Duplicate run's copies built exactly as the per-copy algorithm reads: for each copy, the block
// with ResolveVariableValue applied for every variable in list order. Slow and plain, for comparison.
#pragma once

#include <algorithm>
#include <string>

#include "engine/job.h"
#include "engine/variables.h"

namespace kelvane::test {

inline std::string LiteralRun(const Job& job) {
  std::string out;
  const size_t n = std::min(job.tags.size(), job.values.size());
  for (int i = 0; i < job.repeatCount; ++i) {
    std::string copy = job.blockText;
    for (size_t j = 0; j < n; ++j) {
      ResolveVariableValue(copy, i, job.tags[j], job.values[j]);
    }
    out += copy;
  }
  return out;
}

}  // namespace kelvane::test
