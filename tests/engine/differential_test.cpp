// The copy generator against a literal transcription of the per-copy algorithm: for every copy,
// the block with ResolveVariableValue applied for each variable in list order.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <random>

#include "engine/copy_generator.h"
#include "engine/duplicate.h"
#include "engine/validation.h"
#include "engine/variables.h"
#include "support/literal_run.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::LiteralRun;

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
    static const std::vector<std::string> pieces = {"a", "b",    "A", "B", "x", " ", "\r\n", "ä", "Ä", "1",
                                                    "%", "\xC3", "ƀ", "Ƀ", "<", ">", "{",    "}", "0", "V"};
    std::string text;
    for (int i = 0; i < length; ++i) {
      text += Any(pieces);
    }
    return text;
  }

  std::string Tag() {
    // Tags that hold digits, with brackets around them, are what counters meet most.
    static const std::vector<std::string> tags = {"a",  "ab", "AB",  "ba",  "aa",    "ä",   "xä",   "NAME",
                                                  "1",  "%",  "bab", "Ƀa",  "{1}",   "{0}", "<V0>", "<V1>",
                                                  "a1", "1b", "0}",  "{10", "<v01>", "1<"};
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
    static const std::vector<std::string> formats = {"%d",   "%03d", "%x",    "%X",   "%#x",  "%.0d", "%",   "%%",
                                                     "a%db", "%+d",  "%5.2f", "{%d}", "<V%d", "%s",   "%hd", "%hhx"};
    // Starts just below where h and hh wrap, so that some copies cross it.
    static const std::vector<std::string> starts = {"", "1", "-2", "9", "10", "a", "32765", "253"};
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

// How the generator builds a job's copies.
enum class Built {
  Laid,      // a fixed layout of text and values
  Windows,   // the layout, with windows around values that may meet later tags searched per copy
  Searched,  // every whole copy searched for every tag
};

std::ostream& operator<<(std::ostream& out, Built built) {
  return out << (built == Built::Laid ? "laid out" : built == Built::Windows ? "windows" : "searched");
}

std::string Generated(const Job& job, Built* built = nullptr) {
  CopyGenerator generator(job);
  std::string out;
  for (int i = 0; i < job.repeatCount; ++i) {
    generator.AppendNextCopy(out);
  }
  if (built != nullptr) {
    *built = !generator.usesLayout()            ? Built::Searched
             : generator.searchedWindows() == 0 ? Built::Laid
                                                : Built::Windows;
  }
  return out;
}

// The copies made in batches into a buffer of room bytes, as a run to a file makes them: a copy that
// does not fit waits for the next batch, and one larger than room gets a buffer of its size.
std::string GeneratedInBatches(const Job& job, size_t room) {
  CopyGenerator generator(job);
  std::string out;
  std::int64_t made = 0;
  while (made < job.repeatCount) {
    std::string buffer(std::max(room, generator.PrepareNextCopy()), '\0');
    out.append(buffer, 0, generator.WriteCopies(buffer.data(), buffer.size(), job.repeatCount - made, made));
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
  std::map<Built, int> ways;
  const int rounds = 60000;
  for (int round = 0; round < rounds; ++round) {
    const Job job = jobs.Next();
    Built built{};
    const std::string generated = Generated(job, &built);
    ++ways[built];
    ASSERT_EQ(generated, LiteralRun(job)) << Describe(job) << "\nbuilt: " << built;
    const auto room = static_cast<size_t>(round % 64);
    ASSERT_EQ(GeneratedInBatches(job, room), generated) << Describe(job) << "\nin batches of " << room << " bytes";
  }
  // Every way of building copies must have been exercised.
  EXPECT_GT(ways[Built::Laid], rounds / 5);
  EXPECT_GT(ways[Built::Windows], rounds / 20);
  EXPECT_GT(ways[Built::Searched], rounds / 50);
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

// Fifty counters tagged <V00> to <V49> on one line: their digits meet the tags' digits, but never
// between the brackets that every tag needs.
Job FiftyNumberedColumns() {
  Job job;
  job.repeatCount = 3;
  for (int j = 0; j < 50; ++j) {
    const std::string tag = std::string("<V") + static_cast<char>('0' + j / 10) + static_cast<char>('0' + j % 10) + ">";
    job.tags.push_back(tag);
    job.values.push_back("%%count" + std::to_string(j * 100) + "%d%%");
    job.blockText += (j == 0 ? "" : ",") + tag;
  }
  job.blockText += "\n";
  return job;
}

std::string FiftyNumberedColumnsOutput() {
  std::string out;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 50; ++j) {
      out += (j == 0 ? "" : ",") + std::to_string(j * 100 + i);
    }
    out += "\n";
  }
  return out;
}

TEST(differential_test, values_that_cannot_form_a_later_tag_where_they_stand_take_the_fast_path) {
  struct Case {
    const char* name;
    Job job;
    std::string expected;
    Built built;
  };
  const Case cases[] = {
      {"a counter before a tag holding a digit",
       {"{0}: {1}\n", "", 0, 3, {"{0}", "{1}"}, {"%%count%d%%", "a\nb\nc"}},
       "0: a\n1: b\n2: c\n",
       Built::Laid},
      {"a zero-padded counter beside bracketed digit tags",
       {"({0},{1},{2})", "", 0, 2, {"{0}", "{1}", "{2}"}, {"%%count1%06d%%", "%%count%d%%", "x\ny"}},
       "(000001,0,x)(000002,1,y)",
       Built::Laid},
      {"hex digits beside a tag of letters that cannot reach them",
       {"[N] FAG", "", 0, 2, {"n", "fag"}, {"%%count250%x%%", "!"}},
       "[fa] !"
       "[fb] !",
       Built::Laid},
      {"fifty numbered columns", FiftyNumberedColumns(), FiftyNumberedColumnsOutput(), Built::Laid},
      // Where a value really can complete a later tag, the text around it is searched per copy.
      {"a counter that completes a tag with the text after it",
       {"<N>ab", "", 0, 3, {"<n>", "1a"}, {"%%count%d%%", "#"}},
       "0ab#b2ab",
       Built::Windows},
      {"a counter that completes a tag with the text before it",
       {"ID<N>", "", 0, 3, {"<n>", "id1"}, {"%%count%d%%", "#"}},
       "ID0#ID2",
       Built::Windows},
      {"a counter inside brackets that form a tag",
       {"{<N>}", "", 0, 3, {"<n>", "{1}"}, {"%%count%d%%", "one"}},
       "{0}one{2}",
       Built::Windows},
      {"list lines that end where a tag begins",
       {"<L>1}", "", 0, 2, {"<L>", "{1}"}, {"a\nb{", "#"}},
       "a1}b#",
       Built::Windows},
      {"two values that form a tag with the text between them",
       {"<N><<N>", "", 0, 3, {"<n>", "0<0"}, {"%%count%d%%", "#"}},
       "#1<12<2",
       Built::Windows},
      {"a window that a later tag widens over the text around it",
       {"b<N>ac", "", 0, 3, {"<n>", "1a", "b#c"}, {"%%count%d%%", "#", "!"}},
       "b0ac!b2ac",
       Built::Windows},
      {"an empty line that joins the text around it into a later tag",
       {"pAq pAq", "", 0, 3, {"a", "pq"}, {"x\n\nz", "#"}},
       "pxq pxq# #pzq pzq",
       Built::Windows},
      {"a value holding a later tag in every copy",
       {"(<NAME>) <id>", "", 0, 2, {"<name>", "<id>"}, {"<id>ann\n<ID>bob", "%%count7%d%%"}},
       "(7ann) 7(8bob) 8",
       Built::Windows},
      // A block that is not valid UTF-8 has no characters to lay out by: every copy is searched.
      {"a block that is not UTF-8",
       {"\xC3<N>", "", 0, 2, {"<n>"}, {"%%count%d%%"}},
       "\xC3"
       "0\xC3"
       "1",
       Built::Searched},
  };
  for (const Case& c : cases) {
    Built built{};
    EXPECT_EQ(Generated(c.job, &built), c.expected) << c.name;
    EXPECT_EQ(LiteralRun(c.job), c.expected) << c.name;
    EXPECT_EQ(built, c.built) << c.name;
  }
}

TEST(differential_test, lists_kept_in_files_or_in_memory_give_the_bytes_their_texts_give) {
  test::TempDir dir;
  MemoryClipboard clipboard;
  test::RecordingMessageBox messages;
  // The shapes a list comes in, then random jobs.
  std::vector<Job> jobs = {
      {"<n>,", "", 0, 3, {"<N>"}, {"a\r\nb\r\nc\r\n"}},                     // CR LF, final break
      {"<n>,", "", 0, 3, {"<N>"}, {"a\r\nb\r\nc"}},                         // no final break
      {"<n>,", "", 0, 2, {"<N>"}, {"a\n"}},                                 // one line and its break
      {"<n>,", "", 0, 3, {"<N>"}, {"%%count7%d%%\r\nb\r\n%%count%03d%%"}},  // counter lines
      {"<n>,", "", 0, 2, {"<N>"}, {"%%count1%02d%%"}},                      // a counter alone
      {"<n>,", "", 0, 2, {"<N>"}, {""}},                                    // empty list
      {"<n>,", "", 0, 3, {"<N>"}, {"\r\n\r\nx\r\n"}},                       // empty lines
      {"<n>,", "", 0, 2, {"<N>"}, {"a\nb\nc\n"}},                           // more lines than copies
  };
  RandomJobs random(13);
  for (int round = 0; round < 400; ++round) {
    jobs.push_back(random.Next());
  }
  for (const Job& job : jobs) {
    Job mapped = job;
    for (size_t j = 0; j < std::min(job.tags.size(), job.values.size()); ++j) {
      const std::string path = dir.File("list" + std::to_string(j));
      test::WriteFile(path, job.values[j]);
      mapped.values[j].clear();
      mapped.valueLists.resize(j + 1);
      mapped.valueLists[j] = std::make_shared<const ValueList>(path);
    }
    const Job inMemory = WithValuesScanned(job);
    for (size_t j = 0; j < std::min(job.tags.size(), job.values.size()); ++j) {
      ASSERT_EQ(inMemory.valueLists[j]->text(), job.values[j]) << Describe(job);
      ASSERT_EQ(inMemory.valueLists[j]->scan(), ScanText(job.values[j])) << Describe(job);
      inMemory.valueLists[j]->Release(0, job.values[j].size());
      inMemory.valueLists[j]->ThrowIfCutShort();
    }
    const std::string expected = LiteralRun(job);
    const std::optional<std::string> lineCount = LineCountError(job.tags, job.values, job.repeatCount);
    ASSERT_EQ(Generated(mapped), expected) << Describe(job);
    ASSERT_EQ(Generated(inMemory), expected) << Describe(job);
    ASSERT_EQ(LineCountError(mapped), lineCount) << Describe(job);
    ASSERT_EQ(LineCountError(inMemory), lineCount) << Describe(job);
    // The clipboard's memory check never asks for more than the result; without counters or
    // windows, exactly that.
    const CopyGenerator generator(inMemory);
    if (const std::optional<std::uint64_t> least = generator.LeastTotalSize(job.repeatCount)) {
      ASSERT_LE(*least, expected.size()) << Describe(job);
      const bool counters = std::any_of(job.values.begin(), job.values.end(),
                                        [](const std::string& v) { return v.find("%%") != v.npos; });
      if (!counters && generator.searchedWindows() == 0) {
        ASSERT_EQ(*least, expected.size()) << Describe(job);
      }
    }
    // A whole run to the clipboard, its memory check included, from the texts the window holds.
    clipboard.formats.clear();
    ASSERT_EQ(RunDuplicate(job.blockText, "", 0, job.repeatCount, job.tags, job.values, clipboard, messages),
              RunOutcome::Succeeded)
        << Describe(job);
    ASSERT_EQ(clipboard.formats["text/plain"], expected) << Describe(job);
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
