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

// The clipboard run goes through a temporary file and reads the result back whole. Peak memory is
// per process: run it alone (--benchmark_filter=Clipboard) to read its peak_rss_MiB.
class SilentMessageBox : public kelvane::MessageBox {
 public:
  kelvane::MessageAnswer Show(const std::string&, kelvane::MessageButtons, kelvane::MessageIcon) override {
    return kelvane::MessageAnswer::Ok;
  }
};

void BM_DuplicateToClipboard(benchmark::State& state) {
  const kelvane::Job job = Workload(static_cast<int>(state.range(0)), "");
  kelvane::MemoryClipboard clipboard;
  SilentMessageBox messages;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kelvane::RunDuplicate(job.blockText, job.outputFile, 0, job.repeatCount, job.tags, job.values, clipboard, messages);
    bytes += static_cast<std::int64_t>(clipboard.formats["text/plain"].size());
  }
  state.SetBytesProcessed(bytes);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["output_MiB"] = static_cast<double>(clipboard.formats["text/plain"].size()) / 1048576.0;
}

BENCHMARK(BM_DuplicateToClipboard)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
