#include "engine/duplicate.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "clipboard/clipboard_transfer.h"
#include "engine/background_writer.h"
#include "engine/copy_generator.h"
#include "platform/file_error.h"
#include "platform/memory.h"
#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

// Copies are built into one buffer and handed to the writer in pieces of about this size.
constexpr size_t kChunkSize = size_t{1} << 21;
// A buffer grown past this (a huge block or value) is not doubled: it is written out and comes
// back before the next copy is built, so such a run holds one copy's buffer, not two.
constexpr size_t kSingleBufferAbove = 4 * kChunkSize;
constexpr std::int64_t kProgressEvery = 4096;

// A list file cut short by another program while the copies were built reads as zeros past its
// new end: nothing built since may go out as if it were right.
void ThrowIfAnyListCutShort(const Job& job) {
  for (const auto& list : job.valueLists) {
    if (list != nullptr) {
      list->ThrowIfCutShort();
    }
  }
}

}  // namespace

std::int64_t WriteCopies(const Job& job, File& out, const RunControl& control) {
  CopyGenerator generator(job, control.cancel);
  std::uint64_t produced = 0;
  std::int64_t done = 0;
  std::int64_t written = 0;
  {
    BackgroundWriter writer(out, control.cancel);
    WriteBuffer chunk;
    chunk.Reserve(kChunkSize + job.blockText.size());
    while (done < job.repeatCount) {
      if (control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed)) {
        break;
      }
      const size_t size = generator.PrepareNextCopy();
      if (generator.stopped()) {
        break;  // cancelled in the middle of the copy, which is dropped
      }
      chunk.Reserve(size);
      // This copy and the next ones that fit, up to the next progress report.
      const std::int64_t most = std::min(job.repeatCount - done, kProgressEvery - done % kProgressEvery);
      std::int64_t made = 0;
      chunk.size += generator.WriteCopies(chunk.data.get() + chunk.size, chunk.capacity - chunk.size, most, made);
      done += made;
      chunk.copiesEnd = done;
      const bool noRoom = made < most && !generator.stopped();
      if (chunk.size >= kChunkSize || noRoom) {
        ThrowIfAnyListCutShort(job);
        const size_t full = chunk.size;
        const bool single = chunk.capacity > kSingleBufferAbove;
        chunk = writer.Swap(std::move(chunk));
        if (chunk.size == 0) {
          produced += full;
          if (single) {
            chunk = WriteBuffer();  // the spare, if any, goes before the buffer comes back
            chunk = writer.Reclaim();
            if (chunk.capacity == 0) {
              break;  // cancelled while it was going out
            }
          }
          chunk.Reserve(kChunkSize + job.blockText.size());
        }
      }
      if (control.onProgress && done % kProgressEvery == 0) {
        control.onProgress(done, produced + chunk.size);
      }
    }
    ThrowIfAnyListCutShort(job);
    produced += chunk.size;
    writer.Finish(std::move(chunk));
    written = writer.copiesWritten();
  }
  if (control.onProgress) {
    control.onProgress(written, produced);
  }
  return written;
}

Job WithValuesScanned(Job job) {
  const size_t count = std::min(job.tags.size(), job.values.size());
  job.valueLists.resize(std::max(job.valueLists.size(), count));
  for (size_t j = 0; j < count; ++j) {
    if (job.valueLists[j] == nullptr) {
      job.valueLists[j] = std::make_shared<const ValueList>(ValueList::FromText(std::exchange(job.values[j], {})));
    }
  }
  return job;
}

DuplicateRun::DuplicateRun(Job job, Clipboard& clipboard, MessageBox& messages)
    : job_(std::move(job)), clipboard_(clipboard), messages_(messages) {}

// The temporary file has no name, or has lost it: closing it is all it takes to remove it.
DuplicateRun::~DuplicateRun() = default;

void DuplicateRun::Fail(const std::string& report) {
  failed_ = true;
  output_ = File();
  messages_.Show(report);
}

namespace {

// Whether a clipboard run's result is sure to be more than the memory the system can give: it is
// held whole to go on the clipboard, so such a run could only write the temporary file, at length,
// and then fail.
bool CannotFitInMemory(const Job& job) {
  const std::optional<std::uint64_t> least = CopyGenerator(job).LeastTotalSize(job.repeatCount);
  const std::optional<std::uint64_t> available = least ? AvailableMemory() : std::nullopt;
  return least && available && *least > *available;
}

}  // namespace

bool DuplicateRun::Start() {
  try {
    const bool append = job_.append != 0;
    if (job_.outputFile.empty() && CannotFitInMemory(job_)) {
      Fail(res::LoadString(IDS_MEMORY_EXCEPTION));
      return false;
    }
    if (job_.outputFile.empty()) {
      // The temporary file is only ever reached through the descriptor made here, so nobody who
      // can write to the temporary folder can swap it, read it or have it overwrite their target.
      toClipboard_ = true;
      output_ = File::CreateTemp();
      // The clipboard's old text goes first, so that appending appends to it as to any file.
      // An empty clipboard simply starts the result empty.
      if (ClipboardToFile(clipboard_, messages_, output_, kTextToFirstNul) < 0) {
        failed_ = true;
        output_ = File();
        return false;
      }
      if (!append) {
        output_.Truncate();
      }
      return true;
    }
    const std::string& path = job_.outputFile;
    output_ = File::Open(path, append && File::Exists(path) ? File::Mode::OpenWrite : File::Mode::CreateWrite);
    if (append) {
      output_.SeekToEnd();
    }
    return true;
  } catch (const std::exception& error) {
    Fail(ErrorReport(error));
    return false;
  }
}

void DuplicateRun::WriteCopies(const RunControl& control) {
  if (failed_ || !output_.IsOpen()) {
    return;
  }
  try {
    copiesWritten_ = kelvane::WriteCopies(job_, output_, control);
  } catch (...) {
    error_ = std::current_exception();
  }
}

void DuplicateRun::PrepareClipboardText(const RunControl& control) {
  if (failed_ || error_ || !toClipboard_ || copiesWritten_ < job_.repeatCount || clipboardText_ ||
      clipboardCancelled_) {
    return;
  }
  try {
    // Read back through the descriptor that wrote it: the file has no name to reopen.
    output_.SeekToStart();
    clipboardText_ = ReadFileForClipboard(clipboard_, output_, control.cancel);
    output_ = File();
    clipboardCancelled_ = clipboardText_ == nullptr;
  } catch (...) {
    error_ = std::current_exception();
  }
}

RunOutcome DuplicateRun::Finish() {
  if (failed_) {
    return RunOutcome::Failed;
  }
  try {
    PrepareClipboardText();
    if (error_) {
      std::rethrow_exception(std::exchange(error_, nullptr));
    }
    const bool cancelled = copiesWritten_ < job_.repeatCount;
    if (!toClipboard_) {
      // Every byte is out and the file closed, errors checked, before anyone hears of success.
      output_.Close();
      messages_.Show(cancelled ? LoadMessage(IDS_DUPLICATE_CANCELLED,
                                             {copiesWritten_, std::int64_t{job_.repeatCount}, job_.outputFile})
                               : LoadMessage(IDS_WRITTEN_TO_FILE, {job_.outputFile}));
      return cancelled ? RunOutcome::Cancelled : RunOutcome::Succeeded;
    }
    // A cancelled clipboard run leaves the clipboard as it was.
    if (cancelled || clipboardCancelled_) {
      output_ = File();
      return RunOutcome::Cancelled;
    }
    const ClipboardWrite written = PreparedTextToClipboard(clipboard_, std::move(clipboardText_));
    if (written != ClipboardWrite::Done) {
      messages_.Show(ClipboardWriteError(written));
      return RunOutcome::Failed;
    }
    messages_.Show(res::LoadString(IDS_WRITTEN_TO_CLIPBOARD));
    return RunOutcome::Succeeded;
  } catch (const std::exception& error) {
    Fail(ErrorReport(error));
    return RunOutcome::Failed;
  } catch (...) {
    Fail(res::LoadString(IDS_NO_ERROR_AVAILABLE));
    return RunOutcome::Failed;
  }
}

RunOutcome RunDuplicate(const std::string& blockText, const std::string& outputFile, int append, int repeatCount,
                        const std::vector<std::string>& tags, const std::vector<std::string>& values,
                        Clipboard& clipboard, MessageBox& messages, const RunControl& control) {
  DuplicateRun run(WithValuesScanned(Job{blockText, outputFile, append, repeatCount, tags, values}), clipboard,
                   messages);
  if (!run.Start()) {
    return RunOutcome::Failed;
  }
  run.WriteCopies(control);
  return run.Finish();
}

}  // namespace kelvane
