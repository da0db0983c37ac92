// Runs a checked job to standard output or its output file, stopping cleanly on SIGINT or SIGTERM.
#pragma once

#include "engine/job.h"

namespace kelvane::cli {

// Writes the job's copies, with a progress line on a terminal; returns the exit status, having
// reported any failure or interruption on standard error.
int RunJob(Job job);

}  // namespace kelvane::cli
