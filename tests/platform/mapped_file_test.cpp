// A list file seen through a read-only mapping, or read whole where it cannot be mapped.

#include "platform/mapped_file.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/file_error.h"
#include "support/test_support.h"

namespace kelvane {
namespace {

TEST(mapped_file_test, holds_the_files_bytes_and_reads_them_again_after_a_release) {
  test::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 300000; ++i) {
    bytes += "line " + std::to_string(i) + "\r\n";
  }
  bytes += std::string("\0tail\xFF", 6);
  for (const std::string& content : {bytes, std::string("x"), std::string()}) {
    test::WriteFile(dir.File("list"), content);
    const auto file = MappedFile::Open(dir.File("list"));
    ASSERT_EQ(file->bytes(), content);
    file->Release(0, content.size() / 2);
    file->Release(content.size() / 3, content.size() + 4096);  // past the end is clipped
    EXPECT_EQ(file->bytes(), content);
  }
}

TEST(mapped_file_test, a_pipe_is_read_whole) {
#ifdef _WIN32
  // A named pipe, as another program serves one.
  const std::wstring name = L"\\\\.\\pipe\\kelvane-test-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE server =
      ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE) << ::GetLastError();
  std::thread writer([&] {
    ::ConnectNamedPipe(server, nullptr);  // or ERROR_PIPE_CONNECTED, when the reader came first
    DWORD written = 0;
    ::WriteFile(server, "Ann\nBob\n", 8, &written, nullptr);
    ::FlushFileBuffers(server);
    ::CloseHandle(server);
  });
  const auto file = MappedFile::Open(Narrow(name));
#else
  test::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { test::WriteFile(fifo, "Ann\nBob\n"); });
  const auto file = MappedFile::Open(fifo);
#endif
  writer.join();
  EXPECT_EQ(file->bytes(), "Ann\nBob\n");
}

TEST(mapped_file_test, a_missing_file_gives_the_file_error) {
  test::TempDir dir;
  try {
    MappedFile::Open(dir.File("absent"));
    FAIL() << "no error";
  } catch (const FileException& error) {
    EXPECT_EQ(error.ErrorReport(), dir.File("absent") + " was not found.");
  }
}

#ifdef _WIN32
// Windows keeps a mapped file whole: another program that tries to cut it short is refused.
TEST(mapped_file_test, a_mapped_file_cannot_be_cut_short) {
  test::TempDir dir;
  const std::string content(3 * 4096 + 17, 'x');
  test::WriteFile(dir.File("list"), content);
  const auto file = MappedFile::Open(dir.File("list"));
  const HANDLE other = ::CreateFileW(Widen(dir.File("list")).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE) << ::GetLastError();
  EXPECT_EQ(::SetEndOfFile(other), 0);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
  ::CloseHandle(other);
  EXPECT_EQ(file->bytes(), content);
  EXPECT_FALSE(file->cutShort());
}
#else  // truncating a mapped file, and the SIGBUS it raises, are POSIX's
// Another program cuts a list short while it is mapped: reading on must not end the process.
TEST(mapped_file_test, a_file_cut_short_reads_as_zeros_past_its_new_end_and_says_so) {
  const long page = ::sysconf(_SC_PAGESIZE);
  const struct {
    const char* name;
    size_t size, cutTo;
  } cases[] = {
      {"to nothing", 3 * static_cast<size_t>(page), 0},
      {"to a page and a half", 5 * static_cast<size_t>(page) + 17, static_cast<size_t>(page) * 3 / 2},
      {"within its last page", 2 * static_cast<size_t>(page) + 100, 2 * static_cast<size_t>(page) + 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    std::string content(c.size, 'x');
    for (size_t i = 0; i < content.size(); ++i) {
      content[i] = static_cast<char>('a' + i % 26);
    }
    test::WriteFile(dir.File("list"), content);
    const auto file = MappedFile::Open(dir.File("list"));
    ASSERT_EQ(file->bytes(), content);
    EXPECT_FALSE(file->cutShort());
    ASSERT_EQ(::truncate(dir.File("list").c_str(), static_cast<off_t>(c.cutTo)), 0);
    const std::string after(file->bytes());  // reads every byte, past the new end too
    EXPECT_TRUE(file->cutShort());
    // What the file still holds reads as it did; the rest reads as zeros.
    EXPECT_EQ(after.substr(0, c.cutTo), content.substr(0, c.cutTo));
    EXPECT_EQ(after.substr(c.cutTo), std::string(c.size - c.cutTo, '\0'));
  }
}

// Only the faults of list mappings are caught: any other bus error still ends the process.
TEST(mapped_file_test, a_bus_error_outside_the_lists_still_ends_the_process) {
  test::TempDir dir;
  test::WriteFile(dir.File("list"), "keeps the guard installed\n");
  const auto list = MappedFile::Open(dir.File("list"));
  test::WriteFile(dir.File("other"), std::string(8192, 'o'));
  EXPECT_EXIT(
      {
        const int fd = ::open(dir.File("other").c_str(), O_RDONLY);
        auto* bytes = static_cast<volatile const char*>(::mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE, fd, 0));
        ::ftruncate(::open(dir.File("other").c_str(), O_WRONLY), 0);
        std::_Exit(bytes[4096] == 'o' ? 10 : 11);
      },
      // Killed by the signal; under a sanitizer, its report ends the process with its own status.
      [](int status) {
        return testing::KilledBySignal(SIGBUS)(status) ||
               (WIFEXITED(status) && WEXITSTATUS(status) != 10 && WEXITSTATUS(status) != 11);
      },
      "");
  EXPECT_FALSE(list->cutShort());
}
#endif

TEST(mapped_file_test, same_file_follows_links_to_one_file) {
  test::TempDir dir;
  test::WriteFile(dir.File("a"), "x");
  test::WriteFile(dir.File("b"), "x");
  std::filesystem::create_hard_link(test::PathOf(dir.File("a")), test::PathOf(dir.File("c")));
  EXPECT_TRUE(SameFile(dir.File("a"), dir.File("c")));
  EXPECT_FALSE(SameFile(dir.File("a"), dir.File("b")));
  EXPECT_FALSE(SameFile(dir.File("a"), dir.File("absent")));
}

}  // namespace
}  // namespace kelvane
