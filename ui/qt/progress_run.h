// Runs a Duplicate with its copies written, and a clipboard run's result read back, off the
// window's thread, showing progress and Cancel once it has taken longer than about half a second.
#pragma once

#include <chrono>

#include "engine/duplicate.h"

class QWidget;

namespace kelvane {

// Start() must have succeeded. Returns what Finish() returns; messages are shown by the run.
// Setting *stop from the window's thread cancels the run as Cancel does.
RunOutcome RunWithProgress(DuplicateRun& run, QWidget* parent,
                           std::chrono::milliseconds quietTime = std::chrono::milliseconds(500),
                           const bool* stop = nullptr);

}  // namespace kelvane
