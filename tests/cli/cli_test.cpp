// kelvane-cli as a user runs it: arguments in; bytes, messages and exit status out.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/test_support.h"

namespace {

using kelvane::test::CliResult;
using kelvane::test::ReadFile;
using kelvane::test::RunCli;
using kelvane::test::ScopedEnv;
using kelvane::test::TempDir;
using kelvane::test::WriteFile;

#ifdef _WIN32
constexpr const char* kNullDevice = "NUL";
// The saved job is kept in the real registry, shared by every test that runs in the Wine prefix, so
// no test can know that nothing is saved, and the bytes of the settings file exist only elsewhere.
constexpr const char* kSettingsInRegistry =
    "on Windows the job is saved in the registry shared by all tests, not in a settings file of the test's own";
#define SKIP_WHERE_SETTINGS_ARE_SHARED() GTEST_SKIP() << kSettingsInRegistry
#else
constexpr const char* kNullDevice = "/dev/null";
#define SKIP_WHERE_SETTINGS_ARE_SHARED() static_cast<void>(0)
#endif

TEST(cli_test, writes_the_copies_to_standard_output) {
  const CliResult r = RunCli(
      {"--text", "Hi NAME #N\n", "--repeat", " 3 ", "--var", "name=Ann\r\nBob\r\nCy", "--var", "#n=%%count1%03d%%"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Hi Ann 001\nHi Bob 002\nHi Cy 003\n");
  EXPECT_EQ(r.err, "");
}

TEST(cli_test, variables_from_files_and_text_from_standard_input_keep_their_order) {
  TempDir dir;
  WriteFile(dir.File("names"), "Ann\nBob\n");
  const CliResult r =
      RunCli({"--text-file", "-", "--repeat", "2", "--var-file", "A=" + dir.File("names"), "--var", "ANN=x=y"}, "A|");
  EXPECT_EQ(r.status, 0) << r.err;
  // A's value inserts "Ann", which the later variable ANN then replaces by "x=y".
  EXPECT_EQ(r.out, "x=y|Bob|");
}

TEST(cli_test, output_file_append_and_silence_on_success) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  WriteFile(out, "old\n");
  CliResult r = RunCli({"--text", "new\n", "--repeat", "2", "--output", out, "--append"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(ReadFile(out), "old\nnew\nnew\n");
  r = RunCli({"--text", "x", "--output", out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(out), "x");
}

TEST(cli_test, invalid_input_prints_the_dialog_message_and_exits_2) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--text", "x", "--repeat", "12a"}, "kelvane-cli: Please enter an integer.\n"},
      {{"--text", "x", "--repeat", "-0"}, "kelvane-cli: Please enter an integer.\n"},
      {{"--text", "x", "--repeat", "0"}, "kelvane-cli: Please enter an integer between 1 and 2147483647.\n"},
      {{"--text", "x", "--repeat", "3", "--var", "T=a\nb"},
       "kelvane-cli: Variable <T> has 2 lines and the repeat value is 3.  Please correct.\n"},
      {{"--text", "x", "--var", "=v"}, "kelvane-cli: Please enter a variable name\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 2) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

// Usage errors say what is wrong in one line and where to look, as GNU tools do.
TEST(cli_test, usage_errors_name_the_cause_in_one_line_and_exit_2) {
  const std::string hint = "Try 'kelvane-cli --help' for more information.\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, "kelvane-cli: one of --text, --text-file and --saved is needed\n"},
      {{"--text", "x", "--bogus"}, "kelvane-cli: unknown option '--bogus'\n"},
      {{"-t", "x", "-q"}, "kelvane-cli: unknown option '-q'\n"},
      {{"--text", "x", "stray"}, "kelvane-cli: unexpected argument 'stray' (quote a value that holds blanks)\n"},
      {{"--text", "x", "--", "-n"}, "kelvane-cli: unexpected argument '-n' (quote a value that holds blanks)\n"},
      {{"--text"}, "kelvane-cli: option '--text' needs a value (TEXT)\n"},
      {{"-t", "x", "-n"}, "kelvane-cli: option '-n' needs a value (N)\n"},
      {{"--text", "x", "--var", "novalue"}, "kelvane-cli: --var needs TAG=VALUE, not 'novalue'\n"},
      {{"--text", "x", "--var-file", "novalue"}, "kelvane-cli: --var-file needs TAG=FILE, not 'novalue'\n"},
      {{"--text", "x", "--text-file", "y"}, "kelvane-cli: --text and --text-file cannot be used together\n"},
      {{"--text", "x", "--append=maybe"}, "kelvane-cli: option '--append' takes true or false, not 'maybe'\n"},
      {{"--version=1"}, "kelvane-cli: option '--version' takes no value\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 2) << c.err;
    EXPECT_EQ(r.err, c.err + hint);
    EXPECT_EQ(r.out, "");
  }
}

TEST(cli_test, file_errors_exit_1) {
  TempDir dir;
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--text", "x", "--output", dir.File("no/out.txt")},
       "kelvane-cli: " + dir.File("no/out.txt") + " contains an invalid path.\n"},
      {{"--text", "x", "--output", dir.path()}, "kelvane-cli: Access to " + dir.path() + " was denied.\n"},
      {{"--text-file", dir.File("absent")}, "kelvane-cli: " + dir.File("absent") + " was not found.\n"},
      {{"--text", "x", "--var-file", "T=" + dir.File("absent")},
       "kelvane-cli: " + dir.File("absent") + " was not found.\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(cli_test, help_names_every_option_with_its_placeholder_and_version_names_the_program) {
  for (const char* flag : {"--help", "-h"}) {
    const CliResult help = RunCli({"--text", "x", flag, "--bogus"});  // help ends the parse where it stands
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: kelvane-cli [OPTION]... (--text TEXT | --text-file FILE | --saved)\n", 0), 0U)
        << help.out;
    for (const char* line :
         {"\n  -t, --text TEXT ", "\n  -f, --text-file FILE ", "\n  -n, --repeat N ", "\n  -v, --var TAG=VALUE ",
          "\n      --var-file TAG=FILE ", "\n  -o, --output FILE ", "\n  -a, --append ", "\n      --saved ",
          "\n      --save ", "\n  -h, --help ", "\n      --version "}) {
      EXPECT_NE(help.out.find(line), std::string::npos) << line;
    }
    // What a parser library would add: types, group headings, option names in capitals.
    for (const char* clutter : {"TEXT:", "[Option", "REQUIRED", "Excludes", "OPTIONS:", ":INT", "{"}) {
      EXPECT_EQ(help.out.find(clutter), std::string::npos) << clutter;
    }
    // The statuses of a stopped run, as the system stops one.
#ifdef _WIN32
    EXPECT_NE(help.out.find(", 130 when stopped\nby Ctrl+C, Ctrl+Break or closing the console (the"),
              std::string::npos);
#else
    EXPECT_NE(help.out.find(", 130 or 143 when\ninterrupted or terminated (the"), std::string::npos);
#endif
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 80U) << line;
    }
  }
  const CliResult version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kelvane-cli ", 0), 0U);
}

// Short options are the long ones, and "-n3" and "-an3" read as getopt reads them.
TEST(cli_test, short_options_do_what_their_long_forms_do) {
  TempDir dir;
  WriteFile(dir.File("block"), "<N>.");
  const std::string out = dir.File("out.txt");
  const struct {
    std::vector<std::string> args;
    std::string out, file;
  } cases[] = {
      {{"-t", "<N>.", "-n", "3", "-v", "<N>=%%count1%d%%"}, "1.2.3.", ""},
      {{"-t<N>.", "-n3", "-v<N>=a\nb\nc"}, "a.b.c.", ""},
      {{"-f", dir.File("block"), "-n", "2", "-v", "<N>=z", "-o", out}, "", "z.z."},
      {{"-f", dir.File("block"), "-an2", "-v", "<N>=y", "-o", out}, "", "z.z.y.y."},
  };
  for (const auto& c : cases) {
    const CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (!c.file.empty()) {
      EXPECT_EQ(ReadFile(out), c.file);
    }
  }
}

// Runs the test's child processes in a folder of its own, so that a file the program should not
// create shows up there.
class cli_folder_test : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_.path());
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  TempDir folder_;
  std::filesystem::path previous_;
  TempDir home_;
  ScopedEnv config_{"XDG_CONFIG_HOME", home_.path().c_str()};
};

// "--name=" is an empty value, never the argument after it.
TEST_F(cli_folder_test, every_option_takes_its_value_after_an_equals_sign_and_nothing_after_it_is_empty) {
  WriteFile("block", "<V>|");
  WriteFile("values", "a\nb\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"--text=<V>|", "--repeat=2", "--var=<V>=x=y"}, 0, "x=y|x=y|", ""},
      {{"--text-file=block", "--repeat=2", "--var-file=<V>=values"}, 0, "a|b|", ""},
      {{"--text=hello", "--output=", "--append"}, 0, "hello", ""},
      {{"--text=", "--repeat=3"}, 0, "", ""},
      {{"--text=x", "--var=<V>="}, 0, "x", ""},
      {{"--text=x", "--append=false"}, 0, "x", ""},
      {{"--text=x", "--append=true", "--save=false", "--saved=false"}, 0, "x", ""},
      {{"--text=x", "--repeat="}, 2, "", "kelvane-cli: Please enter an integer.\n"},
      {{"--text-file="}, 1, "", "kelvane-cli: an unnamed file contains an invalid path.\n"},
      {{"--text=x", "--var-file=T="}, 1, "", "kelvane-cli: an unnamed file contains an invalid path.\n"},
      {{"--text=x", "--var="},
       2,
       "",
       "kelvane-cli: --var needs TAG=VALUE, not ''\nTry 'kelvane-cli --help' for more information.\n"},
      {{"--text=x", "--var-file="},
       2,
       "",
       "kelvane-cli: --var-file needs TAG=FILE, not ''\nTry 'kelvane-cli --help' for more information.\n"},
      {{"--text=x", "--append="},
       2,
       "",
       "kelvane-cli: option '--append' takes true or false, not ''\nTry 'kelvane-cli --help' for more information.\n"},
      {{"--text=x", "--save="},
       2,
       "",
       "kelvane-cli: option '--save' takes true or false, not ''\nTry 'kelvane-cli --help' for more information.\n"},
      {{"--saved="},
       2,
       "",
       "kelvane-cli: option '--saved' takes true or false, not ''\nTry 'kelvane-cli --help' for more information.\n"},
      {{"--help="},
       2,
       "",
       "kelvane-cli: option '--help' takes no value\nTry 'kelvane-cli --help' for more information.\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << ' ' << r.err;
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
  }
  // Nothing was created on the way: no file named after an option, no settings.
  EXPECT_EQ(kelvane::test::ListDir(folder_.path()), (std::vector<std::string>{"block", "values"}));
  EXPECT_EQ(kelvane::test::ListDir(home_.path()), std::vector<std::string>{});
}

// The window takes a number beyond 32 bits as the nearest limit; the command line refuses it.
TEST_F(cli_folder_test, a_repeat_count_beyond_the_range_is_refused_and_nothing_is_written) {
  for (const char* repeat : {"3000000000", "2147483648", " +0002147483648 ", "99999999999", "-3000000000",
                             "123456789012345678901234567890"}) {
    const CliResult r = RunCli({"--text", "x", "--repeat", repeat, "--output", "out.txt"});
    EXPECT_EQ(r.status, 2) << repeat;
    EXPECT_EQ(r.err, "kelvane-cli: Please enter an integer between 1 and 2147483647.\n") << repeat;
    EXPECT_FALSE(kelvane::test::Exists("out.txt")) << repeat;
  }
  // The largest count is a count like any other: here it fails only on the variable's line count.
  const CliResult r = RunCli({"--text", "x", "--repeat", "002147483647", "--var", "x=a\nb", "-o", "out.txt"});
  EXPECT_EQ(r.err, "kelvane-cli: Variable <x> has 2 lines and the repeat value is 2147483647.  Please correct.\n");
}

TEST_F(cli_folder_test, a_dash_for_the_output_is_standard_output) {
  CliResult r = RunCli({"--text", "x\n", "--repeat", "2", "--output", "-"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "x\nx\n");
  r = RunCli({"-t", "y", "-o-", "-a"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "y");
  EXPECT_EQ(kelvane::test::ListDir(folder_.path()), std::vector<std::string>{});
}

TEST_F(cli_folder_test, saved_with_nothing_saved_says_so_and_exits_2) {
  SKIP_WHERE_SETTINGS_ARE_SHARED();
  const std::string file = home_.File("Orvalle Software Inc./Kelvane.reg");
  const std::string err =
      "kelvane-cli: no job is saved in " + file + "; save one with --save or with Kelvane's Close button\n";
  CliResult r = RunCli({"--saved"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, err);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(kelvane::test::ListDir(home_.path()), std::vector<std::string>{});  // looking created nothing
  // A settings file that holds other programs' keys only holds no job either.
  std::filesystem::create_directories(home_.File("Orvalle Software Inc."));
  WriteFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"x\"=\"y\"\r\n\r\n");
  r = RunCli({"--saved", "--text", "given"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, err);
}

// Kelvane, started from another folder, must find the file the command line wrote.
TEST_F(cli_folder_test, save_stores_the_output_file_as_an_absolute_path) {
  SKIP_WHERE_SETTINGS_ARE_SHARED();
  const std::string settings = home_.File("Orvalle Software Inc./Kelvane.reg");
  const struct {
    std::string output, stored;
  } cases[] = {
      {"out.txt", folder_.File("out.txt")},
      {"./sub/./out.txt", folder_.File("sub/out.txt")},
      {folder_.File("abs.txt"), folder_.File("abs.txt")},
      {"-", ""},  // standard output: none, which the window takes as the clipboard
  };
  std::filesystem::create_directory("sub");
  for (const auto& c : cases) {
    const CliResult r = RunCli({"--save", "--text", "x", "--output", c.output});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadFile(settings).find("\"Output File\"=\"" + c.stored + "\"\r\n"), std::string::npos)
        << c.output << "\n"
        << ReadFile(settings);
  }
  ASSERT_EQ(RunCli({"--save", "--text", "y", "--output", "out.txt"}).status, 0);
  std::filesystem::current_path(home_.path());
  EXPECT_EQ(RunCli({"--saved", "--append"}).status, 0);
  EXPECT_EQ(ReadFile(folder_.File("out.txt")), "yy");
}

TEST(cli_test, standard_input_is_read_once_at_most) {
  const std::string err =
      "kelvane-cli: standard input can be read only once, but '-' is given for more than one input\n"
      "Try 'kelvane-cli --help' for more information.\n";
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--text-file", "-", "--var-file", "a=-"},
           {"--text", "x", "--var-file", "a=-", "--var-file", "b=-"},
           {"-f-", "--var-file=b=-"},
       }) {
    const CliResult r = RunCli(args, "input");
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, "");
  }
  // Once is fine, for either.
  EXPECT_EQ(RunCli({"--text", "<a>", "--var-file", "a=-", "--var-file", std::string("b=") + kNullDevice}, "in").out,
            "<in>");
}

}  // namespace

TEST(cli_test, list_files_give_the_same_bytes_however_they_are_read) {
  struct Case {
    const char* name;
    std::string list;
    int repeat;
    std::string expected;
  };
  const Case cases[] = {
      {"lines ending in CR LF", "Ann\r\nBob\r\n", 2, "<Ann><Bob>"},
      {"no final line break", "Ann\nBob", 2, "<Ann><Bob>"},
      {"a counter among the lines", "Ann\n%%count7%02d%%\nCy\n", 3, "<Ann><08><Cy>"},
      {"one line for every copy", "Ann", 3, "<Ann><Ann><Ann>"},
      {"an empty file", "", 2, "<><>"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteFile(dir.File("list"), c.list);
    const CliResult r = RunCli({"--text", "<L>", "--repeat", std::to_string(c.repeat), "--var-file",
                                "L=" + dir.File("list"), "--output", dir.File("out")});
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(ReadFile(dir.File("out")), c.expected) << c.name;
  }
}

TEST(cli_test, a_list_file_can_be_its_own_output) {
  TempDir dir;
  const std::string list = dir.File("list");
  WriteFile(list, "Ann\nBob\nCy\n");
  const CliResult r = RunCli({"--text", "L;", "--repeat", "3", "--var-file", "l=" + list, "--output", list});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(list), "Ann;Bob;Cy;");
}

TEST(cli_test, a_list_file_with_the_wrong_line_count_is_refused) {
  TempDir dir;
  WriteFile(dir.File("list"), "Ann\nBob\nCy\n");
  const CliResult r = RunCli({"--text", "L", "--repeat", "2", "--var-file", "L=" + dir.File("list")});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kelvane-cli: Variable <L> has 3 lines and the repeat value is 2.  Please correct.\n");
}

// Line ends are bytes like any other: none is added, doubled or dropped, wherever the copies go, and
// standard input is read as bytes too (a Ctrl+Z is no end of file).
TEST(cli_test, line_ends_reach_the_output_as_they_are) {
  const struct {
    const char* name;
    std::string block;
    std::string expected;
  } cases[] = {
      {"CR LF", "row <N>\r\n", "row 001\r\nrow 002\r\nrow 003\r\n"},
      {"line feed", "row <N>\n", "row 001\nrow 002\nrow 003\n"},
      {"carriage return", "row <N>\r", "row 001\rrow 002\rrow 003\r"},
      {"mixed, and a Ctrl+Z", "<N>\n\r\n\r\r\n\x1a|", "001\n\r\n\r\r\n\x1a|002\n\r\n\r\r\n\x1a|003\n\r\n\r\r\n\x1a|"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string out = dir.File("out.txt");
    const std::vector<std::string> job = {"--repeat", "3", "--var", "<n>=%%count1%03d%%"};
    std::vector<std::string> args = {"--text", c.block};
    args.insert(args.end(), job.begin(), job.end());
    CliResult r = RunCli(args);
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, c.expected) << c.name;
    args.insert(args.end(), {"--output", out});
    r = RunCli(args);
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(ReadFile(out), c.expected) << c.name;
    args = {"--text-file", "-"};
    args.insert(args.end(), job.begin(), job.end());
    r = RunCli(args, c.block);
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, c.expected) << c.name << ", from standard input";
  }
}

// What the user typed reaches the program whole: blanks, quotes and backslashes as a command line
// carries them, characters beyond ASCII, and wildcards, which are never expanded into file names.
TEST(cli_test, arguments_arrive_byte_for_byte) {
  TempDir dir;
  WriteFile(dir.File("match.txt"), "");
  const std::string texts[] = {
      "two words",
      "say \"hi\"",
      "\"",
      "\"\"",
      "\\",
      "C:\\folder\\",
      "C:\\with blank\\",
      "\\\\server\\share",
      "back\\\"slash\\\\\"",
      "tab\there and\nline",
      " ",
      "trailing blank ",
      "caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80 \xCE\xA9",
      dir.File("*.txt"),
      dir.File("matc?.txt"),
      "%PATH% $HOME ^& | < > ;",
  };
  for (const std::string& text : texts) {
    const CliResult r = RunCli({"--text", text, "--repeat", "2"});
    EXPECT_EQ(r.status, 0) << text << ": " << r.err;
    EXPECT_EQ(r.out, text + text);
  }
  // As the tag and the value of a variable, and after an equals sign.
  const std::string pi = "\xCF\x80";
  CliResult r = RunCli({"--text=x " + pi + " \"y\"", "--var", pi + "=\xE2\x89\x88 3.14", "--var=\"y\"=a b"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "x \xE2\x89\x88 3.14 a b");
  // An empty argument is a value, not nothing.
  r = RunCli({"--text", "", "--var", "T=v"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

// Files whose names hold any character: read, written, appended to, and named in messages.
TEST(cli_test, paths_beyond_ascii_work_for_every_file) {
  TempDir dir;
  const std::string folder = dir.File(
      "\xC3\x9C"
      "ber \xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80");
  std::filesystem::create_directory(kelvane::test::PathOf(folder));
  const std::string block = folder +
                            "/bl\xC3\xB6"
                            "ck.txt";
  const std::string values = folder + "/v\xC3\xA4lues \xCE\xA9.txt";
  const std::string out = folder + "/\xC3\xB6ut \xF0\x9F\x98\x80.txt";
  WriteFile(block, "<V>;");
  WriteFile(values, "\xC3\xA9t\xC3\xA9\r\nhiver\r\n");
  CliResult r = RunCli({"--text-file", block, "--repeat", "2", "--var-file", "<v>=" + values, "--output", out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "\xC3\xA9t\xC3\xA9;hiver;");
  r = RunCli({"--text", "+", "--output", out, "--append"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "\xC3\xA9t\xC3\xA9;hiver;+");
  EXPECT_EQ(kelvane::test::ListDir(folder),
            (std::vector<std::string>{"bl\xC3\xB6"
                                      "ck.txt",
                                      "v\xC3\xA4lues \xCE\xA9.txt", "\xC3\xB6ut \xF0\x9F\x98\x80.txt"}));
  // Failures name the file as it was given.
  const std::string absent = folder + "/\xE2\x88\x85.txt";
  r = RunCli({"--text-file", absent});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kelvane-cli: " + absent + " was not found.\n");
  r = RunCli({"--text", "x", "--output", folder + "/\xE2\x88\x85/out.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "kelvane-cli: " + folder + "/\xE2\x88\x85/out.txt contains an invalid path.\n");
}
