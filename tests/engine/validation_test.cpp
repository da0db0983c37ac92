#include "engine/validation.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(repeat_count_test, parses_like_the_dialog_field) {
  const struct {
    std::string text;
    bool accepted;
    int value;
  } cases[] = {
      {"12", true, 12},
      {"  12 \t", true, 12},
      {"+7", true, 7},
      {"0", true, 0},
      {"00", true, 0},
      {"-5", true, -5},
      {"99999999999", true, 2147483647},
      {"-99999999999", true, INT32_MIN},
      {"12a", false, 0},
      {"1.5", false, 0},
      {"0x10", false, 0},
      {"-0", false, 0},
      {"+0", false, 0},
      {"", false, 0},
      {"  ", false, 0},
      {"1 2", false, 0},
      {"-", false, 0},
      {"１２", false, 0},
      {"12\n", false, 0},
      // Only the first 31 characters count.
      {"5" + std::string(30, ' ') + "x", true, 5},
      {"5" + std::string(29, ' ') + "x", false, 0},
  };
  for (const auto& c : cases) {
    int value = 99;
    EXPECT_EQ(ParseRepeatCount(c.text, value), c.accepted) << "[" << c.text << "]";
    EXPECT_EQ(value, c.accepted ? c.value : 99) << "[" << c.text << "]";
  }
  EXPECT_EQ(NotAnIntegerMessage(), "Please enter an integer.");
}

TEST(repeat_count_test, range_message) {
  EXPECT_EQ(RepeatCountRangeError(0), "Please enter an integer between 1 and 2147483647.");
  EXPECT_EQ(RepeatCountRangeError(-5), "Please enter an integer between 1 and 2147483647.");
  EXPECT_EQ(RepeatCountRangeError(1), std::nullopt);
  EXPECT_EQ(RepeatCountRangeError(2147483647), std::nullopt);
}

TEST(line_count_test, first_misfit_multi_line_value_is_reported) {
  const std::vector<std::string> tags = {"ONE", "EMPTY", "THREE", "TWO", "FOUR"};
  const std::vector<std::string> values = {"x", "", "a\r\nb\r\nc\r\n", "a\r\nb", "a\r\nb\r\nc\r\nd"};
  EXPECT_EQ(LineCountError(tags, values, 3), "Variable <TWO> has 2 lines and the repeat value is 3.  Please correct.");
  EXPECT_EQ(LineCountError({"A", "B"}, {"1\n2\n3", "1\n2\n3\n4"}, 4),
            "Variable <A> has 3 lines and the repeat value is 4.  Please correct.");
  EXPECT_EQ(LineCountError({"A", "B"}, {"1\n2\n3"}, 3), std::nullopt);
  // Only the first n = min(tags, values) variables are checked.
  EXPECT_EQ(LineCountError({"A"}, {"1\n2", "1\n2\n3"}, 2), std::nullopt);
}

TEST(empty_tag_test, only_emptiness_is_refused) {
  EXPECT_EQ(EmptyTagError(""), "Please enter a variable name");
  EXPECT_EQ(EmptyTagError(" "), std::nullopt);
}

}  // namespace
}  // namespace kelvane
