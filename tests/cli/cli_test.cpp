// kelvane-cli as a user runs it: arguments in; bytes, messages and exit status out.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/test_support.h"

namespace {

using kelvane::test::CliResult;
using kelvane::test::ExecCli;
using kelvane::test::ReadFile;
using kelvane::test::RunCli;
using kelvane::test::ScopedEnv;
using kelvane::test::TempDir;
using kelvane::test::WriteFile;

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
      {{"--text", "x", "--output", "/dev/full"}, "kelvane-cli: Disk full while accessing /dev/full.\n"},
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
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 80U) << line;
    }
  }
  const CliResult version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kelvane-cli ", 0), 0U);
  for (const char* flag : {"--help", "--version"}) {
    const CliResult full = RunCli({flag}, "", "/dev/full");
    EXPECT_EQ(full.status, 1) << flag;
    EXPECT_EQ(full.err, "kelvane-cli: Disk full while accessing standard output.\n") << flag;
  }
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
  EXPECT_EQ(RunCli({"--text", "<a>", "--var-file", "a=-", "--var-file", "b=/dev/null"}, "in").out, "<in>");
}

// Settings in a folder of the test's own, which the program run inherits.
class cli_settings_test : public testing::Test {
 protected:
  std::string SettingsFile() const { return home_.File("Orvalle Software Inc./Kelvane.reg"); }

  TempDir home_;
  ScopedEnv config_{"XDG_CONFIG_HOME", home_.path().c_str()};
};

TEST_F(cli_settings_test, save_stores_the_job_and_runs_it_and_saved_runs_it_again) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  CliResult r =
      RunCli({"--save", "--text", "N:V\n", "--repeat", "2", "--var", "N=a\r\nb", "--var", "V=", "--output", out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(ReadFile(out), "a:\nb:\n");
  EXPECT_EQ(ReadFile(SettingsFile()),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n"
            "\"Text\"=hex(1):4e,3a,56,0a,00\r\n"
            "\"Output File\"=\"" +
                out +
                "\"\r\n"
                "\"Append\"=dword:00000000\r\n"
                "\"Repeat Count\"=dword:00000002\r\n"
                "\"Value Names\"=hex(7):4e,00,56,00,00\r\n"
                "\"Values\"=hex(7):61,0d,0a,62,00,00,00\r\n\r\n");

  WriteFile(out, "");
  r = RunCli({"--saved"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "a:\nb:\n");
}

TEST_F(cli_settings_test, save_warns_when_a_nul_byte_cuts_what_is_saved_and_runs_the_job_whole) {
  using namespace std::string_literals;
  TempDir dir;
  const std::string out = dir.File("out.txt");
  WriteFile(dir.File("block"), "<N>\0tail|"s);
  WriteFile(dir.File("values"), "a\0b\nc\n"s);
  CliResult r = RunCli({"--save", "--text-file", dir.File("block"), "--repeat", "2", "--var", "M=m", "--var-file",
                        "<N>=" + dir.File("values"), "--output", out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "kelvane-cli: warning: the block text holds a NUL byte; only the part before it is saved.\n"
            "kelvane-cli: warning: the value of <N> holds a NUL byte; only the part before it is saved.\n");
  EXPECT_EQ(ReadFile(out), "a\0b\0tail|c\0tail|"s);
  // What was saved is the job up to each NUL, as the warnings said.
  WriteFile(out, "");
  r = RunCli({"--saved"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(out), "aa");
  // Without a NUL, nothing is said.
  r = RunCli({"--save", "--text", "x", "--output", out});
  EXPECT_EQ(r.out + r.err, "");
}

TEST_F(cli_settings_test, options_given_with_saved_replace_their_part_of_the_job) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  ASSERT_EQ(RunCli({"--save", "--text", "N.", "--repeat", "2", "--var", "N=a\nb", "--append", "--output", out}).status,
            0);
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"--saved", "--output", ""}, "a.b."},
      {{"--saved", "--output", "", "--text", "<N>"}, "<a><b>"},
      {{"--saved", "--output", "", "--repeat", "3", "--var", "N=%%count1%d%%"}, "1.2.3."},
      {{"--saved", "--output", "", "--var", "X=y"}, "N.N."},  // the saved variables are replaced as a whole
  };
  for (const auto& c : cases) {
    const CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
  // The saved append flag, and turning it off.
  WriteFile(out, "old|");
  EXPECT_EQ(RunCli({"--saved"}).status, 0);
  EXPECT_EQ(ReadFile(out), "old|a.b.");
  EXPECT_EQ(RunCli({"--saved", "--append=false"}).status, 0);
  EXPECT_EQ(ReadFile(out), "a.b.");
  // A run with --saved alone leaves the settings as they were.
  EXPECT_NE(ReadFile(SettingsFile()).find("\"Append\"=dword:00000001"), std::string::npos);
}

TEST_F(cli_settings_test, a_saved_job_passes_the_same_checks) {
  std::filesystem::create_directories(home_.File("Orvalle Software Inc."));
  // The dialog saves a refused repeat count as typed.
  WriteFile(SettingsFile(),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings]\r\n"
            "\"Text\"=\"x\"\r\n\"Repeat Count\"=dword:00000000\r\n\r\n");
  CliResult r = RunCli({"--saved"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kelvane-cli: Please enter an integer between 1 and 2147483647.\n");
  r = RunCli({"--saved", "--repeat", "2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "xx");
}

TEST_F(cli_settings_test, only_a_valid_job_is_saved_and_a_failed_save_runs_nothing) {
  EXPECT_EQ(RunCli({"--save", "--text", "x", "--repeat", "0"}).status, 2);
  EXPECT_EQ(RunCli({"--text", "x"}).status, 0);
  EXPECT_EQ(kelvane::test::ListDir(home_.path()), std::vector<std::string>{});  // nothing saved or created

  WriteFile(home_.File("Orvalle Software Inc."), "a file where the folder should be");
  const CliResult r = RunCli({"--save", "--text", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kelvane-cli: The settings could not be saved in " + SettingsFile() + ".\n");
}

}  // namespace

namespace {

using Clock = std::chrono::steady_clock;
// Long enough for any machine, however busy: a test that needs it has already failed.
constexpr auto kPatience = std::chrono::seconds(120);

// Calls ready() every few milliseconds until it says yes; false after kPatience.
bool WaitFor(const std::function<bool()>& ready) {
  const auto until = Clock::now() + kPatience;
  while (!ready()) {
    if (Clock::now() > until) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Reads what is there to read within a few milliseconds; false at the end of the stream.
bool ReadSome(int fd, std::string& into) {
  pollfd poll{fd, POLLIN, 0};
  if (::poll(&poll, 1, 10) <= 0) {
    return true;
  }
  char buffer[65536];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got > 0) {
    into.append(buffer, static_cast<size_t>(got));
  }
  return got > 0 || (got < 0 && errno == EINTR);
}

// The program on a pseudo-terminal of its own, as a user at a terminal runs it: standard error
// always on the terminal, standard output on it too or on stdoutPath.
class TerminalRun {
 public:
  TerminalRun(const std::vector<std::string>& args, const std::string& stdoutPath) {
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (!stdoutPath.empty()) {
        ::dup2(::open(stdoutPath.c_str(), O_WRONLY | O_CREAT, 0600), 1);
      }
      ExecCli(args);
    }
  }
  ~TerminalRun() {
    if (status_ < 0) {
      ::kill(pid_, SIGKILL);
      kelvane::test::WaitStatus(pid_);
    }
    ::close(master_);
  }
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  // Reads the terminal until it shows text; false when it never does.
  bool WaitForScreen(const std::string& text) {
    return WaitFor([&] { return !ReadSome(master_, screen_) || screen_.find(text) != std::string::npos; }) &&
           screen_.find(text) != std::string::npos;
  }
  // Types Ctrl+C, which the terminal turns into SIGINT and echoes as "^C".
  void PressCtrlC() const { ASSERT_EQ(::write(master_, "\x03", 1), 1); }
  // Reads the terminal to the end and returns the exit status.
  int Finish() {
    while (ReadSome(master_, screen_)) {
    }
    status_ = kelvane::test::WaitStatus(pid_);
    return status_;
  }
  [[nodiscard]] const std::string& screen() const { return screen_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  std::string screen_;
};

// Whether the message at pos begins a line: after a line feed, or on a line just cleared.
bool StartsALine(const std::string& screen, size_t pos) {
  return pos != std::string::npos &&
         (pos == 0 || screen[pos - 1] == '\n' || (pos >= 4 && screen.compare(pos - 4, 4, "\r\033[K") == 0));
}

TEST(cli_test, interrupt_and_terminate_stop_at_a_copy_boundary) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  const struct {
    int signal;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
  for (const auto& c : cases) {
    std::filesystem::remove(out);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_WRONLY), 1);
      ::dup2(::open(dir.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      // A byte that is not UTF-8 keeps every copy on the slower, searching way: fewer bytes to disk.
      ExecCli({"--text", "\xFF copy N\n", "--var", "N=%%count%010d%%", "--repeat", "2000000000", "--output", out});
    }
    // Stopped once copies are on disk, however long the start took.
    const bool started = WaitFor([&] {
      std::error_code error;
      return std::filesystem::file_size(out, error) > 0 && !error;
    });
    ::kill(pid, c.signal);
    const int status = kelvane::test::WaitStatus(pid);
    ASSERT_TRUE(started) << "nothing written";
    EXPECT_EQ(status, c.status);
    const std::string bytes = ReadFile(out);
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.size() % 18, 0U) << "a copy was cut";
    const size_t copies = bytes.size() / 18;
    EXPECT_EQ(bytes.substr(bytes.size() - 16),
              "copy " + std::string(10 - std::to_string(copies - 1).size(), '0') + std::to_string(copies - 1) + "\n");
    EXPECT_EQ(ReadFile(dir.File("err")), "kelvane-cli: Duplicate was cancelled. " + std::to_string(copies) +
                                             " of 2000000000 copies were written to file " + out + "\n");
  }
}

TEST(cli_test, a_long_run_on_a_terminal_shows_one_updating_progress_line_and_ctrl_c_clears_it) {
  TerminalRun run({"--text", "x", "--repeat", "2000000000", "--output", "/dev/null"}, "/dev/null");
  ASSERT_TRUE(run.WaitForScreen(" of 2000000000 copies, ")) << run.screen();
  run.PressCtrlC();
  EXPECT_EQ(run.Finish(), 130);
  const std::string& screen = run.screen();
  EXPECT_NE(screen.find(" MB/s, "), std::string::npos) << screen;
  EXPECT_NE(screen.find(" left"), std::string::npos) << screen;
  const size_t message = screen.find("kelvane-cli: Duplicate was cancelled. ");
  EXPECT_TRUE(StartsALine(screen, message)) << screen;
  // The pseudo-terminal writes a line feed as CR LF: the message's is the only one.
  EXPECT_EQ(screen.find('\n'), screen.size() - 1) << screen;
}

// The copies and a progress line on one terminal would tear each other apart.
TEST(cli_test, no_progress_line_when_the_copies_go_to_the_same_terminal_and_ctrl_c_starts_a_new_line) {
  {
    TerminalRun run({"--text", "x\n", "--repeat", "300000"}, "");
    ASSERT_TRUE(run.WaitForScreen("x\r\n"));
    // The copies are far more than a terminal buffers, so the run cannot end before they are read:
    // holding them back makes it last more than the second after which progress would show.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(run.Finish(), 0);
    EXPECT_EQ(run.screen().find(" copies, "), std::string::npos);
    EXPECT_EQ(run.screen().size(), 300000U * 3);
  }
  TerminalRun run({"--text", "x", "--repeat", "2000000000"}, "");
  ASSERT_TRUE(run.WaitForScreen("xxx"));
  run.PressCtrlC();
  EXPECT_EQ(run.Finish(), 130);
  const size_t message = run.screen().find("kelvane-cli: Duplicate was cancelled. ");
  ASSERT_NE(message, std::string::npos) << run.screen().substr(run.screen().size() - 200);
  // After the copies and the terminal's "^C", neither of which ends its line.
  EXPECT_EQ(run.screen()[message - 1], '\n');
  EXPECT_EQ(run.screen().find(" copies, "), std::string::npos);
}

TEST(cli_test, off_a_terminal_no_progress_is_shown) {
  TempDir dir;
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::dup2(::open(dir.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    ExecCli({"--text", "x\n", "--repeat", "300000"});
  }
  ::close(pipeFds[1]);
  std::string out;
  ASSERT_TRUE(WaitFor([&] { return !ReadSome(pipeFds[0], out) || !out.empty(); }));
  // As above: the pipe holds far less than the copies, so the run lasts as long as this.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  while (ReadSome(pipeFds[0], out)) {
  }
  ::close(pipeFds[0]);
  EXPECT_EQ(kelvane::test::WaitStatus(pid), 0);
  EXPECT_EQ(out.size(), 600000U);
  EXPECT_EQ(ReadFile(dir.File("err")), "");
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
