#include "cli/job_assembly.h"

#include <unistd.h>

#include "engine/validation.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace kelvane::cli {

namespace {

std::string ReadInput(const std::string& path) {
  File file = path == "-" ? File::Adopt(::dup(STDIN_FILENO), "standard input") : File::Open(path, File::Mode::Read);
  std::string bytes = file.ReadAll();
  file.Close();
  return bytes;
}

}  // namespace

std::optional<Failure> AssembleJob(const Options& options, Job& job) {
  // With --saved, an option given replaces its part of the saved job, and only then.
  if (options.saved) {
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
      for (const Variable& variable : options.variables) {
        job.tags.push_back(variable.tag);
        // Not a ?: expression: mixing the const member in would make it copy the file's bytes.
        if (variable.fromFile) {
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
    job.outputFile = options.output.value_or("");
  }
  if (!options.saved || options.append) {
    job.append = options.append.value_or(false) ? 1 : 0;
  }

  // The same checks, in the same order, as the dialog's fields.
  if (options.repeat && !ParseRepeatCount(*options.repeat, job.repeatCount)) {
    return Failure{kExitInvalid, NotAnIntegerMessage()};
  }
  if (auto error = RepeatCountRangeError(job.repeatCount)) {
    return Failure{kExitInvalid, std::move(*error)};
  }
  for (const std::string& tag : job.tags) {
    if (auto error = EmptyTagError(tag)) {
      return Failure{kExitInvalid, std::move(*error)};
    }
  }
  if (auto error = LineCountError(job.tags, job.values, job.repeatCount)) {
    return Failure{kExitInvalid, std::move(*error)};
  }
  // A job that cannot be saved is not run: the user asked for both.
  if (options.save && !SaveSettings(job)) {
    const std::string file = RegistryFilePath();
    return Failure{kExitFileError, file.empty() ? "The settings could not be saved."
                                                : "The settings could not be saved in " + file + "."};
  }
  return std::nullopt;
}

}  // namespace kelvane::cli
