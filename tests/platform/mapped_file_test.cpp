// A list file seen through a read-only mapping, or read whole where it cannot be mapped.

#include "platform/mapped_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
  test::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { test::WriteFile(fifo, "Ann\nBob\n"); });
  const auto file = MappedFile::Open(fifo);
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

TEST(mapped_file_test, same_file_follows_links_to_one_file) {
  test::TempDir dir;
  test::WriteFile(dir.File("a"), "x");
  test::WriteFile(dir.File("b"), "x");
  ASSERT_EQ(::link(dir.File("a").c_str(), dir.File("c").c_str()), 0);
  EXPECT_TRUE(SameFile(dir.File("a"), dir.File("c")));
  EXPECT_FALSE(SameFile(dir.File("a"), dir.File("b")));
  EXPECT_FALSE(SameFile(dir.File("a"), dir.File("absent")));
}

}  // namespace
}  // namespace kelvane
