#include "ui/win32/win32_dialog_window.h"

#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/data_exchange.h"
#include "ui/win32/dpi.h"
#include "ui/win32/win32_link_window.h"

namespace kelvane {

int ListColumnWidth(int listOuterWidth, int scrollBarWidth) {
  return listOuterWidth > scrollBarWidth ? listOuterWidth - scrollBarWidth : 0;
}

Win32DialogWindow::Win32DialogWindow(HWND dialog) : hwnd_(dialog) {}

Win32DialogWindow::~Win32DialogWindow() {
  // The links hand their fields back before the window goes.
  links_.clear();
  if (largeIcon_ != nullptr) {
    DestroyIcon(largeIcon_);
  }
  if (smallIcon_ != nullptr) {
    DestroyIcon(smallIcon_);
  }
}

std::string Win32DialogWindow::GetDlgItemText(int id) const {
  HWND item = Item(id);
  if (item == nullptr) {
    return {};
  }
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void Win32DialogWindow::SetDlgItemText(int id, std::string_view text) {
  HWND item = Item(id);
  if (item == nullptr) {
    return;
  }
  const bool multiLine = (GetWindowLongPtrW(item, GWL_STYLE) & ES_MULTILINE) != 0 &&
                         (SendMessageW(item, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0;
  SetWindowTextW(item, Widen(multiLine ? ToWindowsLineBreaks(text) : std::string(text)).c_str());
}

bool Win32DialogWindow::IsDlgButtonChecked(int id) const {
  return ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}

void Win32DialogWindow::CheckDlgButton(int id, bool checked) {
  ::CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Win32DialogWindow::GotoDlgCtrl(int id) {
  HWND item = Item(id);
  if (item == nullptr) {
    return;
  }
  // WM_NEXTDLGCTL, not SetFocus: the dialog manager then moves the default button as well.
  SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
  if ((SendMessageW(item, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
    SendMessageW(item, EM_SETSEL, 0, -1);
  }
}

void Win32DialogWindow::EndDialog(int result) {
  // Only marks the dialog: the modal loop destroys it once the message in hand has been handled.
  ::EndDialog(hwnd_, result);
}

void Win32DialogWindow::SetUpList(int id, std::string_view heading) {
  HWND list = Item(id);
  if (list == nullptr) {
    return;
  }
  RECT outer{};
  GetWindowRect(list, &outer);
  ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
  std::wstring text = Widen(heading);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = ListColumnWidth(outer.right - outer.left, SystemMetricForWindow(SM_CXVSCROLL, list));
  column.pszText = text.data();
  column.iSubItem = 0;
  ListView_InsertColumn(list, 0, &column);
}

void Win32DialogWindow::InsertListRow(int id, int row, std::string_view text) {
  std::wstring wide = Widen(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = wide.data();
  ListView_InsertItem(Item(id), &item);
}

void Win32DialogWindow::SetListRowText(int id, int row, std::string_view text) {
  std::wstring wide = Widen(text);
  ListView_SetItemText(Item(id), row, 0, wide.data());
}

void Win32DialogWindow::DeleteListRow(int id, int row) {
  HWND list = Item(id);
  ListView_DeleteItem(list, row);
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
}

int Win32DialogWindow::ListRowCount(int id) const {
  return ListView_GetItemCount(Item(id));
}

int Win32DialogWindow::SelectedListRow(int id) const {
  return ListView_GetNextItem(Item(id), -1, LVNI_SELECTED);
}

void Win32DialogWindow::SetProgramIcon() {
  // Each size drawn as its own picture: the title bar gets the 16 px one rather than the 32 px
  // one shrunk.
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (largeIcon_ == nullptr) {
    largeIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                               SystemMetricForWindow(SM_CXICON, hwnd_),
                                               SystemMetricForWindow(SM_CYICON, hwnd_), 0));
  }
  if (smallIcon_ == nullptr) {
    smallIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                               SystemMetricForWindow(SM_CXSMICON, hwnd_),
                                               SystemMetricForWindow(SM_CYSMICON, hwnd_), 0));
  }
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

LinkWindow* Win32DialogWindow::LinkControl(int id) {
  auto found = links_.find(id);
  if (found != links_.end()) {
    return found->second.get();
  }
  HWND field = Item(id);
  if (field == nullptr) {
    return nullptr;
  }
  return links_.emplace(id, std::make_unique<Win32LinkWindow>(field)).first->second.get();
}

bool Win32DialogWindow::PaintMinimised() {
  if (IsIconic(hwnd_) == 0 || largeIcon_ == nullptr) {
    return false;
  }
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd_, &paint);
  SendMessageW(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  DrawIcon(dc, x, y, largeIcon_);
  EndPaint(hwnd_, &paint);
  return true;
}

}  // namespace kelvane
