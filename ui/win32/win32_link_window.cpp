#include "ui/win32/win32_link_window.h"

#include "platform/win32/wide.h"
#include "res/resource.h"
#include "ui/hyperlink.h"

namespace kelvane {

namespace {

constexpr UINT_PTR kSubclassId = 1;

// Loaded once, shared by every link and kept until the process ends (LoadCursor's handles are the
// system's to free).
HCURSOR LinkCursorHandle(LinkCursor cursor) {
  static const HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_CURSOR));
  static const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  return cursor == LinkCursor::Hand && hand != nullptr ? hand : arrow;
}

}  // namespace

bool InsideClient(const RECT& client, POINT point) {
  return point.x >= client.left && point.x < client.right && point.y >= client.top && point.y < client.bottom;
}

Win32LinkWindow::Win32LinkWindow(HWND field) : hwnd_(field) {}

Win32LinkWindow::~Win32LinkWindow() {
  RouteEventsTo(nullptr);
}

void Win32LinkWindow::RouteEventsTo(CHyperLink* link) {
  if (link != nullptr && link_ == nullptr) {
    SetWindowSubclass(hwnd_, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  } else if (link == nullptr && link_ != nullptr) {
    RemoveWindowSubclass(hwnd_, &SubclassProc, kSubclassId);
  }
  link_ = link;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32LinkWindow::SetWindowText(std::string_view text) {
  ::SetWindowTextW(hwnd_, Widen(text).c_str());
}

bool Win32LinkWindow::HasParent() const {
  return GetParent(hwnd_) != nullptr;
}

int Win32LinkWindow::MeasureTextWidth(std::string_view text) const {
  // Measured in the font the link is drawn in, so the field is as wide as its painted text.
  HDC dc = GetDC(hwnd_);
  SetMapMode(dc, MM_TEXT);
  HFONT font = CreateLinkFont();
  HGDIOBJ previous = SelectObject(dc, font);
  const std::wstring wide = Widen(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(hwnd_, dc);
  return size.cx;
}

int Win32LinkWindow::Width() const {
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  return rect.right - rect.left;
}

void Win32LinkWindow::SetWidth(int width) {
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&rect), 2);
  MoveWindow(hwnd_, rect.left, rect.top, width, rect.bottom - rect.top, TRUE);
}

void Win32LinkWindow::Invalidate() {
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32LinkWindow::UpdateWindow() {
  ::UpdateWindow(hwnd_);
}

void Win32LinkWindow::SetCapture() {
  ::SetCapture(hwnd_);
}

void Win32LinkWindow::ReleaseCapture() {
  ::ReleaseCapture();
}

void Win32LinkWindow::SetCursor(LinkCursor cursor) {
  ::SetCursor(LinkCursorHandle(cursor));
}

void Win32LinkWindow::PostCommand(int id) {
  PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

ScreenPoint Win32LinkWindow::ClientToScreen(ScreenPoint point) const {
  POINT p{point.x, point.y};
  ::ClientToScreen(hwnd_, &p);
  return {p.x, p.y};
}

int Win32LinkWindow::TrackPopupMenu(int menuId, ScreenPoint at) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menuId));
  if (menu == nullptr) {
    return 0;
  }
  // TPM_RETURNCMD: the choice comes back here rather than as a WM_COMMAND, so the link runs it
  // after it has cleared its menu state.
  const BOOL chosen = ::TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y,
                                       0, hwnd_, nullptr);
  DestroyMenu(menu);
  return chosen;
}

HFONT Win32LinkWindow::CreateLinkFont() const {
  LOGFONTW description{};
  auto* font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  // A field without a font of its own draws in the dialogs' default font.
  if (font == nullptr || GetObjectW(font, sizeof description, &description) == 0) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
  }
  if (link_ != nullptr && link_->underline()) {
    description.lfUnderline = TRUE;
  }
  return CreateFontIndirectW(&description);
}

void Win32LinkWindow::PaintBackground(HDC dc) const {
  if (link_->DrawsShadow()) {
    // No fill: the shadow lies on what the edit control's own erase left.
    PaintText(dc, 2, 2, GetSysColor(COLOR_BTNSHADOW));
  } else {
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  }
}

void Win32LinkWindow::PaintText(HDC dc, int x, int y, ::COLORREF colour) const {
  HFONT font = CreateLinkFont();
  HGDIOBJ previousFont = SelectObject(dc, font);
  const int previousMode = SetBkMode(dc, TRANSPARENT);
  const ::COLORREF previousColour = SetTextColor(dc, colour);
  const std::wstring text = Widen(link_->linkText());
  TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
  SetTextColor(dc, previousColour);
  SetBkMode(dc, previousMode);
  SelectObject(dc, previousFont);
  DeleteObject(font);
}

LRESULT CALLBACK Win32LinkWindow::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                               DWORD_PTR self) {
  auto* window = reinterpret_cast<Win32LinkWindow*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &SubclassProc, kSubclassId);
    window->link_ = nullptr;
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  if (window->link_ == nullptr) {
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  return window->Handle(message, wParam, lParam);
}

LRESULT Win32LinkWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  CHyperLink& link = *link_;
  switch (message) {
    case WM_SETCURSOR: link.OnSetCursor(); return TRUE;
    case WM_LBUTTONDOWN:
      // Not passed on: the edit control would take the focus and place its caret.
      link.OnLButtonDown();
      return 0;
    case WM_MOUSEMOVE: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      link.OnMouseMove(InsideClient(client, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
      break;
    }
    case WM_CONTEXTMENU: {
      const int x = GET_X_LPARAM(lParam);
      const int y = GET_Y_LPARAM(lParam);
      // (-1, -1): asked for from the keyboard (Shift+F10 or the menu key).
      link.OnContextMenu(x == -1 && y == -1 ? std::nullopt : std::optional<ScreenPoint>(ScreenPoint{x, y}));
      return 0;
    }
    case WM_COMMAND:
      if (lParam == 0) {
        link.OnCommand(LOWORD(wParam));
        return 0;
      }
      break;
    case WM_ERASEBKGND: {
      const LRESULT erased = DefSubclassProc(hwnd_, message, wParam, lParam);
      PaintBackground(reinterpret_cast<HDC>(wParam));
      return erased;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(hwnd_, &paint);
      PaintText(dc, 0, 0, link.TextColor());
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      // The same picture into a given context (PrintWindow, animations, tests).
      if ((lParam & PRF_ERASEBKGND) != 0) {
        PaintBackground(reinterpret_cast<HDC>(wParam));
      }
      PaintText(reinterpret_cast<HDC>(wParam), 0, 0, link.TextColor());
      return 0;
    default: break;
  }
  return DefSubclassProc(hwnd_, message, wParam, lParam);
}

}  // namespace kelvane
