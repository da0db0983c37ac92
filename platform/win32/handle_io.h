// The write loop over a Windows handle that every file the program writes goes through.
#pragma once

#include <windows.h>

#include <atomic>
#include <string_view>

namespace kelvane {

// Writes every byte, in pieces the call takes; 0 or the GetLastError() code that stopped it. Once
// *stop is set, no further piece is begun: the result is then ERROR_OPERATION_ABORTED, as it is for
// a write that CancelSynchronousIo stopped.
DWORD WriteFully(HANDLE handle, std::string_view bytes, const std::atomic<bool>* stop = nullptr) noexcept;

// ReadFile and WriteFile take a 32-bit count; pipes and consoles like pieces well below that.
inline constexpr DWORD kLargestTransfer = DWORD{1} << 26;

}  // namespace kelvane
