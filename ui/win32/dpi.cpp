#include "ui/win32/dpi.h"

#include <utility>

namespace kelvane {

int SystemMetricForWindow(int metric, HWND window) {
  // Looked up at run time: Windows 7 has neither call.
  using DpiForWindow = UINT(WINAPI*)(HWND);
  using MetricsForDpi = int(WINAPI*)(int, UINT);
  static const auto [dpiForWindow, metricsForDpi] = [] {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return std::pair{
        reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow"))),
        reinterpret_cast<MetricsForDpi>(reinterpret_cast<void*>(GetProcAddress(user32, "GetSystemMetricsForDpi")))};
  }();
  if (dpiForWindow != nullptr && metricsForDpi != nullptr && window != nullptr) {
    if (const UINT dpi = dpiForWindow(window); dpi != 0) {
      return metricsForDpi(metric, dpi);
    }
  }
  return GetSystemMetrics(metric);
}

}  // namespace kelvane
