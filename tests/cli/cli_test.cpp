// kelvane-cli as a user runs it: arguments in; bytes, messages and exit status out.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>

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
      {{"--text", "x", "--repeat", "12a"}, "Please enter an integer.\n"},
      {{"--text", "x", "--repeat", "-0"}, "Please enter an integer.\n"},
      {{"--text", "x", "--repeat", "0"}, "Please enter an integer between 1 and 2147483647.\n"},
      {{"--text", "x", "--repeat", "3", "--var", "T=a\nb"},
       "Variable <T> has 2 lines and the repeat value is 3.  Please correct.\n"},
      {{"--text", "x", "--var", "=v"}, "Please enter a variable name\n"},
  };
  for (const auto& c : cases) {
    const CliResult r = RunCli(c.args);
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
    const CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(cli_test, help_and_version) {
  const CliResult help = RunCli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--var-file"), std::string::npos);
  EXPECT_NE(help.out.find("--saved"), std::string::npos);
  const CliResult version = RunCli({"--version"});
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
  const CliResult r = RunCli({"--save", "--text", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "The settings could not be saved in " + SettingsFile() + ".\n");
}

}  // namespace

namespace {

// Starts the CLI with stderr on a terminal (a pseudo-terminal) or on a file, sends signal after
// delay, and returns what it wrote to stderr and its exit status.
CliResult RunCliAndStop(const std::vector<std::string>& args, int signal, std::chrono::milliseconds delay,
                        bool terminal) {
  TempDir io;
  int master = -1;
  const pid_t pid = terminal ? ::forkpty(&master, nullptr, nullptr, nullptr) : ::fork();
  if (pid == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    if (!terminal) {
      ::dup2(::open(io.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    }
    ExecCli(args);
  }
  std::string err;
  const auto until = std::chrono::steady_clock::now() + delay;
  bool sent = false;
  int status = 0;
  for (;;) {
    if (terminal) {
      pollfd poll{master, POLLIN, 0};
      if (::poll(&poll, 1, 20) > 0) {
        char buffer[4096];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) {
          err.append(buffer, static_cast<size_t>(got));
        }
      }
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!sent && std::chrono::steady_clock::now() >= until) {
      ::kill(pid, signal);
      sent = true;
    }
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      break;
    }
  }
  if (terminal) {
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) {
      err.append(buffer, static_cast<size_t>(got));
    }
    ::close(master);
  } else {
    err = ReadFile(io.File("err"));
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), "", err};
}

TEST(cli_test, interrupt_and_terminate_stop_at_a_copy_boundary) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  const struct {
    int signal;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
  for (const auto& c : cases) {
    // A byte that is not UTF-8 keeps every copy on the slower, searching way: fewer bytes to disk.
    const CliResult r = RunCliAndStop(
        {"--text", "\xFF copy N\n", "--var", "N=%%count%010d%%", "--repeat", "2000000000", "--output", out}, c.signal,
        std::chrono::milliseconds(300), false);
    EXPECT_EQ(r.status, c.status);
    const std::string bytes = ReadFile(out);
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.size() % 18, 0U) << "a copy was cut";
    const size_t copies = bytes.size() / 18;
    EXPECT_EQ(bytes.substr(bytes.size() - 16),
              "copy " + std::string(10 - std::to_string(copies - 1).size(), '0') + std::to_string(copies - 1) + "\n");
    EXPECT_EQ(r.err, "Duplicate was cancelled. " + std::to_string(copies) +
                         " of 2000000000 copies were written to file " + out + "\n");
  }
}

TEST(cli_test, a_long_run_on_a_terminal_shows_one_updating_progress_line) {
  const CliResult r = RunCliAndStop({"--text", "x", "--repeat", "2000000000", "--output", "/dev/null"}, SIGINT,
                                    std::chrono::milliseconds(1700), true);
  EXPECT_EQ(r.status, 130);
  EXPECT_NE(r.err.find("\r"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" of 2000000000 copies, "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" MB/s, "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" left"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.rfind('\n')) << "more than the final message on its own line: " << r.err;
}

TEST(cli_test, off_a_terminal_no_progress_is_shown) {
  const CliResult r = RunCliAndStop({"--text", "x", "--repeat", "2000000000", "--output", "/dev/null"}, SIGTERM,
                                    std::chrono::milliseconds(1500), false);
  EXPECT_EQ(r.status, 143);
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
}

}  // namespace
