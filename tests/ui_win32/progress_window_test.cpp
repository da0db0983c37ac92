// The progress window of a long Duplicate: what it says, Cancel, and the main window disabled while
// it shows; a short run shows none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/duplicate.h"
#include "platform/win32/wide.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "support/service_fakes.h"
#include "support/test_support.h"
#include "ui/win32/progress_window.h"
#include "ui_win32/template_window.h"

namespace kelvane {
namespace {

// What the poll below saw of the progress window, and what it does to it.
struct Watch {
  HWND owner = nullptr;
  test::GatedClipboard* clipboard = nullptr;
  bool cancelWhenPutting = false;
  std::vector<std::string> texts;
  bool ownerDisabled = false;
  bool cancelled = false;
};
Watch* watch = nullptr;

BOOL CALLBACK FindProgress(HWND window, LPARAM found) {
  if (GetWindow(window, GW_OWNER) == watch->owner) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK Poll(HWND /*hwnd*/, UINT /*message*/, UINT_PTR /*id*/, DWORD /*time*/) {
  HWND progress = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &FindProgress, reinterpret_cast<LPARAM>(&progress));
  if (progress == nullptr || watch->cancelled) {
    return;
  }
  wchar_t text[256] = {};
  GetDlgItemTextW(progress, 100, text, 256);
  const std::string said = Narrow(text);
  if (watch->texts.empty() || watch->texts.back() != said) {
    watch->texts.push_back(said);
  }
  watch->ownerDisabled = watch->ownerDisabled || IsWindowEnabled(watch->owner) == 0;
  if (watch->cancelWhenPutting && said == res::LoadString(IDS_PUTTING_ON_CLIPBOARD)) {
    watch->cancelled = true;
    SendMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    watch->clipboard->Release();
  }
}

class ProgressWindow : public MainTemplateWindow {
 protected:
  void SetUp() override {
    MainTemplateWindow::SetUp();
    watch_.owner = hwnd_;
    watch_.clipboard = &clipboard_;
    watch = &watch_;
    timer_ = SetTimer(nullptr, 0, 10, &Poll);
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    watch = nullptr;
    clipboard_.Release();
    MainTemplateWindow::TearDown();
  }

  Watch watch_;
  // A job of count copies of block, to out.txt in the test's folder, or to the clipboard.
  [[nodiscard]] Job MakeJob(const char* block, int count, bool toFile) const {
    Job job;
    job.blockText = block;
    job.outputFile = toFile ? dir_.File("out.txt") : std::string();
    job.repeatCount = count;
    return job;
  }

  test::TempDir dir_;
  test::GatedClipboard clipboard_;
  test::RecordingMessageBox messages_;
  UINT_PTR timer_ = 0;
};

TEST_F(ProgressWindow, a_short_run_writes_its_file_and_shows_no_progress) {
  const Job job = MakeJob("ab\r\n", 3, true);
  DuplicateRun run(job, clipboard_, messages_);
  ASSERT_TRUE(run.Start());
  EXPECT_EQ(ShowRunProgress(run, hwnd_, nullptr, std::chrono::seconds(60)), RunOutcome::Succeeded);
  EXPECT_EQ(test::ReadFile(job.outputFile), "ab\r\nab\r\nab\r\n");
  EXPECT_TRUE(watch_.texts.empty());
  EXPECT_TRUE(IsWindowEnabled(hwnd_));
}

TEST_F(ProgressWindow, cancel_while_the_result_goes_on_the_clipboard_leaves_the_clipboard_alone) {
  clipboard_.formats["text/plain"] = "kept";
  DuplicateRun run(MakeJob("ab", 3, false), clipboard_, messages_);
  ASSERT_TRUE(run.Start());
  clipboard_.Hold();
  watch_.cancelWhenPutting = true;
  EXPECT_EQ(ShowRunProgress(run, hwnd_, nullptr, std::chrono::milliseconds(0)), RunOutcome::Cancelled);
  ASSERT_FALSE(watch_.texts.empty());
  EXPECT_EQ(watch_.texts.back(), res::LoadString(IDS_PUTTING_ON_CLIPBOARD));
  EXPECT_TRUE(watch_.ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(hwnd_));  // given back when the progress went
  EXPECT_EQ(clipboard_.formats["text/plain"], "kept");
}

TEST_F(ProgressWindow, a_stop_before_the_run_cancels_it_without_a_window) {
  const Job job = MakeJob("x", 2147483647, true);
  DuplicateRun run(job, clipboard_, messages_);
  ASSERT_TRUE(run.Start());
  const bool stop = true;
  EXPECT_EQ(ShowRunProgress(run, hwnd_, &stop, std::chrono::milliseconds(0)), RunOutcome::Cancelled);
  EXPECT_TRUE(watch_.texts.empty());
  EXPECT_LT(test::ReadFile(job.outputFile).size(), 2147483647U);
}

}  // namespace
}  // namespace kelvane
