// The main dialog's template made into a window by the system's dialog manager, without its modal
// loop, for the Win32 back end's tests; it skips where Wine can make no window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "res/resource.h"
#include "ui/win32/win32_dialog_window.h"

namespace kelvane {

inline INT_PTR CALLBACK IgnoreMessages(HWND /*hwnd*/, UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  return FALSE;
}

// The main dialog's template with its window, made without the modal loop.
class MainTemplateWindow : public testing::Test {
 protected:
  void SetUp() override {
    hwnd_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_REPEATER_DIALOG), nullptr,
                               &IgnoreMessages, 0);
    if (hwnd_ == nullptr) {
      GTEST_SKIP() << "no window can be made here (no display for Wine): error " << GetLastError();
    }
    window_ = std::make_unique<Win32DialogWindow>(hwnd_);
  }
  void TearDown() override {
    window_.reset();
    if (hwnd_ != nullptr) {
      DestroyWindow(hwnd_);
    }
  }
  [[nodiscard]] HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  [[nodiscard]] std::wstring RawText(int id) const {
    wchar_t text[256] = {};
    GetWindowTextW(Item(id), text, 256);
    return text;
  }

  HWND hwnd_ = nullptr;
  std::unique_ptr<Win32DialogWindow> window_;
};

}  // namespace kelvane
