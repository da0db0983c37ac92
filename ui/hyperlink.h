// The link to the maker's web site: its states, its commands and what its window paints, free of
// any toolkit. The window (LinkWindow) is the toolkit's; it routes its events here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/dialog_services.h"
#include "ui/link_window.h"

namespace kelvane {

class Clipboard;
class UrlOpener;

// A colour as 0x00BBGGRR: red in the low byte, green in the next, blue in the third.
using COLORREF = std::uint32_t;

// Draws a field's text as a link, opens its URL when clicked and offers the link's context menu.
// Every failure of its commands is silent.
class CHyperLink {
 public:
  // The link is inert until SubclassWindow() hands it its window.
  CHyperLink(UrlOpener& urls, Clipboard& clipboard, ShortcutFolders folders);
  // Hands the window back to its own handling.
  ~CHyperLink();
  CHyperLink(const CHyperLink&) = delete;
  CHyperLink& operator=(const CHyperLink&) = delete;

  // Takes the window's pointer, cursor, paint and context-menu events over; nullptr hands them back.
  void SubclassWindow(LinkWindow* window);
  // The window taken over, or nullptr.
  [[nodiscard]] LinkWindow* window() const { return window_; }

  // Stores autoSize, then sets the URL, then the display text.
  void SetLink(const std::string& url, const std::string& text, bool autoSize);
  // The address opened, copied and saved; nothing is redrawn or resized.
  void SetLinkURL(const std::string& url);
  // The text drawn and shortcuts are named after; the window is sized to it when auto-size is on.
  void SetLinkText(const std::string& text);
  // Whether hovering draws a shadow of the text; paints what is pending, requests nothing new.
  void SetShadow(bool shadow);

  // The window's events.
  // Sets the hand, or the arrow while the context menu shows.
  void OnSetCursor();
  // Posts the open command to the window, so that it runs once the press has been handled.
  void OnLButtonDown();
  // The pointer moved, inside the client area or outside it (seen while the pointer is captured).
  void OnMouseMove(bool insideClient);
  // The pointer left the window, for toolkits that say so rather than capture the pointer.
  void OnMouseLeave();
  // The context menu, at a screen point, or from the keyboard (nullopt) at the client area's
  // top-left corner plus (5, 5); then runs the chosen command.
  void OnContextMenu(std::optional<ScreenPoint> at);
  // Runs the menu command with this id; other ids are ignored.
  void OnCommand(int id);

  // The commands.
  // Opens the URL; once the opener reports success the link counts as visited from its next
  // repaint on.
  void OnOpen();
  // Puts the URL on the clipboard as its text, keeping the other formats.
  void OnCopyShortcut();
  // Saves an Internet shortcut for the URL in the Favorites folder.
  void OnAddToFavorites();
  // Saves an Internet shortcut for the URL in the Desktop folder.
  void OnAddToDesktop();

  // What the window paints: if DrawsShadow(), the text at (2, 2) in the button-shadow colour with
  // no fill, else a button-face fill; then the text at (0, 0) in TextColor().
  [[nodiscard]] COLORREF TextColor() const;
  [[nodiscard]] bool DrawsShadow() const;
  [[nodiscard]] bool underline() const { return underline_; }
  // The display text.
  [[nodiscard]] const std::string& linkText() const { return linkText_; }
  [[nodiscard]] const std::string& linkURL() const { return linkUrl_; }
  // Whether an open has succeeded (shown in the visited colour when not hovering).
  [[nodiscard]] bool visited() const;
  // 0 unvisited, 1 visited, 2 hover.
  [[nodiscard]] int state() const { return state_; }
  // Whether the context menu is being tracked.
  [[nodiscard]] bool menuShowing() const { return menuShowing_; }

 private:
  void SizeToText();
  void SetHover(bool on);
  void Capture();
  void ReleaseCapture();
  bool AddShortcutToFolder(const std::function<std::string()>& folder);

  UrlOpener& urls_;
  Clipboard& clipboard_;
  ShortcutFolders folders_;
  LinkWindow* window_ = nullptr;
  // Lets an opener's late answer or the end of a menu find out whether the link is still there.
  std::shared_ptr<CHyperLink*> self_ = std::make_shared<CHyperLink*>(this);

  std::string linkText_;
  std::string linkUrl_;
  COLORREF linkColor_ = 0x00EE0000;
  COLORREF visitedColor_ = 0x008B1A55;
  bool autoSize_ = true;
  bool hoverTracking_ = true;
  COLORREF hoverColor_ = 0x000000FF;
  int state_ = 0;
  bool underline_ = true;
  bool shadow_ = true;
  int savedState_ = 0;  // the state hover began in, restored when it ends
  bool menuShowing_ = false;
  bool captured_ = false;  // the pointer capture taken when hover began is held
};

}  // namespace kelvane
