// kelvane-cli's exit statuses and how it reports a failure on standard error.
#pragma once

#include <string>

namespace kelvane::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitFileError = 1;
constexpr int kExitInvalid = 2;

// A run that cannot go on: the status to exit with and the message that says why.
struct Failure {
  int status = kExitInvalid;
  std::string message;
};

// Prints message on standard error after the program's name, one line, and returns status.
int Fail(int status, const std::string& message);
inline int Fail(const Failure& failure) {
  return Fail(failure.status, failure.message);
}

}  // namespace kelvane::cli
