// The copy generator against a literal transcription of the per-copy algorithm: for every copy,
// the block with ResolveVariableValue applied for each variable in list order.

#include <gtest/gtest.h>

#include <random>

#include "engine/copy_generator.h"
#include "engine/duplicate.h"
#include "engine/variables.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

std::string LiteralRun(const Job& job) {
  std::string out;
  const size_t n = std::min(job.tags.size(), job.values.size());
  for (int i = 0; i < job.repeatCount; ++i) {
    std::string copy = job.blockText;
    for (size_t j = 0; j < n; ++j) {
      ResolveVariableValue(copy, i, job.tags[j], job.values[j]);
    }
    out += copy;
  }
  return out;
}

class RandomJobs {
 public:
  explicit RandomJobs(unsigned seed) : random_(seed) {}

  Job Next() {
    Job job;
    job.repeatCount = Pick(1, 7);
    const int variables = Pick(0, 4);
    for (int j = 0; j < variables; ++j) {
      job.tags.push_back(Tag());
    }
    for (int j = 0; j < variables + Pick(-1, 1) && j >= 0; ++j) {
      job.values.push_back(Value(job));
    }
    for (int k = Pick(0, 8); k > 0; --k) {
      job.blockText += Pick(0, 2) == 0 || job.tags.empty() ? Text(Pick(0, 4)) : Cased(Any(job.tags));
    }
    return job;
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  template <typename T>
  const T& Any(const std::vector<T>& items) {
    return items[static_cast<size_t>(Pick(0, static_cast<int>(items.size()) - 1))];
  }

  // Small alphabets make tags overlap, repeat and appear across inserted text.
  std::string Text(int length) {
    static const std::vector<std::string> pieces = {"a", "b", "A", "B", "x",    " ", "\r\n",
                                                    "ä", "Ä", "1", "%", "\xC3", "ƀ", "Ƀ"};
    std::string text;
    for (int i = 0; i < length; ++i) {
      text += Any(pieces);
    }
    return text;
  }

  std::string Tag() {
    static const std::vector<std::string> tags = {"a",  "ab",   "AB", "ba", "aa",  "ä",
                                                  "xä", "NAME", "1",  "%",  "bab", "Ƀa"};
    return Any(tags);
  }

  std::string Cased(const std::string& tag) {
    std::string out;
    for (const char c : tag) {
      out += Pick(0, 1) != 0 && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    return out;
  }

  std::string Counter() {
    static const std::vector<std::string> formats = {"%d", "%03d", "%x",   "%X",  "%#x",   "%.0d",
                                                     "%",  "%%",   "a%db", "%+d", "%5.2f", "%s"};
    static const std::vector<std::string> starts = {"", "1", "-2", "9", "10", "a"};
    return "%%count" + Any(starts) + Any(formats) + "%%";
  }

  std::string Line(const Job& job) {
    switch (Pick(0, 4)) {
      case 0: return Counter();
      case 1: return job.tags.empty() ? Text(1) : Cased(Any(job.tags)) + Text(Pick(0, 1));
      case 2: return "";
      default: return Text(Pick(1, 3));
    }
  }

  std::string Value(const Job& job) {
    const int lines = Pick(0, 2) == 0 ? 1 : Pick(2, job.repeatCount + 1);
    const std::string lineBreak = Pick(0, 1) != 0 ? "\r\n" : "\n";
    std::string value;
    for (int k = 0; k < lines; ++k) {
      value += (k > 0 ? lineBreak : "") + Line(job);
    }
    if (lines > 1 && Pick(0, 1) != 0) {
      value += lineBreak;
    }
    return value;
  }

  std::mt19937 random_;
};

std::string Generated(const Job& job, bool* usedLayout = nullptr) {
  CopyGenerator generator(job);
  std::string out;
  for (int i = 0; i < job.repeatCount; ++i) {
    generator.AppendNextCopy(out);
  }
  if (usedLayout != nullptr) {
    *usedLayout = generator.usesLayout();
  }
  return out;
}

std::string Describe(const Job& job) {
  std::string text = "block [" + job.blockText + "] x" + std::to_string(job.repeatCount);
  for (size_t j = 0; j < std::max(job.tags.size(), job.values.size()); ++j) {
    text += "\n  " + (j < job.tags.size() ? "[" + job.tags[j] + "]" : "-") + " = " +
            (j < job.values.size() ? "[" + job.values[j] + "]" : "-");
  }
  return text;
}

TEST(differential_test, generator_matches_the_literal_algorithm_on_random_jobs) {
  RandomJobs jobs(7);
  int layouts = 0;
  const int rounds = 60000;
  for (int round = 0; round < rounds; ++round) {
    const Job job = jobs.Next();
    bool usedLayout = false;
    const std::string generated = Generated(job, &usedLayout);
    layouts += usedLayout ? 1 : 0;
    ASSERT_EQ(generated, LiteralRun(job)) << Describe(job) << "\nlayout: " << usedLayout;
  }
  // Both ways of building copies must have been exercised.
  EXPECT_GT(layouts, rounds / 5);
  EXPECT_LT(layouts, rounds * 19 / 20);
}

TEST(differential_test, hand_picked_cases_that_defeat_a_naive_layout) {
  const Job jobs[] = {
      // B's tag appears only once A's value is in: across the boundary of inserted text.
      {"xA", "", 0, 2, {"a", "xb"}, {"b\nB", "!"}},
      // An empty value joins its neighbours into a later tag.
      {"pAq", "", 0, 3, {"a", "pq"}, {"\nz\n", "#"}},
      // A counter whose digits form a later tag.
      {"N", "", 0, 12, {"n", "1"}, {"%%count%d%%", "one"}},
      // A constant holding a later tag is searched like literal text.
      {"C", "", 0, 2, {"c", "d"}, {"dd", "%%count%d%%"}},
      // Hex digits meet a tag made of letters.
      {"H-H", "", 0, 20, {"h", "fab"}, {"%%count250%x%%", "!"}},
      // Upper-casing changes the lead byte of a letter inside a value, which then starts a later tag.
      {"A", "", 0, 2, {"a", "Ƀb"}, {"zƀbz\nq", "!"}},
      // Overlapping tags and a tag inside its own value.
      {"aaaa", "", 0, 2, {"aa", "a"}, {"a\naaa", "b"}},
  };
  for (const Job& job : jobs) {
    EXPECT_EQ(Generated(job), LiteralRun(job)) << Describe(job);
  }
}

TEST(differential_test, run_duplicate_writes_what_the_literal_algorithm_builds) {
  test::TempDir dir;
  test::RecordingMessageBox messages;
  MemoryClipboard clipboard;
  RandomJobs jobs(11);
  for (int round = 0; round < 300; ++round) {
    Job job = jobs.Next();
    job.outputFile = dir.File("out.txt");
    ASSERT_EQ(
        RunDuplicate(job.blockText, job.outputFile, 0, job.repeatCount, job.tags, job.values, clipboard, messages),
        RunOutcome::Succeeded);
    ASSERT_EQ(test::ReadFile(job.outputFile), LiteralRun(job)) << Describe(job);
  }
}

}  // namespace
}  // namespace kelvane
