// kelvane-cli: runs a Duplicate job from the command line, writing to a file or standard output.
//
// Exit status: 0 success, 1 a file error, 2 a usage or validation error.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "engine/duplicate.h"
#include "engine/job.h"
#include "engine/validation.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/message_text.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "settings/settings.h"

namespace {

constexpr int kExitFileError = 1;
constexpr int kExitInvalid = 2;

// Collects what a run would show in message boxes; a command-line run prints only failures.
class CollectingMessageBox : public kelvane::MessageBox {
 public:
  kelvane::MessageAnswer Show(const std::string& text, kelvane::MessageButtons, kelvane::MessageIcon) override {
    messages.push_back(text);
    return kelvane::MessageAnswer::Ok;
  }
  std::vector<std::string> messages;
};

// A job's output never needs the clipboard on the command line: no output file means standard output.
class NoClipboard : public kelvane::Clipboard {
 public:
  bool Open() override { return false; }
  void Close() override {}
  std::optional<std::string> TextBlock() override { return std::nullopt; }
  void Empty() override {}
  bool SetText(const std::string&) override { return false; }
};

std::string ReadInput(const std::string& path) {
  kelvane::File file = path == "-" ? kelvane::File::Adopt(::dup(STDIN_FILENO), "standard input")
                                   : kelvane::File::Open(path, kelvane::File::Mode::Read);
  std::string bytes = file.ReadAll();
  file.Close();
  return bytes;
}

struct Variable {
  std::string tag;
  std::string valueOrFile;
  bool fromFile = false;
};

// "TAG=VALUE", split at the first '='.
std::optional<Variable> SplitVariable(const std::string& assignment, bool fromFile) {
  const size_t equals = assignment.find('=');
  if (equals == std::string::npos) {
    return std::nullopt;
  }
  return Variable{assignment.substr(0, equals), assignment.substr(equals + 1), fromFile};
}

int Fail(int status, const std::string& message) {
  std::cerr << message << '\n';
  return status;
}

// Set by SIGINT and SIGTERM; the run stops at the next copy boundary.
std::atomic<bool> stopRequested = false;
std::atomic<int> stopSignal = 0;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the flags are set from a signal handler");

extern "C" void OnStopSignal(int signal) {
  stopSignal = signal;
  stopRequested = true;
}

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocked write returns, and the file layer writes on after a look at the flag.
  for (const int signal : {SIGINT, SIGTERM}) {
    sigaction(signal, &action, nullptr);
  }
}

// One line on a terminal, rewritten in place: copies, bytes, rate and time left. It appears only
// once a run has taken a second, and is cleared when the run ends.
class ProgressLine {
 public:
  explicit ProgressLine(std::int64_t total) : total_(total), enabled_(::isatty(STDERR_FILENO) == 1) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() {
    if (shown_) {
      std::fputs("\r\033[K", stderr);
    }
  }

  void Update(std::int64_t copies, std::uint64_t bytes) {
    if (!enabled_) {
      return;
    }
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(200)) {
      return;
    }
    last_ = now;
    shown_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double megabytes = static_cast<double>(bytes) / 1e6;
    const double copiesPerSecond = static_cast<double>(copies) / seconds;
    const auto left =
        copiesPerSecond > 0 ? static_cast<long long>(static_cast<double>(total_ - copies) / copiesPerSecond) : 0;
    std::fprintf(stderr, "\r%lld of %lld copies, %.1f MB, %.1f MB/s, %lld:%02lld left\033[K",
                 static_cast<long long>(copies), static_cast<long long>(total_), megabytes, megabytes / seconds,
                 left / 60, left % 60);
    std::fflush(stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::int64_t total_;
  bool enabled_;
  bool shown_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_ = start_;
};

// The exit status of a run stopped by a signal: 128 plus its number, as shells report it.
int StoppedStatus() {
  return 128 + stopSignal.load();
}

}  // namespace

static int RunCommandLine(int argc, char** argv) {
  CLI::App app{"Writes a block of text many times, replacing variable tags in each copy.", "kelvane-cli"};
  app.set_version_flag("--version", std::string("kelvane-cli ") + KELVANE_VERSION);

  std::string text, textFile, repeat = "1", output;
  std::vector<std::string> vars, varFiles;
  bool append = false, saved = false, save = false;
  auto* textOption = app.add_option("--text", text, "The block of text to duplicate");
  auto* textFileOption = app.add_option("--text-file", textFile, "Read the block from FILE ('-': standard input)");
  textOption->excludes(textFileOption);
  auto* repeatOption =
      app.add_option("--repeat", repeat, "How many copies to write (1 to 2147483647)")->capture_default_str();
  auto* varOption = app.add_option("--var", vars, "A variable TAG=VALUE; repeat for more")->allow_extra_args(false);
  auto* varFileOption = app.add_option("--var-file", varFiles, "A variable TAG=FILE whose values are FILE's lines")
                            ->allow_extra_args(false);
  auto* outputOption = app.add_option("--output", output, "Write to FILE instead of standard output");
  auto* appendOption = app.add_flag("--append", append, "Append to the output file instead of replacing it");
  app.add_flag("--saved", saved,
               "Run the job Kelvane saved; other options replace its parts (--var and --var-file all its "
               "variables, --append=false its append flag)");
  app.add_flag("--save", save, "Save the job as Kelvane's settings once it passes the checks, then run it");
  app.footer(
      "Values: one line per copy, a single line for every copy, or a counter such as %%count1%03d%%.\n"
      "--saved and --save share the job with Kelvane, kept in " +
      kelvane::RegistryFilePath() +
      ";\na saved job without an output file writes to standard output.\n"
      "Exit status: 0 done, 1 a file error, 2 invalid input, 130 or 143 when interrupted or\n"
      "terminated (the output then holds whole copies only).");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? 0 : kExitInvalid;
  }
  if (!saved && textOption->count() == 0 && textFileOption->count() == 0) {
    std::cerr << "One of --text, --text-file and --saved is needed.\n" << app.help();
    return kExitInvalid;
  }

  // --var and --var-file interleave on the command line; the variables keep that order.
  std::vector<Variable> variables;
  size_t nextVar = 0, nextVarFile = 0;
  for (const CLI::Option* option : app.parse_order()) {
    const bool fromFile = option == varFileOption;
    if (option != varOption && !fromFile) {
      continue;
    }
    const std::string& assignment = fromFile ? varFiles[nextVarFile++] : vars[nextVar++];
    const std::optional<Variable> variable = SplitVariable(assignment, fromFile);
    if (!variable) {
      std::cerr << (fromFile ? "--var-file" : "--var") << " needs TAG=" << (fromFile ? "FILE" : "VALUE") << ": "
                << assignment << '\n';
      return kExitInvalid;
    }
    variables.push_back(*variable);
  }

  // With --saved, an option given replaces its part of the saved job, and only then.
  kelvane::Job job;
  if (saved) {
    kelvane::LoadSettings(job);
  }
  try {
    if (textFileOption->count() != 0) {
      job.blockText = ReadInput(textFile);
    } else if (textOption->count() != 0) {
      job.blockText = text;
    }
    if (!saved || !variables.empty()) {
      job.tags.clear();
      job.values.clear();
      for (const Variable& variable : variables) {
        job.tags.push_back(variable.tag);
        // Not a ?: expression: mixing the const member in would make it copy the file's bytes.
        if (variable.fromFile) {
          job.values.push_back(ReadInput(variable.valueOrFile));
        } else {
          job.values.push_back(variable.valueOrFile);
        }
      }
    }
  } catch (const kelvane::FileException& error) {
    return Fail(kExitFileError, error.ErrorReport());
  }
  if (!saved || outputOption->count() != 0) {
    job.outputFile = output;
  }
  if (!saved || appendOption->count() != 0) {
    job.append = append ? 1 : 0;
  }

  // The same checks, in the same order, as the dialog's fields.
  if ((!saved || repeatOption->count() != 0) && !kelvane::ParseRepeatCount(repeat, job.repeatCount)) {
    return Fail(kExitInvalid, kelvane::NotAnIntegerMessage());
  }
  if (const auto error = kelvane::RepeatCountRangeError(job.repeatCount)) {
    return Fail(kExitInvalid, *error);
  }
  for (const std::string& tag : job.tags) {
    if (const auto error = kelvane::EmptyTagError(tag)) {
      return Fail(kExitInvalid, *error);
    }
  }
  if (const auto error = kelvane::LineCountError(job.tags, job.values, job.repeatCount)) {
    return Fail(kExitInvalid, *error);
  }
  // A job that cannot be saved is not run: the user asked for both.
  if (save && !kelvane::SaveSettings(job)) {
    const std::string file = kelvane::RegistryFilePath();
    return Fail(kExitFileError,
                file.empty() ? "The settings could not be saved." : "The settings could not be saved in " + file + ".");
  }

  CatchStopSignals();
  ProgressLine progress(job.repeatCount);
  kelvane::RunControl control;
  control.cancel = &stopRequested;
  control.onProgress = [&progress](std::int64_t copies, std::uint64_t bytes) { progress.Update(copies, bytes); };

  if (job.outputFile.empty()) {
    try {
      kelvane::File out = kelvane::File::Adopt(::dup(STDOUT_FILENO), "standard output");
      const std::int64_t written = kelvane::WriteCopies(job, out, control);
      out.Close();
      if (written < job.repeatCount) {
        return Fail(StoppedStatus(), kelvane::LoadMessage(IDS_DUPLICATE_CANCELLED,
                                                          {written, std::int64_t{job.repeatCount}, "standard output"}));
      }
      return 0;
    } catch (const std::exception& error) {
      return Fail(kExitFileError, kelvane::ErrorReport(error));
    }
  }
  CollectingMessageBox messages;
  NoClipboard clipboard;
  // The run takes the job over rather than copying it: its value lists may be large.
  kelvane::DuplicateRun run(std::move(job), clipboard, messages);
  kelvane::RunOutcome outcome = kelvane::RunOutcome::Failed;
  if (run.Start()) {
    run.WriteCopies(control);
    outcome = run.Finish();
  }
  if (outcome == kelvane::RunOutcome::Succeeded) {
    return 0;
  }
  for (const std::string& message : messages.messages) {
    std::cerr << message << '\n';
  }
  return outcome == kelvane::RunOutcome::Cancelled ? StoppedStatus() : kExitFileError;
}

int main(int argc, char** argv) {
  // Running out of memory on a huge list, say, ends with the standard report, not an abort.
  try {
    return RunCommandLine(argc, argv);
  } catch (const std::exception& error) {
    return Fail(kExitFileError, kelvane::ErrorReport(error));
  } catch (...) {
    return Fail(kExitFileError, kelvane::res::LoadString(IDS_NO_ERROR_AVAILABLE));
  }
}
