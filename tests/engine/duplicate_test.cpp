#include "engine/duplicate.h"

#include <gtest/gtest.h>
#include <filesystem>

#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ReadFile;
using test::RecordingMessageBox;
using test::TempDir;
using test::WriteFile;

class DuplicateTest : public ::testing::Test {
 protected:
  RunOutcome Run(const Job& job) {
    return RunDuplicate(job.blockText, job.outputFile, job.append, job.repeatCount, job.tags, job.values, clipboard,
                        messages);
  }
  // No temporary file of ours is left in the temporary folder.
  void ExpectNoTempFiles() { EXPECT_EQ(test::ListDir(tmp.path()), std::vector<std::string>{}); }

  TempDir dir;
  TempDir tmp;
  test::ScopedEnv tmpdir{test::kTempFolderVariable, tmp.path().c_str()};
  MemoryClipboard clipboard;
  RecordingMessageBox messages;
};

TEST_F(DuplicateTest, writes_the_substituted_copies_to_a_file_and_says_so) {
  const std::string out = dir.File("out.txt");
  const Job job{"Dear NAME, you are no. NUM.\r\n", out, 0, 3, {"name", "num"}, {"Ann\r\nBob\r\nCy", "%%count1%02d%%"}};
  EXPECT_EQ(Run(job), RunOutcome::Succeeded);
  EXPECT_EQ(ReadFile(out), "Dear Ann, you are no. 01.\r\nDear Bob, you are no. 02.\r\nDear Cy, you are no. 03.\r\n");
  ASSERT_EQ(messages.shown.size(), 1U);
  EXPECT_EQ(messages.shown[0].text, "Results were written to file " + out);
  EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
}

TEST_F(DuplicateTest, file_modes) {
  const std::string out = dir.File("out.txt");
  const struct {
    const char* name;
    bool existing;
    int append;
    std::string expected;
  } cases[] = {
      {"append to a missing file creates it", false, 1, "ababab"},
      {"append keeps the old contents", true, 1, "old;ababab"},
      {"without append the old contents are gone", true, 0, "ababab"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(test::PathOf(out));
    if (c.existing) {
      WriteFile(out, "old;");
    }
    EXPECT_EQ(Run({"ab", out, c.append, 3, {}, {}}), RunOutcome::Succeeded) << c.name;
    EXPECT_EQ(ReadFile(out), c.expected) << c.name;
  }
}

TEST_F(DuplicateTest, later_variables_resolve_text_inserted_by_earlier_ones_only) {
  const std::string out = dir.File("out.txt");
  // A's value inserts B's tag, which B then resolves; B's value inserts A's tag, which stays.
  EXPECT_EQ(Run({"A B|", out, 0, 2, {"A", "B", "C"}, {"<B>", "[A]\r\n[a]"}}), RunOutcome::Succeeded);
  EXPECT_EQ(ReadFile(out), "<[A]> [A]|<[a]> [a]|");
  // More tags than values, or the reverse: only the first n are applied.
  EXPECT_EQ(Run({"X Y", out, 0, 1, {"X", "Y"}, {"1"}}), RunOutcome::Succeeded);
  EXPECT_EQ(ReadFile(out), "1 Y");
  EXPECT_EQ(Run({"X Y", out, 0, 1, {"X"}, {"1", "2"}}), RunOutcome::Succeeded);
  EXPECT_EQ(ReadFile(out), "1 Y");
}

// Blocks bigger than the writer's buffers go out whole, copy by copy, with the same bytes whatever
// way their text is kept: in the block, merged with a constant, or searched when not UTF-8.
TEST_F(DuplicateTest, huge_blocks_give_every_copy_whole) {
  const std::string out = dir.File("out.txt");
  const std::string filler(3 * 1024 * 1024, 'x');
  const struct {
    const char* name;
    std::string head;
    std::vector<std::string> tags;
  } cases[] = {
      {"varying value first", "", {"name", "const"}},
      {"constant first", "", {"const", "name"}},
      {"not UTF-8", "\xff", {"name", "const"}},
  };
  for (const auto& c : cases) {
    const std::string block = c.head + filler + "Name" + filler + "CONST" + filler + "\n";
    const std::vector<std::string> values = c.tags[0] == "name" ? std::vector<std::string>{"Ann\r\nBob\r\nCy", "k"}
                                                                : std::vector<std::string>{"k", "Ann\r\nBob\r\nCy"};
    EXPECT_EQ(Run({block, out, 0, 3, c.tags, values}), RunOutcome::Succeeded) << c.name;
    std::string expected;
    for (const char* name : {"Ann", "Bob", "Cy"}) {
      expected += c.head + filler + name + filler + "k" + filler + "\n";
    }
    const std::string bytes = ReadFile(out);
    EXPECT_EQ(bytes.size(), expected.size()) << c.name;
    EXPECT_TRUE(bytes == expected) << c.name;
  }
}

TEST_F(DuplicateTest, clipboard_runs) {
  const struct {
    const char* name;
    bool hasText;
    int append;
    std::string expected;
  } cases[] = {
      {"append adds to the clipboard's text", true, 1, "old+x1x2"},
      {"without append only the new copies", true, 0, "x1x2"},
      {"an empty clipboard starts empty", false, 1, "x1x2"},
      {"an empty clipboard without append", false, 0, "x1x2"},
  };
  for (const auto& c : cases) {
    clipboard.formats.clear();
    clipboard.formats["image/png"] = "picture";
    if (c.hasText) {
      clipboard.formats["text/plain"] = std::string("old+\0ignored", 12);
    }
    messages.shown.clear();
    EXPECT_EQ(Run({"xN", "", c.append, 2, {"n"}, {"%%count1%d%%"}}), RunOutcome::Succeeded) << c.name;
    EXPECT_EQ(clipboard.formats, (std::map<std::string, std::string>{{"text/plain", c.expected}})) << c.name;
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Results were written to the clipboard"}) << c.name;
    EXPECT_EQ(clipboard.openCount, 0) << c.name;
    ExpectNoTempFiles();
  }
}

TEST_F(DuplicateTest, a_clipboard_that_cannot_take_the_result_is_reported_not_claimed) {
  clipboard.formats["text/plain"] = "old";
  clipboard.failAllocation = true;
  EXPECT_EQ(Run({"x", "", 0, 2, {}, {}}), RunOutcome::Failed);
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"Out of memory."});
  ExpectNoTempFiles();
}

TEST_F(DuplicateTest, output_errors_give_the_report_and_no_success_message) {
  WriteFile(dir.File("plain"), "");
  const struct {
    std::string output;
    std::string report;
  } cases[] = {
      {dir.File("missing/out.txt"), dir.File("missing/out.txt") + " contains an invalid path."},
      {dir.path(), "Access to " + dir.path() + " was denied."},
      {dir.File("plain/out.txt"), dir.File("plain/out.txt") + " contains an invalid path."},
#ifndef _WIN32  // Windows has no device that is always full
      {"/dev/full", "Disk full while accessing /dev/full."},
#endif
  };
  for (const auto& c : cases) {
    messages.shown.clear();
    EXPECT_EQ(Run({"some text", c.output, 0, 3, {}, {}}), RunOutcome::Failed) << c.output;
    EXPECT_EQ(messages.texts(), std::vector<std::string>{c.report}) << c.output;
  }
  ExpectNoTempFiles();
}

TEST_F(DuplicateTest, a_locked_output_keeps_its_bytes) {
  const std::string out = dir.File("held.txt");
  WriteFile(out, "precious");
  {
    const test::HeldFile other(out);
    EXPECT_EQ(Run({"x", out, 0, 3, {}, {}}), RunOutcome::Failed);
  }
  EXPECT_EQ(messages.texts(), std::vector<std::string>{"A sharing violation occurred while accessing " + out + "."});
  EXPECT_EQ(ReadFile(out), "precious");
}

TEST_F(DuplicateTest, clipboard_run_with_an_unusable_temporary_folder_is_reported_once) {
  clipboard.formats["text/plain"] = "keep me";
  test::ScopedEnv missing(test::kTempFolderVariable, dir.File("gone").c_str());
  EXPECT_EQ(Run({"x", "", 1, 2, {}, {}}), RunOutcome::Failed);
  EXPECT_EQ(messages.texts(),
            std::vector<std::string>{test::TempFilePattern(dir.File("gone")) + " contains an invalid path."});
  EXPECT_EQ(clipboard.formats.at("text/plain"), "keep me");
}

TEST_F(DuplicateTest, cancel_stops_at_a_copy_boundary) {
  const std::string out = dir.File("out.txt");
  std::atomic<bool> cancel = false;
  RunControl control;
  control.cancel = &cancel;
  control.onProgress = [&](std::int64_t done, std::uint64_t) {
    if (done >= 8192) {
      cancel = true;
    }
  };
  Job job{"line #\n", out, 0, 1000000, {"#"}, {"%%count%d%%"}};
  DuplicateRun run(job, clipboard, messages);
  ASSERT_TRUE(run.Start());
  run.WriteCopies(control);
  EXPECT_EQ(run.Finish(), RunOutcome::Cancelled);
  EXPECT_EQ(run.copiesWritten(), 8192);
  const std::string bytes = ReadFile(out);
  EXPECT_TRUE(bytes.ends_with("line 8191\n"));
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 8192);
  EXPECT_EQ(messages.texts(),
            std::vector<std::string>{"Duplicate was cancelled. 8192 of 1000000 copies were written to file " + out});
}

TEST_F(DuplicateTest, a_cancelled_clipboard_run_leaves_the_clipboard_alone) {
  clipboard.formats["text/plain"] = "before";
  std::atomic<bool> cancel = true;
  RunControl control;
  control.cancel = &cancel;
  DuplicateRun run({"x", "", 1, 5, {}, {}}, clipboard, messages);
  ASSERT_TRUE(run.Start());
  run.WriteCopies(control);
  EXPECT_EQ(run.Finish(), RunOutcome::Cancelled);
  EXPECT_EQ(clipboard.formats.at("text/plain"), "before");
  EXPECT_TRUE(messages.shown.empty());
  ExpectNoTempFiles();
}

}  // namespace
}  // namespace kelvane
