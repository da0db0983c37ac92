#include "cli/exit_status.h"

#include <iostream>

namespace kelvane::cli {

int Fail(int status, const std::string& message) {
  std::cerr << "kelvane-cli: " << message << '\n';
  return status;
}

}  // namespace kelvane::cli
