#include "engine/counter.h"

#include "engine/utf8.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>

namespace kelvane {
namespace {

TEST(counter_test, counter_expressions_are_recognised_on_the_whole_line) {
  const struct {
    const char* line;
    bool counter;
  } cases[] = {
      {"%%count1%03d%%", true}, {"%%COUNT%d%%", true}, {"%%Count3%d%%", true},
      {"%%count%%", true},      {"%%count", false},    {"%%count%", false},
      {"%%count3%d%", false},   {"%count%d%%", false}, {" %%count%d%%", false},
      {"%%count%d%% ", false},  {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsCounterExpression(c.line), c.counter) << c.line;
  }
}

TEST(counter_test, start_number_reads_like_atoi) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"12", 12}, {"  -7", -7},  {"+5x", 5},        {"x5", 0},
      {"", 0},    {"\t\n 3", 3}, {"4294967297", 1}, {"2147483648", INT_MIN},
      {"- 1", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseStartNumber(c.text), c.value) << c.text;
  }
}

TEST(counter_test, formats_follow_the_rules_we_chose) {
  const struct {
    const char* format;
    std::int32_t value;
    const char* out;
  } cases[] = {
      {"%d", 42, "42"},
      {"%03d", 7, "007"},
      {"%x", 100, "64"},
      {"%#X", 255, "0XFF"},
      {"%5.2d", 3, "   03"},
      {"No. %d of many", 9, "No. 9 of many"},
      {"100%%", 1, "100%"},
      {"%", 1, ""},
      {"%05", 1, ""},  // an unfinished conversion at the end produces nothing
      {"%d%", 1, "1"},
      {"%d and %d", 5, "5 and %d"},  // only the first conversion takes the number
      {"%*d", 5, "%*d"},
      {"%.*d", 5, "%.*d"},
      {"%a", 5, "%a"},
      {"%Z", 5, "%Z"},
      {"%I64d", 5, "5"},
      {"%lld", -5, "-5"},
      {"%ld", 70000, "70000"},  // other length modifiers are ignored: the number is always 32 bits
      {"%zu", -1, "4294967295"},
      {"%I32x", 65536, "10000"},
      {"%hd", 65535, "-1"},  // h and hh narrow it first, as printf does
      {"%hd", 70000, "4464"},
      {"%hu", -1, "65535"},
      {"%05hd", 32768, "-32768"},
      {"%hhx", 255, "ff"},
      {"%hhd", 200, "-56"},
      {"%#hhX", -1, "0XFF"},
      {"%hho", 256, "0"},
      {"%hhu", -129, "127"},
      {"%5000d", 5, "%5000d"},  // beyond the bound: literal text
      {"%4096d", 5, nullptr},   // at the bound: formatted
      {"%u", -1, "4294967295"},
      {"%o", 8, "10"},
      {"%#o", 0, "0"},
      {"%.0d", 0, ""},
      {"%+d", 0, "+0"},
      {"% d", 3, " 3"},
      {"%-4d|", 3, "3   |"},
      {"%-04d|", 3, "3   |"},
      {"%08.3d", -3, "    -003"},
      {"%d", INT_MIN, "-2147483648"},
  };
  for (const auto& c : cases) {
    const std::string out = IntegerFormat(c.format).Format(c.value);
    if (c.out == nullptr) {
      EXPECT_EQ(out, std::string(4095, ' ') + "5") << c.format;
    } else {
      EXPECT_EQ(out, c.out) << c.format;
    }
  }
}

// Every format that both we and printf accept must come out as printf writes it.
TEST(counter_test, matches_printf_on_random_integer_formats) {
#ifdef _WIN32
  GTEST_SKIP() << "mingw-w64's printf departs from the C standard (' ' and '+' on unsigned conversions, "
                  "\"%#.0o\" of 0 gives nothing); the counter is held to glibc's on Linux";
#endif
  std::mt19937 random(20261207);
  const std::string flags = "-+ #0";
  const std::string letters = "diouxX";
  const std::int32_t specials[] = {0, 1, -1, 7, 255, INT_MAX, INT_MIN, 1000000, -65536};
  for (int round = 0; round < 20000; ++round) {
    std::string format = random() % 3 == 0 ? "<" : "";
    format += '%';
    for (unsigned i = random() % 4; i > 0; --i) {
      format += flags[random() % flags.size()];
    }
    if (random() % 2 != 0) {
      format += std::to_string(random() % 40);
    }
    if (random() % 2 != 0) {
      format += '.';
      if (random() % 3 != 0) {
        format += std::to_string(random() % 20);
      }
    }
    // printf takes an int for h and hh too, then narrows it.
    const char* lengths[] = {"", "", "h", "hh"};
    format += lengths[random() % std::size(lengths)];
    format += letters[random() % letters.size()];
    if (random() % 3 == 0) {
      format += ">%%";
    }
    const std::int32_t value =
        random() % 4 == 0 ? specials[random() % std::size(specials)] : static_cast<std::int32_t>(random());
    char expected[256];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(expected, sizeof expected, format.c_str(), value);
#pragma GCC diagnostic pop
    ASSERT_EQ(IntegerFormat(format).Format(value), expected) << format << " with " << value;
  }
}

TEST(counter_test, counter_start_and_wraparound) {
  EXPECT_EQ(Counter("%%count1%03d%%").Format(0), "001");
  EXPECT_EQ(Counter("%%count-1%d%%").Format(0), "-1");
  EXPECT_EQ(Counter("%%count2147483647%d%%").Format(1), "-2147483648");
  EXPECT_EQ(Counter("%%count5%%").Format(2), "2");
  EXPECT_EQ(Counter("%%count%5.2f%%").Format(4), "   04");
  EXPECT_EQ(Counter("%%count%d pcs%%").Format(0), "0 ddd");
  EXPECT_EQ(Counter("%%count%s%%").Format(3), "3");
  EXPECT_EQ(Counter("%%count%%%").Format(3), "");
  EXPECT_EQ(Counter("%%count%%%%").Format(3), "%");
}

TEST(counter_test, possible_bytes_cover_every_output) {
  const char* formats[] = {"%d", "<%#x>", "%+08X", "%o", "é%u", "%-5i"};
  const std::int32_t values[] = {0, 1, -1, 255, INT_MAX, INT_MIN, 48879};
  for (const char* format : formats) {
    const IntegerFormat f(format);
    for (const std::int32_t value : values) {
      const std::string upper = UpperCase(f.Format(value));
      for (const char c : upper) {
        EXPECT_TRUE(f.possibleUpperBytes()[static_cast<unsigned char>(c)]) << format << " " << value << " " << c;
      }
    }
  }
  EXPECT_TRUE(IntegerFormat("%.0d").canBeEmpty());
  EXPECT_TRUE(IntegerFormat("%").canBeEmpty());
  EXPECT_FALSE(IntegerFormat("%d").canBeEmpty());
  EXPECT_FALSE(IntegerFormat("%.0d!").canBeEmpty());
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// A counter asked for copy after copy counts its last text on; every text must still be exactly
// what formatting the number afresh gives, across carries, signs and the 32-bit wrap.
TEST(counter_test, counting_on_matches_formatting_afresh) {
  const char* formats[] = {"%d", "%06d", "%+d", "% 5d",    "%-4d|", "%.3d",  "%8.3d",
                           "%u", "%x",   "%#o", "%d-th%%", "%hd",   "%05hu", "%hhd"};
  const struct {
    const char* start;
    std::int32_t first, count;
  } ranges[] = {{"", 0, 1200},   {"-15", 0, 40},   {"95", 0, 20},    {"2147483600", 0, 100},
                {"", 99990, 20}, {"32760", 0, 20}, {"65530", 0, 20}, {"120", 0, 20}};
  for (const char* format : formats) {
    for (const auto& range : ranges) {
      const Counter counter(std::string("%%count") + range.start + format + "%%");
      const IntegerFormat fresh{std::string_view(format)};
      const std::int32_t start = ParseStartNumber(range.start);
      for (std::int32_t i = range.first; i < range.first + range.count; ++i) {
        const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(start) + static_cast<std::uint32_t>(i));
        ASSERT_EQ(counter.Format(i), fresh.Format(value)) << format << " start " << range.start << " copy " << i;
      }
    }
  }
}

}  // namespace
}  // namespace kelvane
