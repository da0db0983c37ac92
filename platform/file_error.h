// File errors: their causes, the exception that carries them and the standard error report.
#pragma once

#include <exception>
#include <string>

namespace kelvane {

// Why a file operation failed; each cause has its own report text.
enum class FileCause {
  Generic,
  FileNotFound,
  BadPath,
  TooManyOpenFiles,
  AccessDenied,
  InvalidFile,
  RemoveCurrentDir,
  DirectoryFull,
  BadSeek,
  HardIO,
  SharingViolation,
  LockViolation,
  DiskFull,
  EndOfFile,
};

// A failed file operation: its cause, the file's name as given to the call, and the OS error.
class FileException : public std::exception {
 public:
  FileException(FileCause cause, std::string fileName, int osError = 0);

  [[nodiscard]] FileCause cause() const noexcept { return cause_; }
  [[nodiscard]] const std::string& fileName() const noexcept { return fileName_; }
  [[nodiscard]] int osError() const noexcept { return osError_; }
  [[nodiscard]] const char* what() const noexcept override { return report_.c_str(); }

  // The text shown to the user, such as "Access to /tmp/out.txt was denied.".
  [[nodiscard]] const std::string& ErrorReport() const noexcept { return report_; }

 private:
  FileCause cause_;
  std::string fileName_;
  int osError_;
  std::string report_;
};

// The cause for an errno value from an operation on path.
FileCause CauseFromErrno(int error, const std::string& path);

// Throws the FileException for errno value error on path.
[[noreturn]] void ThrowFileError(int error, const std::string& path);

// The standard error report for a caught exception: the file error's text, "Out of memory."
// for an allocation failure, and "No error message is available." for anything else.
std::string ErrorReport(const std::exception& error);

}  // namespace kelvane
