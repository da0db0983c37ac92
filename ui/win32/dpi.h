// System metrics at the DPI of the monitor a window is on, where the system can say (Windows 10
// 1607 and later); the system-wide value before that.
#pragma once

#include "ui/win32/win32_api.h"

namespace kelvane {

int SystemMetricForWindow(int metric, HWND window);

}  // namespace kelvane
