#include "platform/message_text.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(message_text_test, printf_style_filling) {
  EXPECT_EQ(FormatText("Variable <%s> has %d lines and the repeat value is %d.",
                       {"N%sAME", std::int64_t{2}, std::int64_t{3}}),
            "Variable <N%sAME> has 2 lines and the repeat value is 3.");
  EXPECT_EQ(FormatText("100%% of %s", {"it"}), "100% of it");
  EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and %s");  // a missing argument is left as written
  EXPECT_EQ(FormatText("ends in %", {}), "ends in %");
}

TEST(message_text_test, framework_style_filling) {
  EXPECT_EQ(FormatFrameworkText("Please enter an integer between %1 and %2.", {"1", "2147483647"}),
            "Please enter an integer between 1 and 2147483647.");
  EXPECT_EQ(FormatFrameworkText("%1 was not found.", {"/tmp/%2.txt"}), "/tmp/%2.txt was not found.");
  EXPECT_EQ(FormatFrameworkText("%2-%1", {"a"}), "-a");
}

}  // namespace
}  // namespace kelvane
