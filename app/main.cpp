// Kelvane: generates repetitive text from a block, variables and counters.

#include <QApplication>

#include "app/repeater_app.h"

namespace {

kelvane::CRepeaterApp theApp;

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  theApp.InitInstance();
  return 0;
}
