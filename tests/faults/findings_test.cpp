// What fuzzing found, guarded where a user sees it: in the bytes that Duplicate writes.

#include <gtest/gtest.h>

#include "engine/duplicate.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ReadFile;
using test::RecordingMessageBox;
using test::TempDir;

// A counter that formats to nothing in copy 0 joins the text on its either side, so a later tag can
// match across it there. The + and blank flags write a sign for d and i only, so "%+.o" is such a
// counter, and the copy generator once took it for one that never is empty.
TEST(fuzz_finding_test, a_counter_empty_in_some_copies_lets_a_later_tag_match_across_it) {
  const struct {
    const char* format;
    const char* expected;
  } cases[] = {
      {"%+.o", "R|a1b|a2b|"}, {"% .x", "R|a1b|a2b|"},     {"%+.u", "R|a1b|a2b|"},     {"% +.X", "R|a1b|a2b|"},
      {"%.d", "R|a1b|a2b|"},  {"%+.d", "a+b|a+1b|a+2b|"}, {"% .i", "a b|a 1b|a 2b|"}, {"%#.o", "a0b|a01b|a02b|"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    MemoryClipboard clipboard;
    RecordingMessageBox messages;
    const std::string out = dir.File("out.txt");
    ASSERT_EQ(RunDuplicate("aXb|", out, 0, 3, {"X", "ab"}, {"%%count" + std::string(c.format) + "%%", "R"}, clipboard,
                           messages),
              RunOutcome::Succeeded)
        << c.format;
    EXPECT_EQ(ReadFile(out), c.expected) << c.format;
  }
}

}  // namespace
}  // namespace kelvane
