// What a dialog's window offers the dialog's logic: its controls found by id, the variable list,
// the keyboard focus and the end of the modal run. Each toolkit supplies one (ui/qt/, ui/win32/);
// the logic's tests use a fake. Every text is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace kelvane {

class LinkWindow;

// How a control follows a window made larger than its template: the shares of the extra width and
// height by which it moves and by which it grows. A label goes with the control after it.
struct Anchor {
  double moveX = 0;
  double moveY = 0;
  double growX = 0;
  double growY = 0;
};

class DialogWindow {
 public:
  virtual ~DialogWindow() = default;

  // An edit field's text. Line breaks come as the toolkit's field holds them: LF from a Qt text
  // box, CR LF from a Windows edit control; the data exchange keeps the user's own breaks.
  [[nodiscard]] virtual std::string GetDlgItemText(int id) const = 0;
  virtual void SetDlgItemText(int id, std::string_view text) = 0;
  [[nodiscard]] virtual bool IsDlgButtonChecked(int id) const = 0;
  virtual void CheckDlgButton(int id, bool checked) = 0;
  // Gives the control the keyboard focus, selecting the whole text of an edit field.
  virtual void GotoDlgCtrl(int id) = 0;
  // Ends the modal run with this result once the command in hand returns.
  virtual void EndDialog(int result) = 0;

  // The list view with this id in report view: grid lines, full-row selection, header drag and
  // drop, and one left-aligned column with this heading, as wide as the list less a vertical
  // scroll bar.
  virtual void SetUpList(int id, std::string_view heading) = 0;
  // Inserts a row before row (row == ListRowCount() appends).
  virtual void InsertListRow(int id, int row, std::string_view text) = 0;
  virtual void SetListRowText(int id, int row, std::string_view text) = 0;
  // Deletes the row; afterwards no row is selected.
  virtual void DeleteListRow(int id, int row) = 0;
  [[nodiscard]] virtual int ListRowCount(int id) const = 0;
  // The first selected row from the top, or -1.
  [[nodiscard]] virtual int SelectedListRow(int id) const = 0;

  // The program's icon (resource IDR_MAINFRAME) as the window's large and small icon.
  virtual void SetProgramIcon() = 0;
  // The window of the link control with this id, or nullptr when the window has none.
  [[nodiscard]] virtual LinkWindow* LinkControl(int id) = 0;

  // Lets the user make the window larger than its template (which stays its smallest size), the
  // control with this id then following anchor. A window that keeps its template's size ignores it.
  virtual void SetAnchor(int id, Anchor anchor) = 0;
  // The size the user gave the window, kept for the next start; nothing where the window cannot
  // be resized.
  [[nodiscard]] virtual std::optional<WindowSize> UserSize() const = 0;
  // Gives the window a size kept from an earlier run, within the template's and the screen's.
  virtual void RestoreUserSize(WindowSize size) = 0;
};

}  // namespace kelvane
