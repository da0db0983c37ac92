// A Duplicate's copies written off the window's thread: progress, cancel, the clipboard phase.
#include "ui/background_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "support/named_cases.h"
#include "support/service_fakes.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::CaseName;
using test::PrintTo;

constexpr auto kGenerous = std::chrono::minutes(2);
constexpr int kEndless = 2147483647;

struct RunFixture {
  test::TempDir folder;
  test::GatedClipboard clipboard;
  test::RecordingMessageBox messages;

  // A run of the block repeated count times, to out.txt in the folder, or to the clipboard; "#" is
  // the copy's number, counted from 1.
  DuplicateRun Run(const std::string& block, int count, bool toClipboard) {
    return DuplicateRun(Job{block, toClipboard ? "" : folder.File("out.txt"), 0, count, {"#"}, {"%%count1%d%%"}},
                        clipboard, messages);
  }
};

// Waits until the worker has reported some copies, without sleeping: the run is then mid-way.
bool WaitForFirstProgress(const BackgroundRun& background) {
  const auto limit = std::chrono::steady_clock::now() + kGenerous;
  while (background.copiesDone() == 0 && !background.finished()) {
    if (std::chrono::steady_clock::now() > limit) {
      return false;
    }
    std::this_thread::yield();
  }
  return !background.finished();
}

TEST(background_run_test, a_run_to_a_file_counts_every_copy_and_ends_on_the_callers_thread) {
  RunFixture f;
  DuplicateRun run = f.Run("x#;", 5000, false);
  ASSERT_TRUE(run.Start());
  BackgroundRun background(run);
  ASSERT_TRUE(background.WaitFor(kGenerous));
  EXPECT_TRUE(background.finished());
  EXPECT_FALSE(background.puttingOnClipboard());
  EXPECT_EQ(background.copiesDone(), 5000);
  EXPECT_EQ(background.copiesInAll(), 5000);
  EXPECT_EQ(background.ProgressText(), "Writing copy 5000 of 5000");
  // The message waits for Finish(), on the window's thread.
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_EQ(background.Finish(), RunOutcome::Succeeded);
  EXPECT_EQ(f.messages.texts(), std::vector{LoadMessage(IDS_WRITTEN_TO_FILE, {f.folder.File("out.txt")})});
  std::string expected;
  for (int i = 1; i <= 5000; ++i) {
    expected += "x" + std::to_string(i) + ";";
  }
  EXPECT_EQ(test::ReadFile(f.folder.File("out.txt")), expected);
}

TEST(background_run_test, cancelled_mid_run_it_keeps_whole_copies_and_counts_them) {
  RunFixture f;
  const std::string block(1000, 'k');
  DuplicateRun run = f.Run(block, kEndless, false);
  ASSERT_TRUE(run.Start());
  BackgroundRun background(run);
  ASSERT_TRUE(WaitForFirstProgress(background));
  EXPECT_FALSE(background.WaitFor(std::chrono::milliseconds(0)));
  background.Cancel();
  EXPECT_TRUE(background.cancelled());
  ASSERT_TRUE(background.WaitFor(kGenerous));
  const std::int64_t done = background.copiesDone();
  EXPECT_GT(done, 0);
  EXPECT_LT(done, kEndless);
  EXPECT_EQ(background.ProgressText(), "Writing copy " + std::to_string(done) + " of 2147483647");
  EXPECT_EQ(background.Finish(), RunOutcome::Cancelled);
  EXPECT_EQ(test::ReadFile(f.folder.File("out.txt")).size(), static_cast<size_t>(done) * block.size());
  EXPECT_EQ(f.messages.texts(), std::vector{LoadMessage(IDS_DUPLICATE_CANCELLED,
                                                        {done, std::int64_t{kEndless}, f.folder.File("out.txt")})});
}

TEST(background_run_test, going_away_unfinished_cancels_and_waits_for_the_worker) {
  RunFixture f;
  DuplicateRun run = f.Run(std::string(1000, 'k'), kEndless, false);
  ASSERT_TRUE(run.Start());
  {
    BackgroundRun background(run);
    ASSERT_TRUE(WaitForFirstProgress(background));
  }
  // The worker is gone: the run can be ended here, with whole copies written.
  EXPECT_EQ(run.Finish(), RunOutcome::Cancelled);
  EXPECT_EQ(test::ReadFile(f.folder.File("out.txt")).size(), static_cast<size_t>(run.copiesWritten()) * 1000);
}

struct ClipboardCase {
  const char* name;
  bool cancel;
  RunOutcome outcome;
  std::string clipboardAfter;
};

class background_run_clipboard_test : public testing::TestWithParam<ClipboardCase> {};

TEST_P(background_run_clipboard_test, says_when_it_puts_the_result_on_the_clipboard) {
  const ClipboardCase& c = GetParam();
  RunFixture f;
  f.clipboard.formats = {{"text/plain", "old;"}};
  DuplicateRun run = f.Run("ab;", 3, true);
  ASSERT_TRUE(run.Start());
  f.clipboard.Hold();
  BackgroundRun background(run);
  ASSERT_TRUE(test::WaitFor([&] { return f.clipboard.appending.load(); }));
  EXPECT_TRUE(background.puttingOnClipboard());
  EXPECT_EQ(background.ProgressText(), res::LoadString(IDS_PUTTING_ON_CLIPBOARD));
  EXPECT_EQ(background.copiesDone(), 3);
  EXPECT_FALSE(background.finished());
  if (c.cancel) {
    background.Cancel();
  }
  f.clipboard.Release();
  ASSERT_TRUE(background.WaitFor(kGenerous));
  EXPECT_EQ(background.Finish(), c.outcome);
  EXPECT_EQ(f.clipboard.formats.at("text/plain"), c.clipboardAfter);
}

INSTANTIATE_TEST_SUITE_P(table, background_run_clipboard_test,
                         testing::Values(ClipboardCase{"finished", false, RunOutcome::Succeeded, "ab;ab;ab;"},
                                         ClipboardCase{"cancelled_leaves_the_clipboard", true, RunOutcome::Cancelled,
                                                       "old;"}),
                         CaseName<ClipboardCase>);

}  // namespace
}  // namespace kelvane
