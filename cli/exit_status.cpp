#include "cli/exit_status.h"

#include <iostream>

namespace kelvane::cli {

int Fail(int status, const std::string& message) {
  std::cerr << message << '\n';
  return status;
}

}  // namespace kelvane::cli
