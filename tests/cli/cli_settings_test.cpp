// kelvane-cli's --save and --saved, against the settings store of each system. A program of its
// own, so that under Wine only these tests take the registry's lock.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/settings_store.h"
#include "support/test_support.h"

namespace {

using kelvane::test::CliResult;
using kelvane::test::ReadFile;
using kelvane::test::RunCli;
using kelvane::test::ScopedEnv;
using kelvane::test::TempDir;
using kelvane::test::WriteFile;

// Settings of the test's own, which the program run inherits: a configuration folder on Linux; on
// Windows the real registry, whose program key is removed before and after.
class cli_settings_test : public testing::Test {
 protected:
  void SetUp() override {
    if (!store_.skipReason().empty()) {
      GTEST_SKIP() << store_.skipReason();
    }
  }
  std::string SettingsFile() const { return home_.File("Orvalle Software Inc./Kelvane.reg"); }

  kelvane::test::ScopedSettingsStore store_;
  // On Linux, a folder whose settings file the test can name, in place of the store's own.
  TempDir home_;
  ScopedEnv config_{"XDG_CONFIG_HOME", home_.path().c_str()};
};

#ifdef _WIN32
// The bytes of the settings file exist only where the registry is one; on Windows the registry's
// own types and bytes are checked by save_registry_test.sh.
#define SKIP_WHERE_THE_REGISTRY_IS_REAL() GTEST_SKIP() << "the registry is no file here"
#else
#define SKIP_WHERE_THE_REGISTRY_IS_REAL() static_cast<void>(0)
#endif

TEST_F(cli_settings_test, saved_with_nothing_saved_names_the_store_and_exits_2) {
#ifdef _WIN32
  const std::string place = "HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane\\Settings";
#else
  const std::string place = SettingsFile();
#endif
  const CliResult r = RunCli({"--saved", "--text", "given"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "kelvane-cli: no job is saved in " + place + "; save one with --save or with Kelvane's Close button\n");
  EXPECT_EQ(r.out, "");
  // --help names the same place.
  EXPECT_NE(RunCli({"--help"}).out.find(place + ";\n"), std::string::npos);
}

TEST_F(cli_settings_test, save_stores_the_job_and_runs_it_and_saved_runs_it_again) {
  TempDir dir;
  const std::string out = dir.File("out.txt");
  CliResult r =
      RunCli({"--save", "--text", "N:V\n", "--repeat", "2", "--var", "N=a\r\nb", "--var", "V=", "--output", out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(ReadFile(out), "a:\nb:\n");
#ifndef _WIN32  // the registry's bytes: save_registry_test.sh
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
#endif

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
  EXPECT_EQ(RunCli({"--saved", "--output", ""}).out, "a.b.");
#ifndef _WIN32
  EXPECT_NE(ReadFile(SettingsFile()).find("\"Append\"=dword:00000001"), std::string::npos);
#endif
}

TEST_F(cli_settings_test, a_saved_job_passes_the_same_checks) {
  SKIP_WHERE_THE_REGISTRY_IS_REAL();
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
  SKIP_WHERE_THE_REGISTRY_IS_REAL();
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
