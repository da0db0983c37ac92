// File behaviour that holds on every system.
#include "platform/file.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/file_error.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ReadFile;
using test::ReportOf;
using test::TempDir;
using test::WriteFile;

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

constexpr File::Mode kAllModes[] = {File::Mode::CreateWrite, File::Mode::OpenWrite, File::Mode::CreateReadWrite,
                                    File::Mode::Read};

TEST(file_test, a_file_held_without_sharing_is_a_sharing_violation_and_keeps_its_bytes) {
  TempDir dir;
  const std::string path = dir.File("held.txt");
  for (const File::Mode mode : kAllModes) {
    WriteFile(path, "someone else's");
    {
      const test::HeldFile other(path);
      EXPECT_EQ(ReportOf([&] { File::Open(path, mode); }), "A sharing violation occurred while accessing " + path + ".")
          << static_cast<int>(mode);
    }
    EXPECT_EQ(ReadFile(path), "someone else's") << static_cast<int>(mode);
  }
}

TEST(file_test, a_second_opener_of_an_output_file_gets_a_sharing_violation) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  const struct {
    File::Mode first;
    File::Mode second;
    bool shared;
  } cases[] = {
      {File::Mode::CreateWrite, File::Mode::CreateWrite, false},
      {File::Mode::CreateWrite, File::Mode::Read, false},
      {File::Mode::OpenWrite, File::Mode::OpenWrite, false},
      {File::Mode::CreateReadWrite, File::Mode::Read, false},
      {File::Mode::Read, File::Mode::CreateWrite, false},
      {File::Mode::Read, File::Mode::OpenWrite, false},
      {File::Mode::Read, File::Mode::Read, true},  // readers share with readers
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.first) << " then " << static_cast<int>(c.second));
    WriteFile(path, "first");
    File first = File::Open(path, c.first);
    if (c.shared) {
      EXPECT_NO_THROW(File::Open(path, c.second).Close());
    } else {
      EXPECT_EQ(ReportOf([&] { File::Open(path, c.second); }),
                "A sharing violation occurred while accessing " + path + ".");
    }
    first.Close();
    // Free again once the first opener is done.
    EXPECT_NO_THROW(File::Open(path, c.second).Close());
  }
}

TEST(file_test, faults_a_user_can_make_give_the_standard_reports) {
  TempDir dir;
  const struct {
    std::string path;
    File::Mode mode;
    std::string report;
  } cases[] = {
      {dir.File("no folder/out.txt"), File::Mode::CreateWrite,
       dir.File("no folder/out.txt") + " contains an invalid path."},
      {dir.File("no folder/in.txt"), File::Mode::Read, dir.File("no folder/in.txt") + " contains an invalid path."},
      {dir.File("absent.txt"), File::Mode::OpenWrite, dir.File("absent.txt") + " was not found."},
      {dir.path(), File::Mode::CreateWrite, "Access to " + dir.path() + " was denied."},
      {dir.path(), File::Mode::OpenWrite, "Access to " + dir.path() + " was denied."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReportOf([&] { File::Open(c.path, c.mode); }), c.report) << c.path;
  }
}

TEST(file_test, a_read_only_file_is_access_denied_and_kept) {
  TempDir dir;
  const std::string path = dir.File("read-only.txt");
  WriteFile(path, "kept");
  namespace fs = std::filesystem;
  fs::permissions(test::PathOf(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (std::ofstream(test::PathOf(path), std::ios::app).is_open()) {
    GTEST_SKIP() << "this user may write to read-only files (root on POSIX, and Wine run by root)";
  }
  for (const File::Mode mode : {File::Mode::CreateWrite, File::Mode::OpenWrite, File::Mode::CreateReadWrite}) {
    EXPECT_EQ(ReportOf([&] { File::Open(path, mode); }), "Access to " + path + " was denied.")
        << static_cast<int>(mode);
  }
  EXPECT_EQ(ReadFile(path), "kept");
  fs::permissions(test::PathOf(path), fs::perms::owner_write, fs::perm_options::add);
}

TEST(file_test, a_file_name_beyond_ascii_round_trips) {
  TempDir dir;
  const std::u8string name = u8"Grüße Ωμέγα 日本 \U0001F600.txt";
  const std::string path = dir.File(std::string(name.begin(), name.end()));
  File out = File::Open(path, File::Mode::CreateWrite);
  out.Write("bytes\r\n");
  out.Close();
  // The system holds the name itself, not a mangled one: on Windows the UTF-16 name.
  std::vector<std::filesystem::path> names;
  for (const auto& entry : std::filesystem::directory_iterator(test::PathOf(dir.path()))) {
    names.push_back(entry.path().filename());
  }
  EXPECT_EQ(names, std::vector<std::filesystem::path>{std::filesystem::path(name)});
  EXPECT_TRUE(File::Exists(path));
  File in = File::Open(path, File::Mode::Read);
  EXPECT_EQ(in.ReadAll(), "bytes\r\n");
  in.Close();
  File appended = File::Open(path, File::Mode::OpenWrite);
  appended.SeekToEnd();
  appended.Write("more");
  appended.Close();
  EXPECT_EQ(ReadFile(path), "bytes\r\nmore");
}

}  // namespace
}  // namespace kelvane
