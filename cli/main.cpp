// kelvane-cli: runs a Duplicate job from the command line, writing to a file or standard output.
//
// Exit status: 0 success, 1 a file error, 2 a usage or validation error, 128 plus the signal's
// number when interrupted or terminated (130 for Ctrl+C, Ctrl+Break or a closed console on Windows).

#include <exception>
#include <string>
#include <utility>
#include <variant>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "cli/job_assembly.h"
#include "cli/options.h"
#include "cli/run.h"
#include "platform/file_error.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace {

int RunCommandLine(int argc, char** argv) {
  auto parsed = kelvane::cli::ParseOptions(kelvane::cli::CommandLineArguments(argc, argv));
  if (const int* status = std::get_if<int>(&parsed)) {
    return *status;
  }
  kelvane::Job job;
  if (const auto failure = kelvane::cli::AssembleJob(std::get<kelvane::cli::Options>(parsed), job)) {
    return kelvane::cli::Fail(*failure);
  }
  return kelvane::cli::RunJob(std::move(job));
}

}  // namespace

int main(int argc, char** argv) {
  kelvane::cli::PrepareStandardStreams();
  // Running out of memory on a huge list, say, ends with the standard report, not an abort.
  try {
    return RunCommandLine(argc, argv);
  } catch (const std::exception& error) {
    return kelvane::cli::Fail(kelvane::cli::kExitFileError, kelvane::ErrorReport(error));
  } catch (...) {
    return kelvane::cli::Fail(kelvane::cli::kExitFileError, kelvane::res::LoadString(IDS_NO_ERROR_AVAILABLE));
  }
}
