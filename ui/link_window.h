// What the link control's window offers the link's logic (CHyperLink): its text and width, its
// repaints, the pointer, the cursor, commands posted to itself and its context menu. Each toolkit
// supplies one and paints the link as CHyperLink's state says; the logic's tests use a fake.
#pragma once

#include <string_view>

namespace kelvane {

class CHyperLink;

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

enum class LinkCursor { Hand, Arrow };

class LinkWindow {
 public:
  virtual ~LinkWindow() = default;

  // Sends the window's pointer, cursor, paint and context-menu events to link from now on;
  // nullptr gives the field its own handling back.
  virtual void RouteEventsTo(CHyperLink* link) = 0;

  // The window's own text (what assistive tools and a copy of the field read).
  virtual void SetWindowText(std::string_view text) = 0;
  // Whether the window sits in a dialog; sizing to the text needs one.
  [[nodiscard]] virtual bool HasParent() const = 0;
  // The width, in pixels, that text takes as the link draws it.
  [[nodiscard]] virtual int MeasureTextWidth(std::string_view text) const = 0;
  [[nodiscard]] virtual int Width() const = 0;
  // Keeps the left edge, top and height; repaints.
  virtual void SetWidth(int width) = 0;

  // Marks the whole window for repaint, background erase included.
  virtual void Invalidate() = 0;
  // Does any pending repaint now; asks for none.
  virtual void UpdateWindow() = 0;

  // Pointer capture: while held, the window sees the pointer leave it.
  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;
  // The cursor shown over the window from now on.
  virtual void SetCursor(LinkCursor cursor) = 0;
  // Delivers the command to the link later, once the event in hand has been handled.
  virtual void PostCommand(int id) = 0;

  // A point of the window's client area on the screen.
  [[nodiscard]] virtual ScreenPoint ClientToScreen(ScreenPoint point) const = 0;
  // Shows the first popup of menu resource menuId at a screen point and waits for the user.
  // Returns the chosen item's command id; 0 when none was chosen or the window is going away.
  virtual int TrackPopupMenu(int menuId, ScreenPoint at) = 0;
};

}  // namespace kelvane
