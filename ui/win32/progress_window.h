// The progress window of a long Duplicate run: the copies written so far, a progress bar and
// Cancel, shown once the run has taken longer than about half a second.
#pragma once

#include "ui/win32/win32_api.h"

#include <chrono>

#include "engine/duplicate.h"

namespace kelvane {

// Runs a started Duplicate with its copies written off this thread; owner (may be nullptr) is
// disabled meanwhile. Setting *stop cancels as Cancel does. Returns what run.Finish() returns.
RunOutcome ShowRunProgress(DuplicateRun& run, HWND owner, const bool* stop,
                           std::chrono::milliseconds quietTime = std::chrono::milliseconds(500));

}  // namespace kelvane
