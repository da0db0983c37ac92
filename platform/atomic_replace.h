// Replacing a file whole: a crash, a kill or a full disk leaves its old bytes or its new ones.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane {

// Replaces or creates the regular file at path with bytes, keeping its mode (POSIX: new files get
// 0600); never replaces anything but a regular file. 0 or the error of the step that failed: an
// errno on POSIX, a GetLastError() code on Windows.
int ReplaceFileAtomically(const std::string& path, std::string_view bytes) noexcept;

// The longest file name ReplaceFileAtomically can replace: the temporary file it writes first is named
// after it, and that name is longer.
size_t LongestReplaceableName() noexcept;
// The longest path it can replace, for the same reason.
size_t LongestReplaceablePath() noexcept;

// A fresh name for the temporary file written beside the file named fileName: ".<fileName>.XXXXXX".
std::string ReplacementTempName(std::string_view fileName);

// Whether name is a temporary file that ReplaceFileAtomically makes beside the file named fileName
// (".<fileName>.XXXXXX"): one left by a process killed in the middle of a replace, if none is running.
bool IsReplacementTempName(std::string_view fileName, std::string_view name);

// The folder part of a path: "." without a separator, "/" for a file in the root. The separator
// is '/', and on Windows '\' as well.
std::string FolderOf(const std::string& path);
// The file name part of a path: what follows its last separator.
std::string FileNameOf(const std::string& path);

// Makes the last rename or link in folder durable, where the file system can.
void SyncFolder(const std::string& folder) noexcept;

}  // namespace kelvane
