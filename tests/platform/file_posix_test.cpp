// File behaviour that holds only on POSIX systems: flock, devices, /proc and the nameless temporary
// file. Left out of the Windows build, where file_win32_test.cpp covers the same ground.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/file_error.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ReadFile;
using test::ReportOf;
using test::TempDir;
using test::WriteFile;

TEST(file_test, errno_only_posix_has) {
  EXPECT_EQ(CauseFromErrno(EDQUOT, "x"), FileCause::DiskFull);
}

TEST(file_test, a_path_through_a_file_of_proc_is_a_bad_path) {
  EXPECT_EQ(ReportOf([&] { File::Open("/proc/version/x", File::Mode::CreateWrite); }),
            "/proc/version/x contains an invalid path.");
}

TEST(file_test, a_locked_file_is_a_sharing_violation_and_keeps_its_bytes) {
  TempDir dir;
  const std::string path = dir.File("held.txt");
  WriteFile(path, "someone else's");
  const int other = ::open(path.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  EXPECT_EQ(ReportOf([&] { File::Open(path, File::Mode::CreateWrite); }),
            "A sharing violation occurred while accessing " + path + ".");
  EXPECT_EQ(ReportOf([&] { File::Open(path, File::Mode::Read); }),
            "A sharing violation occurred while accessing " + path + ".");
  ::close(other);
  EXPECT_EQ(ReadFile(path), "someone else's");
}

TEST(file_test, devices_are_shared_between_openers) {
  File first = File::Open("/dev/null", File::Mode::CreateWrite);
  File second = File::Open("/dev/null", File::Mode::CreateWrite);
  first.Write("a");
  second.Write("b");
  EXPECT_NO_THROW(first.Close());
  EXPECT_NO_THROW(second.Close());
}

TEST(file_test, disk_full_surfaces_at_close_at_the_latest) {
  File file = File::Open("/dev/full", File::Mode::CreateWrite);
  file.Write("a few bytes that sit in the buffer");
  EXPECT_EQ(ReportOf([&] { file.Close(); }), "Disk full while accessing /dev/full.");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_NO_THROW(file.Close());
}

TEST(temp_file_test, private_nameless_and_gone_when_closed) {
  TempDir dir;
  test::ScopedEnv tmpdir("TMPDIR", dir.path().c_str());
  File file = File::CreateTemp();
  EXPECT_EQ(file.path(), dir.path() + "/KVXXXXXX.tmp");
  // Nothing in the folder carries the file, so nobody can swap or reopen it by name.
  EXPECT_TRUE(test::ListDir(dir.path()).empty());
  file.Write("kept until closed");
  file.SeekToStart();
  EXPECT_EQ(file.ReadAll(), "kept until closed");
  file.Close();
  EXPECT_TRUE(test::ListDir(dir.path()).empty());
}

TEST(temp_file_test, missing_or_unusable_folder_is_reported) {
  TempDir dir;
  WriteFile(dir.File("plain"), "");
  const struct {
    std::string tmpdir;
    std::string report;
  } cases[] = {
      {dir.File("missing"), dir.File("missing") + "/KVXXXXXX.tmp contains an invalid path."},
      {dir.File("plain"), dir.File("plain") + "/KVXXXXXX.tmp contains an invalid path."},
      {"/proc", "/proc/KVXXXXXX.tmp was not found."},  // the folder refuses new files
  };
  for (const auto& c : cases) {
    test::ScopedEnv tmpdir("TMPDIR", c.tmpdir.c_str());
    EXPECT_EQ(ReportOf([] { File::CreateTemp(); }), c.report);
  }
}

}  // namespace
}  // namespace kelvane
