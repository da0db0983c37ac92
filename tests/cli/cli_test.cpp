// kelvane-cli as a user runs it: arguments in; bytes, messages and exit status out.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace {

using kelvane::test::ReadFile;
using kelvane::test::ScopedEnv;
using kelvane::test::TempDir;
using kelvane::test::WriteFile;

struct Result {
  int status = -1;
  std::string out, err;
};

std::string CliPath() {
  const char* build = std::getenv("KELVANE_BUILD_DIR");
  return std::string(build != nullptr ? build : "build") + "/cli/kelvane-cli";
}

Result RunCli(const std::vector<std::string>& args, const std::string& input = "") {
  TempDir io;
  WriteFile(io.File("in"), input);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(io.File("in").c_str(), O_RDONLY), 0);
    ::dup2(::open(io.File("out").c_str(), O_WRONLY | O_CREAT, 0600), 1);
    ::dup2(::open(io.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    std::vector<char*> argv;
    const std::string path = CliPath();
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(io.File("out")),
          ReadFile(io.File("err"))};
}

TEST(cli_test, writes_the_copies_to_standard_output) {
  const Result r = RunCli(
      {"--text", "Hi NAME #N\n", "--repeat", " 3 ", "--var", "name=Ann\r\nBob\r\nCy", "--var", "#n=%%count1%03d%%"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Hi Ann 001\nHi Bob 002\nHi Cy 003\n");
  EXPECT_EQ(r.err, "");
}

TEST(cli_test, variables_from_files_and_text_from_standard_input_keep_their_order) {
  TempDir dir;
  WriteFile(dir.File("names"), "Ann\nBob\n");
  const Result r =
      RunCli({"--text-file", "-", "--repeat", "2", "--var-file", "A=" + dir.File("names"), "--var", "ANN=x=y"}, "A|");
  EXPECT_EQ(r.status, 0) << r.err;
  // A's value inserts "Ann", which the later variable ANN then replaces by "x=y".
  EXPECT_EQ(r.out, "x=y|Bob|");
}

TEST(cli_test, output_file_append_and_silence_on_success) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  WriteFile(out, "old\n");
  Result r = RunCli({"--text", "new\n", "--repeat", "2", "--output", out, "--append"});
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
      {{"--text", "x", "--repeat", "12a"}, "Please enter an integer.\n"},
      {{"--text", "x", "--repeat", "-0"}, "Please enter an integer.\n"},
      {{"--text", "x", "--repeat", "0"}, "Please enter an integer between 1 and 2147483647.\n"},
      {{"--text", "x", "--repeat", "3", "--var", "T=a\nb"},
       "Variable <T> has 2 lines and the repeat value is 3.  Please correct.\n"},
      {{"--text", "x", "--var", "=v"}, "Please enter a variable name\n"},
  };
  for (const auto& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.status, 2) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST(cli_test, usage_errors_exit_2_and_file_errors_exit_1) {
  TempDir dir;
  EXPECT_EQ(RunCli({}).status, 2);
  EXPECT_EQ(RunCli({"--text", "x", "--bogus"}).status, 2);
  EXPECT_EQ(RunCli({"--text", "x", "--var", "novalue"}).status, 2);
  EXPECT_EQ(RunCli({"--text", "x", "--text-file", "y"}).status, 2);

  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--text", "x", "--output", dir.File("no/out.txt")}, dir.File("no/out.txt") + " contains an invalid path.\n"},
      {{"--text", "x", "--output", dir.path()}, "Access to " + dir.path() + " was denied.\n"},
      {{"--text", "x", "--output", "/dev/full"}, "Disk full while accessing /dev/full.\n"},
      {{"--text-file", dir.File("absent")}, dir.File("absent") + " was not found.\n"},
      {{"--text", "x", "--var-file", "T=" + dir.File("absent")}, dir.File("absent") + " was not found.\n"},
  };
  for (const auto& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(cli_test, help_and_version) {
  const Result help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--var-file"), std::string::npos);
  EXPECT_NE(help.out.find("--saved"), std::string::npos);
  const Result version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kelvane-cli ", 0), 0U);
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
  Result r =
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
    const Result r = RunCli(c.args);
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
  Result r = RunCli({"--saved"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Please enter an integer between 1 and 2147483647.\n");
  r = RunCli({"--saved", "--repeat", "2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "xx");
}

TEST_F(cli_settings_test, only_a_valid_job_is_saved_and_a_failed_save_runs_nothing) {
  EXPECT_EQ(RunCli({"--save", "--text", "x", "--repeat", "0"}).status, 2);
  EXPECT_EQ(RunCli({"--text", "x"}).status, 0);
  EXPECT_EQ(kelvane::test::ListDir(home_.path()), std::vector<std::string>{});  // nothing saved or created

  WriteFile(home_.File("Orvalle Software Inc."), "a file where the folder should be");
  const Result r = RunCli({"--save", "--text", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "The settings could not be saved in " + SettingsFile() + ".\n");
}

}  // namespace
