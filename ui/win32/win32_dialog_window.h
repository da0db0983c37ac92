// A dialog's window as the system's dialog manager made it from its template: the controls by id,
// the list view, the program's icon. The dialog keeps its template's size (a modal frame).
#pragma once

#include "ui/win32/win32_api.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "ui/dialog_window.h"

namespace kelvane {

class Win32LinkWindow;

// The width of the list's one column: the list's outer width less a vertical scroll bar's.
int ListColumnWidth(int listOuterWidth, int scrollBarWidth);

class Win32DialogWindow : public DialogWindow {
 public:
  explicit Win32DialogWindow(HWND dialog);
  ~Win32DialogWindow() override;
  Win32DialogWindow(const Win32DialogWindow&) = delete;
  Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

  [[nodiscard]] HWND hwnd() const { return hwnd_; }
  // The large icon SetProgramIcon() gave the window, or nullptr.
  [[nodiscard]] HICON icon() const { return largeIcon_; }

  [[nodiscard]] std::string GetDlgItemText(int id) const override;
  void SetDlgItemText(int id, std::string_view text) override;
  [[nodiscard]] bool IsDlgButtonChecked(int id) const override;
  void CheckDlgButton(int id, bool checked) override;
  void GotoDlgCtrl(int id) override;
  void EndDialog(int result) override;

  void SetUpList(int id, std::string_view heading) override;
  void InsertListRow(int id, int row, std::string_view text) override;
  void SetListRowText(int id, int row, std::string_view text) override;
  void DeleteListRow(int id, int row) override;
  [[nodiscard]] int ListRowCount(int id) const override;
  [[nodiscard]] int SelectedListRow(int id) const override;

  void SetProgramIcon() override;
  [[nodiscard]] LinkWindow* LinkControl(int id) override;

  // A Windows dialog with a modal frame keeps its template's size.
  void SetAnchor(int /*id*/, Anchor /*anchor*/) override {}
  [[nodiscard]] std::optional<WindowSize> UserSize() const override { return std::nullopt; }
  void RestoreUserSize(WindowSize /*size*/) override {}

  // WM_PAINT while minimised: the icon centred on the background the system erased. False when
  // the window is not minimised or has no icon, so the default painting runs.
  bool PaintMinimised();

 private:
  [[nodiscard]] HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  HWND hwnd_;
  HICON largeIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  std::map<int, std::unique_ptr<Win32LinkWindow>> links_;
};

}  // namespace kelvane
