// Turns the options of a command line into a Duplicate job that has passed the dialog's checks.
#pragma once

#include <optional>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "engine/job.h"

namespace kelvane::cli {

// Fills job from options (starting from the saved job with --saved), reads the input files,
// checks it as the dialog does, and saves it when asked. A failure when the job cannot run.
std::optional<Failure> AssembleJob(const Options& options, Job& job);

}  // namespace kelvane::cli
