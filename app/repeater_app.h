// The application object: names the program and its settings home, then runs the main dialog.
#pragma once

namespace kelvane {

class CRepeaterApp {
 public:
  // Runs the main dialog until it is closed. Always false: no message loop is to follow.
  bool InitInstance();
};

}  // namespace kelvane
