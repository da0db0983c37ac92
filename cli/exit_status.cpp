#include "cli/exit_status.h"

#include "cli/console.h"

namespace kelvane::cli {

int Fail(int status, const std::string& message) {
  WriteText(stderr, "kelvane-cli: " + message + '\n');
  return status;
}

}  // namespace kelvane::cli
