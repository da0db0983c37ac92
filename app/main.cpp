// Kelvane: generates repetitive text from a block, variables and counters.

#include <QApplication>
#include <csignal>

#include "app/repeater_app.h"

namespace {

kelvane::CRepeaterApp theApp;

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away is reported as a file error, not a silent death by SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  QApplication application(argc, argv);
  theApp.InitInstance();
  return 0;
}
