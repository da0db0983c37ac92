#include "cli/job_assembly.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string_view>

#include "cli/console.h"
#include "engine/validation.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/mapped_file.h"
#include "settings/settings.h"

namespace kelvane::cli {

namespace {

constexpr std::string_view kStandardStream = "-";

std::string ReadInput(const std::string& path) {
  File file = path == kStandardStream ? File::StandardInput() : File::Open(path, File::Mode::Read);
  std::string bytes = file.ReadAll();
  file.Close();
  return bytes;
}

// The window takes a number beyond 32 bits as the nearest limit; typed on a command line, it is
// more likely a mistake than a wish for two thousand million copies, so it is refused. text has
// already been read as a repeat count.
bool BeyondRepeatRange(std::string_view text) {
  text = text.substr(0, 31);
  const size_t first = text.find_first_of("0123456789");
  if (first == std::string_view::npos || text.find('-') < first) {
    return false;  // negative numbers fail the range check as they are
  }
  size_t start = text.find_first_not_of('0', first);
  const size_t end = text.find_first_not_of("0123456789", first);
  const std::string_view digits = start >= end
                                      ? std::string_view()
                                      : text.substr(start, (end == std::string_view::npos ? text.size() : end) - start);
  const std::string_view limit = "2147483647";
  return digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit);
}

// A relative output path means the folder the command ran in; Kelvane, started from elsewhere,
// must find the same file.
std::string AbsoluteOutputPath(const std::string& path) {
  if (path.empty()) {
    return path;
  }
  std::filesystem::path absolute = std::filesystem::absolute(path);
  // Without "..", tidying the path cannot lead through a symbolic link to another folder.
  if (std::find(absolute.begin(), absolute.end(), "..") == absolute.end()) {
    absolute = absolute.lexically_normal();
  }
  return absolute.string();
}

// The settings keep strings up to their first NUL byte, as the registry's strings end there: the job
// still runs whole, but the user hears that what is saved differs from it.
void WarnOfNulBytes(const Job& job) {
  const auto warnIfCut = [](const std::string& text, const std::string& what) {
    if (text.find('\0') != std::string::npos) {
      WriteText(stderr, "kelvane-cli: warning: " + what + " holds a NUL byte; only the part before it is saved.\n");
    }
  };
  warnIfCut(job.blockText, "the block text");
  for (size_t i = 0; i < job.tags.size() && i < job.values.size(); ++i) {
    warnIfCut(job.values[i], "the value of " + job.tags[i]);
  }
}

}  // namespace

std::optional<Failure> AssembleJob(const Options& options, Job& job) {
  // With --saved, an option given replaces its part of the saved job, and only then.
  if (options.saved) {
    if (!HasSavedSettings()) {
      const std::string place = SavedJobPlace();
      return Failure{kExitInvalid, "no job is saved" + (place.empty() ? std::string() : " in " + place) +
                                       "; save one with --save or with Kelvane's Close button"};
    }
    LoadSettings(job);
  }
  try {
    if (options.textFile) {
      job.blockText = ReadInput(*options.textFile);
    } else if (options.text) {
      job.blockText = *options.text;
    }
    if (!options.saved || !options.variables.empty()) {
      job.tags.clear();
      job.values.clear();
      job.valueLists.clear();
      const std::string output = options.output ? *options.output : options.saved ? job.outputFile : std::string();
      for (const Variable& variable : options.variables) {
        job.tags.push_back(variable.tag);
        // A list file is mapped, not read, so that one of any size takes little memory. It is read
        // whole when it is to be saved, from standard input, or when the output would overwrite it.
        const bool mapped = variable.fromFile && !options.save && variable.valueOrFile != "-" &&
                            !(!output.empty() && SameFile(variable.valueOrFile, output));
        job.valueLists.resize(job.tags.size());
        if (mapped) {
          job.values.emplace_back();
          job.valueLists.back() = std::make_shared<const ValueList>(variable.valueOrFile);
        } else if (variable.fromFile) {
          job.values.push_back(ReadInput(variable.valueOrFile));
        } else {
          job.values.push_back(variable.valueOrFile);
        }
      }
    }
  } catch (const FileException& error) {
    return Failure{kExitFileError, error.ErrorReport()};
  }
  if (!options.saved || options.output) {
    // No output file is standard output here, and "-" says so on purpose.
    const std::string& output = options.output.value_or("");
    job.outputFile = output == kStandardStream ? std::string() : output;
  }
  if (!options.saved || options.append) {
    job.append = options.append.value_or(false) ? 1 : 0;
  }

  // The same checks, in the same order, as the dialog's fields.
  if (options.repeat) {
    if (!ParseRepeatCount(*options.repeat, job.repeatCount)) {
      return Failure{kExitInvalid, NotAnIntegerMessage()};
    }
    if (BeyondRepeatRange(*options.repeat)) {
      return Failure{kExitInvalid, *RepeatCountRangeError(0)};
    }
  }
  if (auto error = RepeatCountRangeError(job.repeatCount)) {
    return Failure{kExitInvalid, std::move(*error)};
  }
  for (const std::string& tag : job.tags) {
    if (auto error = EmptyTagError(tag)) {
      return Failure{kExitInvalid, std::move(*error)};
    }
  }
  if (auto error = LineCountError(job)) {
    return Failure{kExitInvalid, std::move(*error)};
  }
  if (options.save) {
    WarnOfNulBytes(job);
  }
  // A job that cannot be saved is not run: the user asked for both.
  if (options.save) {
    job.outputFile = AbsoluteOutputPath(job.outputFile);
    if (!SaveSettings(job)) {
      const std::string place = SavedJobPlace();
      return Failure{kExitFileError, place.empty() ? "The settings could not be saved."
                                                   : "The settings could not be saved in " + place + "."};
    }
  }
  return std::nullopt;
}

}  // namespace kelvane::cli
