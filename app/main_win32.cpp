// Kelvane for Windows: generates repetitive text from a block, variables and counters. A GUI
// program with no console; its one window is the main dialog.
#include <windows.h>

#include "app/repeater_app.h"

namespace {

kelvane::CRepeaterApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  theApp.InitInstance();
  return 0;
}
