// Prints the help page that Help would open for a program in the folder given, looked up as Help
// looks it up; exits 1 when none is found. The install test runs it on an installed tree.
#include <QString>
#include <iostream>

#include "platform/qt/help_viewer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: help_lookup PROGRAM-FOLDER\n";
    return 2;
  }
  const QString page = kelvane::FindHelpPage(kelvane::HelpPageCandidates(QString::fromLocal8Bit(argv[1])));
  if (page.isEmpty()) {
    return 1;
  }
  std::cout << page.toLocal8Bit().constData() << '\n';
  return 0;
}
