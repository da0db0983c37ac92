// Prints the help page that Help of a kelvane.exe in the folder given would open, and the address it
// gives the browser, looked up as Help looks them up; exits 1 when there is no page. The installer
// test runs it on the installed folder.
#include <cstdio>
#include <string>

#include "platform/win32/desktop_services.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: help_lookup PROGRAM-FOLDER\n", stderr);
    return 2;
  }
  const std::string page = kelvane::FindHelpPage(argv[1]);
  if (page.empty()) {
    return 1;
  }
  std::printf("%s\n%s\n", page.c_str(), kelvane::HelpPageUrl(page, 0x20066).c_str());
  return 0;
}
