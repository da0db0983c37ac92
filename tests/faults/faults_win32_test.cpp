// The faults a Windows user can make or meet: files held by other programs, temporary folders that
// cannot be used, a pipe that nobody reads.
#include <windows.h>
// windows.h renames MessageBox to MessageBoxW, and with it kelvane::MessageBox.
#undef MessageBox
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <regex>
#include <thread>

#include "engine/duplicate.h"
#include "platform/file.h"
#include "platform/win32/wide.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ListDir;
using test::ReadFile;
using test::RecordingMessageBox;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;
using testing::ElementsAre;

// Long enough for anything but a hang on a busy machine.
constexpr auto kLimit = std::chrono::seconds(60);

// The error another program gets when it opens path for reading, sharing everything; 0 when it can.
DWORD ErrorOpeningElsewhere(const std::string& path) {
  const HANDLE handle = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return ::GetLastError();
  }
  ::CloseHandle(handle);
  return 0;
}

// Records what another program met when it tried to open the output while each message was shown.
class ProbingMessageBox : public RecordingMessageBox {
 public:
  explicit ProbingMessageBox(std::string path) : path_(std::move(path)) {}
  MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override {
    errors.push_back(ErrorOpeningElsewhere(path_));
    return RecordingMessageBox::Show(text, buttons, icon);
  }
  std::vector<DWORD> errors;

 private:
  std::string path_;
};

// Held from the open to the close, which comes before the user hears of success, so that what the
// message announces is whole on the disk and open to other programs.
TEST(output_fault_win32_test, the_output_is_held_unshared_while_the_run_writes_it) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  for (const int append : {0, 1}) {
    MemoryClipboard clipboard;
    ProbingMessageBox messages(out);
    DuplicateRun run({"x", out, append, 3, {}, {}}, clipboard, messages);
    ASSERT_TRUE(run.Start());
    EXPECT_EQ(ErrorOpeningElsewhere(out), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    run.WriteCopies();
    EXPECT_EQ(ErrorOpeningElsewhere(out), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(run.Finish(), RunOutcome::Succeeded);
    EXPECT_THAT(messages.texts(), ElementsAre("Results were written to file " + out));
    EXPECT_THAT(messages.errors, ElementsAre(0U));
  }
  EXPECT_EQ(ReadFile(out), "xxxxxx");
}

// What a clipboard run shows when its temporary file cannot be made in tmp: exactly report, and
// nothing else; the clipboard keeps every format it had.
void ExpectClipboardRunFails(const std::string& tmp, const std::string& report) {
  const ScopedEnv env(test::kTempFolderVariable, tmp.c_str());
  MemoryClipboard clipboard;
  const std::map<std::string, std::string> before{{"text/plain", "keep me"}, {"image/png", "\x89PNG"}};
  clipboard.formats = before;
  RecordingMessageBox messages;
  EXPECT_EQ(RunDuplicate("x\n", "", 1, 3, {}, {}, clipboard, messages), RunOutcome::Failed) << tmp;
  EXPECT_THAT(messages.texts(), ElementsAre(report)) << tmp;
  EXPECT_EQ(clipboard.formats, before) << tmp;
}

TEST(temp_folder_fault_win32_test, an_unusable_temporary_folder_is_reported_once_and_the_clipboard_kept) {
  TempDir dir;
  WriteFile(dir.File("plain"), "a file");
  ExpectClipboardRunFails(dir.File("gone"), test::TempFilePattern(dir.File("gone")) + " contains an invalid path.");
  ExpectClipboardRunFails(dir.File("plain"), test::TempFilePattern(dir.File("plain")) + " contains an invalid path.");
  EXPECT_EQ(ReadFile(dir.File("plain")), "a file");
  EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"plain"});
}

// The temporary file has a name on Windows, as GetTempFileName gives one, but while a run holds it
// no other program can open it, and it is gone however the run ends.
TEST(temp_folder_fault_win32_test, the_temporary_file_is_held_unshared_and_left_behind_by_no_run) {
  TempDir tmp;
  const ScopedEnv env(test::kTempFolderVariable, tmp.path().c_str());
  for (const bool cancelled : {false, true}) {
    SCOPED_TRACE(cancelled ? "cancelled" : "finished");
    MemoryClipboard clipboard;
    clipboard.formats["text/plain"] = "old|";
    RecordingMessageBox messages;
    DuplicateRun run({"new|", "", 1, 3, {}, {}}, clipboard, messages);
    ASSERT_TRUE(run.Start());
    const std::vector<std::string> names = ListDir(tmp.path());
    ASSERT_EQ(names.size(), 1U);
    EXPECT_TRUE(std::regex_match(names[0], std::regex("KV[0-9A-Fa-f]{1,4}\\.tmp"))) << names[0];
    EXPECT_EQ(ErrorOpeningElsewhere(tmp.File(names[0])), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    std::atomic<bool> cancel = cancelled;
    RunControl control;
    control.cancel = &cancel;
    run.WriteCopies(control);
    EXPECT_EQ(run.Finish(), cancelled ? RunOutcome::Cancelled : RunOutcome::Succeeded);
    EXPECT_EQ(clipboard.formats.at("text/plain"), cancelled ? "old|" : "old|new|new|new|");
    EXPECT_EQ(ListDir(tmp.path()), std::vector<std::string>{});
  }
}

// Waits until nobody has taken bytes out of the pipe whose read end is fd for a while and it has
// stopped filling: its writer then blocks.
bool WaitUntilFull(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  DWORD last = 0, steadyPolls = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    DWORD queued = 0;
    if (::PeekNamedPipe(handle, nullptr, 0, nullptr, &queued, nullptr) == 0) {
      return false;
    }
    steadyPolls = queued != 0 && queued == last ? steadyPolls + 1 : 0;
    if (steadyPolls >= 10) {
      return true;
    }
    last = queued;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::string Drain(int fd, size_t atMost) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  std::string bytes;
  char buffer[1 << 16];
  DWORD queued = 0;
  while (bytes.size() < atMost && ::PeekNamedPipe(handle, nullptr, 0, nullptr, &queued, nullptr) != 0 && queued > 0) {
    const int got = ::_read(fd, buffer, sizeof buffer);
    if (got <= 0) {
      break;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

// The engine on its own: a cancelled run whose output stalls returns, with an honest count.
TEST(stalled_output_win32_test, a_cancelled_run_does_not_wait_for_a_stalled_output) {
  int ends[2];
  ASSERT_EQ(::_pipe(ends, 4096, _O_BINARY), 0);
  File out = File::Adopt(ends[1], "a stalled pipe");
  const Job job{"0123456789\n", "", 0, 100000000, {}, {}};
  std::atomic<bool> cancel = false;
  RunControl control;
  control.cancel = &cancel;
  auto result = std::async(std::launch::async, [&] { return WriteCopies(job, out, control); });
  ASSERT_TRUE(WaitUntilFull(ends[0]));
  // Now the writer is blocked, and Cancel comes.
  cancel = true;
  ASSERT_EQ(result.wait_for(kLimit), std::future_status::ready) << "the run waited for the stalled output";
  const std::int64_t copies = result.get();
  EXPECT_LT(copies, job.repeatCount);
  const std::string read = Drain(ends[0], static_cast<size_t>(copies) * 11);
  ASSERT_GE(read.size(), static_cast<size_t>(copies) * 11);
  std::string expected;
  for (std::int64_t i = 0; i < copies; ++i) {
    expected += "0123456789\n";
  }
  EXPECT_EQ(read.substr(0, expected.size()), expected);
  ::_close(ends[0]);
}

}  // namespace
}  // namespace kelvane
