// File behaviour of the Windows build: error codes, GetTempFileName's file, pipes and stopping a
// blocked write.
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "platform/file.h"
#include "platform/file_error.h"
#include "platform/win32/file_error_win32.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

using test::ReportOf;
using test::TempDir;

TEST(file_error_win32_test, system_errors_map_to_causes) {
  const struct {
    DWORD error;
    FileCause cause;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, FileCause::FileNotFound},
      {ERROR_PATH_NOT_FOUND, FileCause::BadPath},
      {ERROR_INVALID_NAME, FileCause::BadPath},
      {ERROR_DIRECTORY, FileCause::BadPath},
      {ERROR_TOO_MANY_OPEN_FILES, FileCause::TooManyOpenFiles},
      {ERROR_ACCESS_DENIED, FileCause::AccessDenied},
      {ERROR_WRITE_PROTECT, FileCause::AccessDenied},
      {ERROR_INVALID_HANDLE, FileCause::InvalidFile},
      {ERROR_CURRENT_DIRECTORY, FileCause::RemoveCurrentDir},
      {ERROR_NO_SPOOL_SPACE, FileCause::DirectoryFull},
      {ERROR_SEEK, FileCause::BadSeek},
      {ERROR_NEGATIVE_SEEK, FileCause::BadSeek},
      {ERROR_CRC, FileCause::HardIO},
      {ERROR_SHARING_VIOLATION, FileCause::SharingViolation},
      {ERROR_LOCK_VIOLATION, FileCause::LockViolation},
      {ERROR_DISK_FULL, FileCause::DiskFull},
      {ERROR_HANDLE_DISK_FULL, FileCause::DiskFull},
      {ERROR_HANDLE_EOF, FileCause::EndOfFile},
      {ERROR_BROKEN_PIPE, FileCause::EndOfFile},  // the reader went away, as EPIPE
      {ERROR_NO_DATA, FileCause::EndOfFile},      // the pipe is being closed
      {ERROR_INVALID_PARAMETER, FileCause::Generic},
      {ERROR_NOT_ENOUGH_MEMORY, FileCause::Generic},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CauseFromWindowsError(c.error), c.cause) << c.error;
  }
  try {
    ThrowWindowsError(ERROR_SHARING_VIOLATION, "C:\\out.txt");
  } catch (const FileException& error) {
    EXPECT_EQ(error.ErrorReport(), "A sharing violation occurred while accessing C:\\out.txt.");
    EXPECT_EQ(error.osError(), static_cast<int>(ERROR_SHARING_VIOLATION));
  }
}

TEST(temp_file_win32_test, named_by_the_system_held_unshared_and_gone_when_closed) {
  TempDir dir;
  test::ScopedEnv tmp(test::kTempFolderVariable, dir.path().c_str());
  File file = File::CreateTemp();
  // GetTempFileName's name: the folder, "KV", up to four hex digits, ".tmp".
  const std::vector<std::string> names = test::ListDir(dir.path());
  ASSERT_EQ(names.size(), 1U);
  EXPECT_TRUE(std::regex_match(names[0], std::regex("KV[0-9A-Fa-f]{1,4}\\.tmp"))) << names[0];
  EXPECT_TRUE(test::PathOf(file.path()) == test::PathOf(dir.File(names[0]))) << file.path();
  EXPECT_EQ(ReportOf([&] { File::Open(file.path(), File::Mode::Read); }),
            "A sharing violation occurred while accessing " + file.path() + ".");
  file.Write("kept until closed");
  file.SeekToStart();
  EXPECT_EQ(file.ReadAll(), "kept until closed");
  file.Truncate();
  EXPECT_EQ(file.Size(), 0U);
  file.Close();
  EXPECT_TRUE(test::ListDir(dir.path()).empty());
}

TEST(temp_file_win32_test, a_missing_temporary_folder_is_reported) {
  TempDir dir;
  const std::string missing = dir.File("missing");
  test::ScopedEnv tmp(test::kTempFolderVariable, missing.c_str());
  EXPECT_EQ(ReportOf([] { File::CreateTemp(); }), test::TempFilePattern(missing) + " contains an invalid path.");
}

// Both ends of an anonymous pipe as C runtime descriptors, as File::Adopt takes them.
struct Pipe {
  Pipe() { EXPECT_EQ(::_pipe(ends, 4096, _O_BINARY), 0); }
  int ends[2] = {-1, -1};
};

TEST(pipe_win32_test, a_reader_that_went_away_is_the_end_of_the_output) {
  Pipe pipe;
  File out = File::Adopt(pipe.ends[1], "a closed pipe");
  ::_close(pipe.ends[0]);
  out.Write("copies");
  EXPECT_EQ(ReportOf([&] { out.Close(); }), "An attempt was made to access a closed pipe past its end.");
}

TEST(pipe_win32_test, input_ends_where_its_writer_closed) {
  Pipe pipe;
  File in = File::Adopt(pipe.ends[0], "standard input");
  File out = File::Adopt(pipe.ends[1], "the writer");
  out.Write("Ann\nBob\n");
  out.Close();
  EXPECT_EQ(in.ReadAll(), "Ann\nBob\n");
}

// Whether this system stops a thread's synchronous I/O: with nothing pending, CancelSynchronousIo
// says ERROR_NOT_FOUND; a system without it says so otherwise.
bool CanCancelSynchronousIo() {
  HANDLE self = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  const bool cancelled = ::CancelSynchronousIo(self) != 0;
  const DWORD error = ::GetLastError();
  ::CloseHandle(self);
  return cancelled || error == ERROR_NOT_FOUND;
}

TEST(pipe_win32_test, a_write_that_nobody_reads_is_interrupted) {
  if (!CanCancelSynchronousIo()) {
    GTEST_SKIP() << "CancelSynchronousIo does not work here (error " << ::GetLastError() << ")";
  }
  Pipe pipe;
  File out = File::Adopt(pipe.ends[1], "a stalled pipe");
  std::atomic<int> outcome = 0;  // 1: interrupted, 2: written, 3: another error
  std::thread writer([&] {
    try {
      out.Write(std::string(8 << 20, 'x'));  // far more than the pipe holds
      out.Flush();
      outcome = 2;
    } catch (const WriteInterrupted&) {
      outcome = 1;
    } catch (...) {
      outcome = 3;
    }
  });
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (outcome == 0 && std::chrono::steady_clock::now() < limit) {
    out.Interrupt(writer);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (outcome == 0) {
    // Unblock the writer by reading, so the test ends and says what went wrong.
    char buffer[65536];
    while (outcome == 0 && ::_read(pipe.ends[0], buffer, sizeof buffer) > 0) {
    }
  }
  writer.join();
  ::_close(pipe.ends[0]);
  EXPECT_EQ(outcome, 1);
}

}  // namespace
}  // namespace kelvane
