// Start-up and the shapes of job that once fell to the copy-by-copy search, each beside a job of
// the same output size that does not need it. Compare the pairs within one run: the machines
// these run on are shared.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/copy_generator.h"
#include "engine/duplicate.h"
#include "engine/validation.h"

namespace {

constexpr int kCopies = 1000000;
constexpr int kFiftyCopies = 100000;
const std::string kOutput = "/tmp/kelvane-jobs-bench.out";

// 1,000,000 lines "person0000000" and so on, each after prefix: 14 MB with no prefix.
std::string Names(int lines, const std::string& prefix) {
  std::string names;
  char line[32];
  for (int i = 0; i < lines; ++i) {
    std::snprintf(line, sizeof line, "person%07d\n", i);
    names += prefix;
    names += line;
  }
  return names;
}

const std::string& ListFile() {
  static const std::string path = [] {
    const std::string file = "/tmp/kelvane-jobs-bench.names";
    std::FILE* out = std::fopen(file.c_str(), "wb");
    const std::string names = Names(kCopies, "");
    std::fwrite(names.data(), 1, names.size(), out);
    std::fclose(out);
    return file;
  }();
  return path;
}

void WriteJob(benchmark::State& state, const kelvane::Job& job) {
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kelvane::File out = kelvane::File::Open(kOutput, kelvane::File::Mode::CreateWrite);
    kelvane::WriteCopies(job, out);
    bytes += static_cast<std::int64_t>(out.bytesWritten());
    out.Close();
  }
  state.SetBytesProcessed(bytes);
  const kelvane::CopyGenerator generator(job);
  state.counters["laid_out"] = generator.usesLayout() ? 1 : 0;
  state.counters["windows"] = static_cast<double>(generator.searchedWindows());
  std::remove(kOutput.c_str());
}

// Everything before the first copy of the headline job: the list file mapped and scanned, the
// line counts checked, the proof made and the first copy laid out.
void BM_StartUp(benchmark::State& state) {
  kelvane::Job job;
  job.blockText = "INSERT INTO people (id, name, team) VALUES (<ID>, '<NAME>', '<Team>'); -- <name>\n";
  job.repeatCount = kCopies;
  job.tags = {"<NAME>", "<ID>", "<TEAM>"};
  for (auto _ : state) {
    job.values = {"", "%%count1%06d%%", "blue"};
    job.valueLists = {std::make_shared<const kelvane::ValueList>(ListFile()), nullptr, nullptr};
    benchmark::DoNotOptimize(kelvane::LineCountError(job));
    kelvane::CopyGenerator generator(job);
    benchmark::DoNotOptimize(generator.PrepareNextCopy());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 14000000);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the list in memory, as the window holds it: everything from the Duplicate button
// to the first copy, the run's copy of the job included. Arg 0 (path): 0 counts the lines for the
// check and scans again for the copies, as the window once did; 1 scans each list once, for both.
// Arg 1 (clipboard): 1 adds the clipboard run's memory check.
void BM_StartUpInMemory(benchmark::State& state) {
  kelvane::Job job;
  job.blockText = "INSERT INTO people (id, name, team) VALUES (<ID>, '<NAME>', '<Team>'); -- <name>\n";
  job.repeatCount = kCopies;
  job.tags = {"<NAME>", "<ID>", "<TEAM>"};
  job.values = {Names(kCopies, ""), "%%count1%06d%%", "blue"};
  const bool once = state.range(0) != 0;
  const bool clipboard = state.range(1) != 0;
  for (auto _ : state) {
    kelvane::Job run;
    if (once) {
      run = kelvane::WithValuesScanned(job);
      benchmark::DoNotOptimize(kelvane::LineCountError(run));
    } else {
      benchmark::DoNotOptimize(kelvane::LineCountError(job.tags, job.values, job.repeatCount));
      run = job;
    }
    if (clipboard) {
      benchmark::DoNotOptimize(kelvane::CopyGenerator(run).LeastTotalSize(run.repeatCount));
    }
    kelvane::CopyGenerator generator(run);
    benchmark::DoNotOptimize(generator.PrepareNextCopy());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 14000000);
}
BENCHMARK(BM_StartUpInMemory)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"once", "clipboard"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

kelvane::Job TwoColumns(bool digitTags) {
  kelvane::Job job;
  job.blockText = digitTags ? "INSERT INTO people (id, name) VALUES ({0}, '{1}');\n"
                            : "INSERT INTO people (id, name) VALUES ({a}, '{b}');\n";
  job.repeatCount = kCopies;
  job.tags = digitTags ? std::vector<std::string>{"{0}", "{1}"} : std::vector<std::string>{"{a}", "{b}"};
  job.values = {"%%count%d%%", Names(kCopies, "")};
  return job;
}

// A counter before a tag that holds a digit, and the same with letter tags.
void BM_DigitTags(benchmark::State& state) {
  WriteJob(state, TwoColumns(state.range(0) != 0));
}
BENCHMARK(BM_DigitTags)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The headline job with names that carry a later tag: "<id>" in front of each (arg 1) needs a
// search of the windows around the names; "000000" in front of each (arg 0) writes the same bytes
// per copy without it.
void BM_Search(benchmark::State& state) {
  kelvane::Job job;
  job.blockText = "INSERT INTO people (id, name, team) VALUES (<ID>, '<NAME>', '<Team>'); -- <name>\n";
  job.repeatCount = kCopies;
  job.tags = {"<NAME>", "<ID>", "<TEAM>"};
  job.values = {Names(kCopies, state.range(0) != 0 ? "<id>" : "000000"), "%%count1%06d%%", "blue"};
  WriteJob(state, job);
}
BENCHMARK(BM_Search)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Fifty counters on a line. Arg 0: tags <Vaa>..; arg 1: tags <V00>..<V49>, laid out all the same;
// arg 2: each value may hold the next tag, so a window around each value is searched for it and
// every later tag in every copy.
void BM_FiftyVariables(benchmark::State& state) {
  kelvane::Job job;
  job.repeatCount = kFiftyCopies;
  for (int j = 0; j < 50; ++j) {
    const std::string tag =
        state.range(0) == 0
            ? std::string("<V") + static_cast<char>('a' + j / 10) + static_cast<char>('a' + j % 10) + ">"
            : std::string("<V") + static_cast<char>('0' + j / 10) + static_cast<char>('0' + j % 10) + ">";
    job.tags.push_back(tag);
    job.blockText += (j == 0 ? "" : ",") + tag;
    if (state.range(0) == 2) {
      // The first line holds the next variable's tag, so the proof cannot hold; the others are numbers.
      std::string lines = j + 1 < 50 ? std::string("<V") + static_cast<char>('0' + (j + 1) / 10) +
                                           static_cast<char>('0' + (j + 1) % 10) + ">\n"
                                     : "00000\n";
      for (int i = 1; i < kFiftyCopies; ++i) {
        lines += std::to_string(10000 + i % 90000) + "\n";
      }
      job.values.push_back(lines);
    } else {
      job.values.push_back("%%count" + std::to_string(j * 1000 + 10000) + "%d%%");
    }
  }
  job.blockText += "\n";
  WriteJob(state, job);
}
BENCHMARK(BM_FiftyVariables)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
