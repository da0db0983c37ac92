#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cerrno>

#include "platform/file_error.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Runs f, which must throw a FileException, and returns its report.
template <typename F>
std::string ReportOf(F f) {
  try {
    f();
  } catch (const FileException& error) {
    return error.ErrorReport();
  }
  return "(no error)";
}

TEST(file_error_test, report_text_by_cause_names_the_file) {
  const struct {
    FileCause cause;
    const char* report;
  } cases[] = {
      {FileCause::Generic, "An unknown error occurred while accessing f.txt."},
      {FileCause::FileNotFound, "f.txt was not found."},
      {FileCause::BadPath, "f.txt contains an invalid path."},
      {FileCause::TooManyOpenFiles, "f.txt could not be opened because there are too many open files."},
      {FileCause::AccessDenied, "Access to f.txt was denied."},
      {FileCause::InvalidFile, "An invalid file handle was associated with f.txt."},
      {FileCause::RemoveCurrentDir, "f.txt could not be removed because it is the current directory."},
      {FileCause::DirectoryFull, "f.txt could not be created because the directory is full."},
      {FileCause::BadSeek, "Seek failed on f.txt"},
      {FileCause::HardIO, "A hardware I/O error was reported while accessing f.txt."},
      {FileCause::SharingViolation, "A sharing violation occurred while accessing f.txt."},
      {FileCause::LockViolation, "A locking violation occurred while accessing f.txt."},
      {FileCause::DiskFull, "Disk full while accessing f.txt."},
      {FileCause::EndOfFile, "An attempt was made to access f.txt past its end."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileException(c.cause, "f.txt").ErrorReport(), c.report);
  }
  EXPECT_EQ(FileException(FileCause::AccessDenied, "").ErrorReport(), "Access to an unnamed file was denied.");
}

TEST(file_error_test, errno_maps_to_causes) {
  TempDir dir;
  const struct {
    int error;
    std::string path;
    FileCause cause;
  } cases[] = {
      {ENOENT, dir.File("missing.txt"), FileCause::FileNotFound},
      {ENOENT, dir.File("no/such/folder.txt"), FileCause::BadPath},
      {ENOENT, "", FileCause::BadPath},
      {ENOTDIR, "x", FileCause::BadPath},
      {EMFILE, "x", FileCause::TooManyOpenFiles},
      {ENFILE, "x", FileCause::TooManyOpenFiles},
      {EACCES, "x", FileCause::AccessDenied},
      {EPERM, "x", FileCause::AccessDenied},
      {EROFS, "x", FileCause::AccessDenied},
      {EISDIR, "x", FileCause::AccessDenied},
      {ENOSPC, "x", FileCause::DiskFull},
      {EDQUOT, "x", FileCause::DiskFull},
      {EWOULDBLOCK, "x", FileCause::SharingViolation},
      {EIO, "x", FileCause::HardIO},
      {ENXIO, "fifo", FileCause::FileNotFound},  // a FIFO with no reader
      {EPIPE, "x", FileCause::EndOfFile},        // a reader that went away
      {EINVAL, "x", FileCause::Generic},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CauseFromErrno(c.error, c.path), c.cause) << c.error << " " << c.path;
  }
}

TEST(file_error_test, reports_for_memory_and_unknown_failures) {
  EXPECT_EQ(ErrorReport(std::bad_alloc()), "Out of memory.");
  EXPECT_EQ(ErrorReport(std::runtime_error("x")), "No error message is available.");
  EXPECT_EQ(ErrorReport(FileException(FileCause::DiskFull, "a")), "Disk full while accessing a.");
}

TEST(file_test, create_write_truncates_and_open_write_keeps) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  WriteFile(path, "old contents");
  {
    File file = File::Open(path, File::Mode::OpenWrite);
    file.SeekToEnd();
    file.Write("+more");
    file.Close();
  }
  EXPECT_EQ(ReadFile(path), "old contents+more");
  {
    File file = File::Open(path, File::Mode::CreateWrite);
    file.Write("new");
    file.Close();
  }
  EXPECT_EQ(ReadFile(path), "new");
}

TEST(file_test, opening_errors_give_the_standard_reports) {
  TempDir dir;
  EXPECT_EQ(ReportOf([&] { File::Open(dir.File("nope/out.txt"), File::Mode::CreateWrite); }),
            dir.File("nope/out.txt") + " contains an invalid path.");
  EXPECT_EQ(ReportOf([&] { File::Open(dir.path(), File::Mode::CreateWrite); }),
            "Access to " + dir.path() + " was denied.");
  EXPECT_EQ(ReportOf([&] { File::Open(dir.File("absent.txt"), File::Mode::Read); }),
            dir.File("absent.txt") + " was not found.");
  EXPECT_EQ(ReportOf([&] { File::Open("", File::Mode::CreateWrite); }), "an unnamed file contains an invalid path.");
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

TEST(file_test, large_writes_arrive_whole_and_in_order) {
  TempDir dir;
  const std::string path = dir.File("big.bin");
  std::string expected;
  {
    File file = File::Open(path, File::Mode::CreateWrite);
    for (int i = 0; i < 3000; ++i) {
      const std::string piece(static_cast<size_t>(i % 997 + 1) * 3, static_cast<char>('a' + i % 26));
      file.Write(piece);
      expected += piece;
    }
    file.Write(std::string(3 << 20, 'z'));
    expected += std::string(3 << 20, 'z');
    file.Close();
  }
  EXPECT_EQ(ReadFile(path), expected);
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
