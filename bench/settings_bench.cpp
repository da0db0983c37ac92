// Loading and saving the settings with a huge job: a value list of up to 1,000,000 lines, and a
// 10 MB block with CR LF line breaks. Every load or save runs in a child process of its own, so its
// time and peak memory are its own; the settings live in a temporary folder.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/registry.h"
#include "settings/settings.h"

namespace {

// A list of names, one per line, about 26 bytes each, as a mail merge would use.
kelvane::Job ListJob(int lines) {
  kelvane::Job job;
  job.blockText = "Dear <NAME>,\r\nyour number is %%count1%07d%%.\r\n";
  job.repeatCount = lines;
  job.tags = {"<NAME>"};
  std::string names;
  names.reserve(static_cast<size_t>(lines) * 28);
  char line[64];
  for (int i = 0; i < lines; ++i) {
    std::snprintf(line, sizeof line, "Firstname Lastname %07d\r\n", i);
    names += line;
  }
  job.values = {std::move(names)};
  return job;
}

// A 10 MB block of text with CR LF line breaks.
kelvane::Job BlockJob() {
  kelvane::Job job;
  const std::string line = "The quick brown fox jumps over the lazy dog, and <TAG> watches it go by.\r\n";
  job.blockText.reserve(10'000'000 + line.size());
  while (job.blockText.size() < 10'000'000) {
    job.blockText += line;
  }
  job.tags = {"<TAG>"};
  job.values = {"everyone"};
  return job;
}

struct Measured {
  double seconds = 0;
  double peakMiB = 0;  // above what the process held when the work began
  bool ok = false;
};

// Runs work on what prepare makes, in a child process; times work alone, and takes the memory the
// child added at its peak, prepare's included: the window holds the job it saves.
Measured InChild(const std::function<kelvane::Job()>& prepare, const std::function<bool(kelvane::Job&)>& work) {
  int result[2];
  if (::pipe(result) != 0) {
    return {};
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(result[0]);
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
        resident = 0;
      }
      std::fclose(statm);
    }
    kelvane::Job job = prepare();
    const auto start = std::chrono::steady_clock::now();
    Measured measured;
    measured.ok = work(job);
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    measured.peakMiB =
        (static_cast<double>(usage.ru_maxrss) * 1024.0 - static_cast<double>(resident * ::sysconf(_SC_PAGESIZE))) /
        (1024.0 * 1024.0);
    (void)!::write(result[1], &measured, sizeof measured);
    ::_exit(0);
  }
  ::close(result[1]);
  Measured measured;
  if (::read(result[0], &measured, sizeof measured) != sizeof measured) {
    measured.ok = false;
  }
  ::close(result[0]);
  ::waitpid(pid, nullptr, 0);
  return measured;
}

// A settings folder of the benchmark's own, holding job saved, for the life of the object.
class SavedSettings {
 public:
  explicit SavedSettings(kelvane::Job (*make)()) {
    char folder[] = "/tmp/kelvane-bench-XXXXXX";
    folder_ = ::mkdtemp(folder);
    ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    // Made and saved in a child, so the benchmark process never holds the huge job.
    InChild(make, [](kelvane::Job& job) { return kelvane::SaveSettings(job); });
  }
  ~SavedSettings() { std::filesystem::remove_all(folder_); }
  SavedSettings(const SavedSettings&) = delete;
  SavedSettings& operator=(const SavedSettings&) = delete;

  [[nodiscard]] double FileMiB() const {
    struct stat info {};
    return ::stat(kelvane::RegistryFilePath().c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1048576.0 : 0;
  }

 private:
  std::string folder_;
};

int g_lines = 0;
kelvane::Job SizedListJob() {
  return ListJob(g_lines);
}

void Report(benchmark::State& state, const SavedSettings& saved, double worstPeak) {
  state.counters["file_MiB"] = saved.FileMiB();
  state.counters["peak_MiB"] = worstPeak;
  state.counters["peak_per_file"] = saved.FileMiB() > 0 ? worstPeak / saved.FileMiB() : 0;
}

void Run(benchmark::State& state, const SavedSettings& saved, const std::function<kelvane::Job()>& prepare,
         const std::function<bool(kelvane::Job&)>& work) {
  double worstPeak = 0;
  for (auto _ : state) {
    const Measured measured = InChild(prepare, work);
    if (!measured.ok) {
      state.SkipWithError("the settings did not load or save whole");
      return;
    }
    state.SetIterationTime(measured.seconds);
    worstPeak = std::max(worstPeak, measured.peakMiB);
  }
  Report(state, saved, worstPeak);
}

kelvane::Job NoJob() {
  return {};
}

// Loads over the defaults and checks that the one variable came back.
bool Load(kelvane::Job& job) {
  kelvane::LoadSettings(job);
  return job.tags.size() == 1 && job.values.size() == 1 && !job.values[0].empty();
}

// Saves the job with one change, so that the file is written.
bool Save(kelvane::Job& job) {
  job.repeatCount += 1;
  return kelvane::SaveSettings(job);
}

void BM_LoadList(benchmark::State& state) {
  g_lines = static_cast<int>(state.range(0));
  const SavedSettings saved(SizedListJob);
  Run(state, saved, NoJob, Load);
}

void BM_SaveList(benchmark::State& state) {
  g_lines = static_cast<int>(state.range(0));
  const SavedSettings saved(SizedListJob);
  Run(state, saved, SizedListJob, Save);
}

void BM_LoadBlock(benchmark::State& state) {
  const SavedSettings saved(BlockJob);
  Run(state, saved, NoJob, Load);
}

void BM_SaveBlock(benchmark::State& state) {
  const SavedSettings saved(BlockJob);
  Run(state, saved, BlockJob, Save);
}

BENCHMARK(BM_LoadList)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_SaveList)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_LoadBlock)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SaveBlock)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
