// A clipboard run whose result cannot fit in memory is refused before anything is written.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/copy_generator.h"
#include "engine/duplicate.h"
#include "platform/memory.h"
#include "support/literal_run.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::RecordingMessageBox;
using test::ScopedEnv;
using test::TempDir;
using testing::ElementsAre;

TEST(memory_fault_test, a_clipboard_result_larger_than_memory_is_refused_before_anything_is_written) {
  const std::optional<std::uint64_t> available = AvailableMemory();
  if (!available) {
    GTEST_SKIP() << "this system does not say how much memory it has";
  }
  TempDir tmp;
  const ScopedEnv tmpdir(test::kTempFolderVariable, tmp.path().c_str());
  // 1 MiB a copy, two thousand million copies: far beyond any machine, and far beyond any disk
  // the run could fill first if it started writing.
  const std::string block(1 << 20, 'x');
  for (const int append : {0, 1}) {
    MemoryClipboard clipboard;
    clipboard.formats["text/plain"] = "keep me";
    RecordingMessageBox messages;
    EXPECT_EQ(RunDuplicate(block + "<n>", "", append, 2000000000, {"<n>", "<c>"}, {"a\nb", "%%count%d%%"}, clipboard,
                           messages),
              RunOutcome::Failed);
    EXPECT_THAT(messages.texts(), ElementsAre("Out of memory."));
    EXPECT_EQ(clipboard.formats.at("text/plain"), "keep me");
  }
  // A result that fits runs as ever.
  MemoryClipboard clipboard;
  RecordingMessageBox messages;
  EXPECT_EQ(RunDuplicate("x", "", 0, 3, {}, {}, clipboard, messages), RunOutcome::Succeeded);
  EXPECT_EQ(clipboard.formats.at("text/plain"), "xxx");
}

// The size worked out beforehand is the exact size when no counter is used, and never more than it.
TEST(memory_fault_test, the_size_worked_out_beforehand_never_exceeds_the_result) {
  const struct {
    Job job;
    bool exact;
  } cases[] = {
      {{"plain", "", 0, 4, {}, {}}, true},
      {{"a<v>b<v>", "", 0, 5, {"<v>"}, {"one\r\ntwo\nthree"}}, true},
      {{"a<v>b", "", 0, 2, {"<v>"}, {"one\ntwo\nthree\nfour"}}, true},
      {{"<v>|", "", 0, 6, {"<v>"}, {"x\ny\n"}}, true},  // past the last line: the empty line after it
      {{"<v>|<w>", "", 0, 3, {"<v>", "<w>"}, {"const", "p\nq\nr"}}, true},
      {{"<v>|", "", 0, 2, {"<v>"}, {"ab\r\nc\r\n"}}, true},   // every line used, CR LF
      {{"<v>|", "", 0, 5, {"<v>"}, {"\r\n\r\nc\r"}}, true},   // empty lines, a last line ending in CR
      {{"<v>|", "", 0, 2, {"<v>"}, {"a\nbb\nccc\n"}}, true},  // more lines than copies
      {{"#<n>", "", 0, 1000, {"<n>"}, {"%%count%05d%%"}}, false},
      {{"#<n>", "", 0, 7, {"<n>"}, {"a\n%%count%d%%\nbb"}}, false},
  };
  for (const auto& c : cases) {
    const std::optional<std::uint64_t> least = CopyGenerator(c.job).LeastTotalSize(c.job.repeatCount);
    ASSERT_TRUE(least) << c.job.blockText;
    const std::uint64_t actual = test::LiteralRun(c.job).size();
    if (c.exact) {
      EXPECT_EQ(*least, actual) << c.job.blockText;
    } else {
      EXPECT_LE(*least, actual) << c.job.blockText;
      EXPECT_GT(*least, 0U) << c.job.blockText;
    }
  }
}

}  // namespace
}  // namespace kelvane
