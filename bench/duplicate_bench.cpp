// The reference workload: a 120-byte block with three variables (a 1,000,000-line list, a
// six-digit counter and a constant, one tag used twice in mixed case), copied 1,000,000 times.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "engine/duplicate.h"

namespace {

kelvane::Job Workload(int copies, const std::string& output) {
  std::string names;
  for (int i = 0; i < 1000000; ++i) {
    names += "name" + std::to_string(i) + "\r\n";
  }
  kelvane::Job job;
  job.blockText =
      "INSERT INTO people (id, name, team) VALUES (<ID>, '<Name>', '<TEAM>'); -- <name> row of the import\r\n";
  job.blockText.resize(118, ' ');
  job.blockText += "\r\n";
  job.outputFile = output;
  job.repeatCount = copies;
  job.tags = {"<NAME>", "<ID>", "<TEAM>"};
  job.values = {names, "%%count1%06d%%", "blue"};
  return job;
}

void BM_DuplicateToFile(benchmark::State& state) {
  const std::string output = "/tmp/kelvane-bench.out";
  const kelvane::Job job = Workload(static_cast<int>(state.range(0)), output);
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kelvane::File out = kelvane::File::Open(output, kelvane::File::Mode::CreateWrite);
    kelvane::WriteCopies(job, out);
    bytes += static_cast<std::int64_t>(out.bytesWritten());
    out.Close();
  }
  state.SetBytesProcessed(bytes);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  std::remove(output.c_str());
}

BENCHMARK(BM_DuplicateToFile)->Arg(1000000)->Arg(2000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
