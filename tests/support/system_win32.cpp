// The test helpers that differ between systems: Windows.
#include <windows.h>
// windows.h renames MessageBox to MessageBoxW, and with it kelvane::MessageBox.
#undef MessageBox

#include <gtest/gtest.h>
#include <algorithm>

#include "platform/win32/wide.h"
#include "support/test_support.h"

namespace kelvane::test {

// GetTempPath looks at TMP first.
const char* const kTempFolderVariable = "TMP";

// GetTempPath gives the folder as a full path, with backslashes and a closing one; the system's
// names are KV and up to four hex digits.
std::string TempFilePattern(const std::string& folder) {
  std::string pattern = folder + "\\KVXXXX.tmp";
  std::replace(pattern.begin(), pattern.end(), '/', '\\');
  return pattern;
}

HeldFile::HeldFile(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(::CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr,
                                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {
  EXPECT_NE(reinterpret_cast<HANDLE>(handle_), INVALID_HANDLE_VALUE) << path << ": error " << ::GetLastError();
}

HeldFile::~HeldFile() {
  if (reinterpret_cast<HANDLE>(handle_) != INVALID_HANDLE_VALUE) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  }
}

}  // namespace kelvane::test
