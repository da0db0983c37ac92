// The link's window on Windows: the dialog's read-only edit control, subclassed so that the
// link's logic (CHyperLink) gets its cursor, pointer, context menu and command messages and
// paints it with GDI; every other message keeps the edit control's own handling.
#pragma once

#include "ui/win32/win32_api.h"

#include "ui/link_window.h"

namespace kelvane {

// Whether a client point lies in a client rectangle: the left and top edges inside, the right and
// bottom edges outside.
bool InsideClient(const RECT& client, POINT point);

class Win32LinkWindow : public LinkWindow {
 public:
  explicit Win32LinkWindow(HWND field);
  ~Win32LinkWindow() override;
  Win32LinkWindow(const Win32LinkWindow&) = delete;
  Win32LinkWindow& operator=(const Win32LinkWindow&) = delete;

  [[nodiscard]] HWND hwnd() const { return hwnd_; }

  void RouteEventsTo(CHyperLink* link) override;
  void SetWindowText(std::string_view text) override;
  [[nodiscard]] bool HasParent() const override;
  [[nodiscard]] int MeasureTextWidth(std::string_view text) const override;
  [[nodiscard]] int Width() const override;
  void SetWidth(int width) override;
  void Invalidate() override;
  void UpdateWindow() override;
  void SetCapture() override;
  void ReleaseCapture() override;
  void SetCursor(LinkCursor cursor) override;
  void PostCommand(int id) override;
  [[nodiscard]] ScreenPoint ClientToScreen(ScreenPoint point) const override;
  int TrackPopupMenu(int menuId, ScreenPoint at) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // A copy of the field's font, underlined when the link draws underlined; the caller deletes it.
  [[nodiscard]] HFONT CreateLinkFont() const;
  // The background as the link's state asks: a button-face fill, or the hover shadow.
  void PaintBackground(HDC dc) const;
  // The display text in the link's font and colour, on a transparent background.
  void PaintText(HDC dc, int x, int y, ::COLORREF colour) const;

  HWND hwnd_;
  CHyperLink* link_ = nullptr;
};

}  // namespace kelvane
