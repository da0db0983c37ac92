#include "cli/run.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/exit_status.h"
#include "cli/progress_line.h"
#include "engine/duplicate.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/message_text.h"
#include "res/resource.h"

namespace kelvane::cli {

namespace {

// Collects what a run would show in message boxes; a command-line run prints only failures.
class CollectingMessageBox : public MessageBox {
 public:
  MessageAnswer Show(const std::string& text, MessageButtons, MessageIcon) override {
    messages.push_back(text);
    return MessageAnswer::Ok;
  }
  std::vector<std::string> messages;
};

// A job's output never needs the clipboard on the command line: no output file means standard output.
class NoClipboard : public Clipboard {
 public:
  bool Open() override { return false; }
  void Close() override {}
  std::optional<std::string> TextBlock() override { return std::nullopt; }
  void Empty() override {}
  bool SetText(const std::string&) override { return false; }
};

}  // namespace

int RunJob(Job job) {
  CatchStopRequests();
  ProgressLine progress(job.repeatCount);
  RunControl control;
  control.cancel = &StopRequested();
  control.onProgress = [&progress](std::int64_t copies, std::uint64_t bytes) { progress.Update(copies, bytes); };

  int status = kExitSuccess;
  std::vector<std::string> messages;
  if (job.outputFile.empty()) {
    try {
      File out = File::StandardOutput();
      const std::int64_t written = WriteCopies(job, out, control);
      out.Close();
      if (written < job.repeatCount) {
        status = StoppedStatus();
        messages.push_back(
            LoadMessage(IDS_DUPLICATE_CANCELLED, {written, std::int64_t{job.repeatCount}, "standard output"}));
      }
    } catch (const std::exception& error) {
      status = kExitFileError;
      messages.push_back(ErrorReport(error));
    }
  } else {
    CollectingMessageBox box;
    NoClipboard clipboard;
    // The run takes the job over rather than copying it: its value lists may be large.
    DuplicateRun run(std::move(job), clipboard, box);
    RunOutcome outcome = RunOutcome::Failed;
    if (run.Start()) {
      run.WriteCopies(control);
      outcome = run.Finish();
    }
    if (outcome != RunOutcome::Succeeded) {
      status = outcome == RunOutcome::Cancelled ? StoppedStatus() : kExitFileError;
      messages = std::move(box.messages);
    }
  }
  if (!messages.empty()) {
    progress.MakeRoomForMessage(InterruptLeftALine());
  }
  for (const std::string& message : messages) {
    Fail(status, message);
  }
  return status;
}

}  // namespace kelvane::cli
