#include "engine/variables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/line_feeds.h"
#include "engine/utf8.h"

namespace kelvane {
namespace {

std::string Resolve(const std::string& block, int copyIndex, const std::string& tag, const std::string& value) {
  std::string copy = block;
  ResolveVariableValue(copy, copyIndex, tag, value);
  return copy;
}

TEST(resolve_variable_value_test, worked_examples_for_the_first_three_copies) {
  const struct {
    std::string value;
    std::string copies[3];
  } cases[] = {
      {"red", {"red", "red", "red"}},
      {"a\r\nb\r\nc", {"a", "b", "c"}},
      {"%%count1%03d%%", {"001", "002", "003"}},
      {"%%count%d%%", {"0", "1", "2"}},
      {"%%count100%x%%", {"64", "65", "66"}},
      {"%%Count3%d%%", {"3", "4", "5"}},
      {"%%count-1%d%%", {"-1", "0", "1"}},
      {"%%count%%", {"0", "1", "2"}},
      {"%%count5%%", {"0", "1", "2"}},
      {"x\r\n", {"x", "", ""}},
      {"%%count3%d%", {"%%count3%d%", "%%count3%d%", "%%count3%d%"}},
      {"%%count%5.2f%%", {"   00", "   01", "   02"}},
      {"%%count%%%", {"", "", ""}},
      {"%%count%%%%", {"%", "%", "%"}},
      {"a\r\n%%count7%d%%\r\nc", {"a", "8", "c"}},  // a counter line inside a list
      {"one\r", {"one\r", "one\r", "one\r"}},       // a single line keeps its carriage return
      {"a\nb", {"a", "b", "b"}},                    // past the last line feed: the last line
      {"", {"", "", ""}},
  };
  for (const auto& c : cases) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Resolve("[TAG]", i, "tag", c.value), "[" + c.copies[i] + "]") << c.value << " copy " << i;
    }
  }
}

TEST(replace_no_case_test, replaces_every_occurrence_in_any_case) {
  const struct {
    std::string text, tag, replacement, result;
  } cases[] = {
      {"NAME, Name and name", "nAmE", "Bo", "Bo, Bo and Bo"},
      {"Dear NAME.", "NAME", "NAME NAME", "Dear NAME NAME."},  // never expanded again
      {"aaa", "aa", "b", "ba"},                                // the search resumes after a match
      {"abc", "", "x", "abc"},                                 // an empty tag does nothing
      {"abc", "abcd", "x", "abc"},
      {"Grüße, GRÜSSE, GRÜẞE", "grüße", "hi", "hi, GRÜSSE, GRÜẞE"},
      {"Äpfel äpfel", "ÄPFEL", "x", "x x"},
      {"ÉCOLE école", "éCOLE", "y", "y y"},
      {"Σ σ ς", "σ", "s", "s s s"},
      {"ı I i", "I", "_", "ı _ _"},  // dotless i upper-cases to one byte: left alone
      {"ﬀ FF", "ff", "x", "ﬀ x"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    ReplaceNoCase(text, c.tag, c.replacement);
    EXPECT_EQ(text, c.result) << c.text << " / " << c.tag;
  }
}

TEST(replace_no_case_test, matches_never_split_a_character_and_invalid_bytes_match_only_themselves) {
  const struct {
    std::string text, tag, result;
  } cases[] = {
      {"\xC3\xA4", "\xC3", "\xC3\xA4"},  // the first byte of ä is not a character
      {"\xC3\xA4", "\xA4", "\xC3\xA4"},  // nor is its second
      {"\xC3"
       "a",
       "\xC3", "#a"},                         // a stray lead byte is one of its own
      {"\xC3\xC3\xA4", "\xC3\xA4", "\xC3#"},  // ä after a stray byte still matches
      {"\xFF\xFE", "\xFF", "#\xFE"},
      {"x\xE2\x82\xACy", "\xE2\x82", "x\xE2\x82\xACy"},  // part of the euro sign
      {"\xE2\x82"
       "a",
       "\xE2\x82", "#a"},                     // a cut-off sequence is bytes of their own
      {"\xED\xA0\x80", "\xED", "#\xA0\x80"},  // a surrogate is not a character
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    ReplaceNoCase(text, c.tag, "#");
    EXPECT_EQ(text, c.result);
  }
}

TEST(utf8_test, upper_casing_keeps_length_and_boundaries) {
  const std::string samples[] = {"abcÄäöüßẞσςǅǆ", "\xC3(\xF0\x9F\x98\x80\xE2\x82", "ꞵ𐐨𝔞",
                                 std::string("\0a\x80", 3)};
  for (const std::string& sample : samples) {
    const std::string upper = UpperCase(sample);
    ASSERT_EQ(upper.size(), sample.size());
    for (size_t pos = 0; pos <= sample.size(); ++pos) {
      EXPECT_EQ(IsCharBoundary(upper, pos), IsCharBoundary(sample, pos)) << sample << " at " << pos;
    }
  }
  EXPECT_EQ(UpperCase("ǆ𐐨σ"), "Ǆ𐐀Σ");
  EXPECT_TRUE(IsValidUtf8("Grüße 😀"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(count_lines_test, a_final_line_break_opens_no_line) {
  const struct {
    std::string text;
    int lines;
  } cases[] = {
      {"", 0}, {"a", 1}, {"a\r\nb", 2}, {"a\r\nb\r\n", 2}, {"\r\n", 1}, {"\n\n", 2}, {"a\n\nb", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountLines(c.text), c.lines) << c.text;
  }
}

TEST(count_lines_test, finds_and_counts_every_line_feed_among_bytes_that_resemble_one) {
  // Long texts are counted a word at a time; bytes one bit away from a line feed must not count.
  const std::string alphabet = std::string("\n\x0B\x8A\x09\x0A\xFF\x00xA", 9);
  std::mt19937 random(5);
  std::string text;
  for (int i = 0; i < 999; ++i) {
    text += alphabet[random() % alphabet.size()];
    const std::string prefix = text + "z";
    ASSERT_EQ(CountLines(prefix), std::count(prefix.begin(), prefix.end(), '\n') + 1) << i;
  }
  for (size_t from = 0; from <= text.size(); ++from) {
    ASSERT_EQ(FindLineFeed(text, from), text.find('\n', from)) << from;
  }
}

}  // namespace
}  // namespace kelvane
