// The Duplicate command: a job's copies written to its output file or to the clipboard.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/job.h"
#include "platform/clipboard.h"
#include "platform/file.h"
#include "platform/message_box.h"

namespace kelvane {

enum class RunOutcome { Succeeded, Failed, Cancelled };

// Progress reports and the request to stop, for runs that take long.
struct RunControl {
  // Called now and then with the copies and bytes produced so far, on the writing thread.
  std::function<void(std::int64_t copiesDone, std::uint64_t bytesDone)> onProgress;
  // Set from anywhere to stop at the next copy boundary.
  const std::atomic<bool>* cancel = nullptr;
};

// Writes the job's copies to out, whole copies only, and returns how many were written: all of
// them unless control.cancel was set. Throws FileException or std::bad_alloc.
std::int64_t WriteCopies(const Job& job, File& out, const RunControl& control = {});

// The job as a run takes it from a window that holds its value texts itself: each value text moved
// into a ValueList held in memory and scanned there once, so that the line-count check
// (LineCountError(const Job&)), the clipboard run's memory check and the copies all start from that
// one scan. Values the job already keeps in lists stay where they are.
Job WithValuesScanned(Job job);

// One Duplicate run in three steps, so that a window can keep the long middle step off its own
// thread: Start() and Finish() use the clipboard and show messages; WriteCopies() touches neither.
class DuplicateRun {
 public:
  DuplicateRun(Job job, Clipboard& clipboard, MessageBox& messages);
  DuplicateRun(const DuplicateRun&) = delete;
  DuplicateRun& operator=(const DuplicateRun&) = delete;
  ~DuplicateRun();

  // Prepares the clipboard's temporary file when there is no output file, else opens the output.
  // Reports any failure itself and returns false, ending the run.
  bool Start();
  // Writes the copies; a failure is kept for Finish() to report.
  void WriteCopies(const RunControl& control = {});
  // For a clipboard run whose copies are all written: closes the output and reads it back into a
  // text for the clipboard, stopping early when control.cancel is set (the run then counts as
  // cancelled and leaves the clipboard alone). Touches neither the clipboard nor the messages, so
  // it may run off the window's thread; Finish() does it when nobody did. A failure is kept for
  // Finish() to report.
  void PrepareClipboardText(const RunControl& control = {});
  // Whether the result goes to the clipboard.
  [[nodiscard]] bool writesToClipboard() const { return toClipboard_; }
  // Closes the output, puts a clipboard run's result on the clipboard, and tells the user.
  RunOutcome Finish();

  [[nodiscard]] const Job& job() const { return job_; }
  [[nodiscard]] std::int64_t copiesWritten() const { return copiesWritten_; }

 private:
  void Fail(const std::string& report);

  Job job_;
  Clipboard& clipboard_;
  MessageBox& messages_;
  bool toClipboard_ = false;  // the output is the run's temporary file, unnamed, worked on by its descriptor
  File output_;
  std::int64_t copiesWritten_ = 0;
  std::exception_ptr error_;
  bool failed_ = false;
  std::unique_ptr<ClipboardText> clipboardText_;
  bool clipboardCancelled_ = false;
};

// Runs all three steps on the six inputs of the Duplicate command.
RunOutcome RunDuplicate(const std::string& blockText, const std::string& outputFile, int append, int repeatCount,
                        const std::vector<std::string>& tags, const std::vector<std::string>& values,
                        Clipboard& clipboard, MessageBox& messages, const RunControl& control = {});

}  // namespace kelvane
