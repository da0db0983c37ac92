// File error causes from Windows error codes, as the framework maps them.
#pragma once

#include <string>

#include "platform/file_error.h"

namespace kelvane {

// The cause for a GetLastError() code.
FileCause CauseFromWindowsError(unsigned long error);

// Throws the FileException for GetLastError() code error on path.
[[noreturn]] void ThrowWindowsError(unsigned long error, const std::string& path);

}  // namespace kelvane
