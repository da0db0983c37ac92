// The test helpers that differ between systems: POSIX.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kelvane::test {

const char* const kTempFolderVariable = "TMPDIR";

std::string TempFilePattern(const std::string& folder) {
  return folder + "/KVXXXXXX.tmp";
}

HeldFile::HeldFile(const std::string& path) : handle_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  EXPECT_GE(handle_, 0) << path;
  EXPECT_EQ(::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB), 0) << path;
}

HeldFile::~HeldFile() {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
  }
}

}  // namespace kelvane::test
