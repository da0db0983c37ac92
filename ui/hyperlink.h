// The link to the maker's web site: takes over a read-only line edit of a dialog.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/shell.h"
#include "ui/dialog_services.h"

class QColor;
class QContextMenuEvent;
class QFont;
class QLineEdit;
class QPainter;
class QPoint;

namespace kelvane {

class Clipboard;

// A colour as 0x00BBGGRR: red in the low byte, green in the next, blue in the third.
using COLORREF = std::uint32_t;

// Draws a field's text as a link, opens its URL when clicked and offers the link's context menu.
// Every failure of its commands is silent.
class CHyperLink : public QObject {
 public:
  // The link is inert until SubclassWindow() hands it its field.
  CHyperLink(UrlOpener& urls, Clipboard& clipboard, ShortcutFolders folders);
  // Hands the field back to its own handling.
  ~CHyperLink() override;

  // Takes over field's painting, cursor, pointer and context menu; other events still reach it.
  void SubclassWindow(QLineEdit* field);
  // The field taken over, or nullptr.
  [[nodiscard]] QLineEdit* field() const;

  // Stores autoSize, then sets the URL, then the display text.
  void SetLink(const std::string& url, const std::string& text, bool autoSize);
  // The address opened, copied and saved; nothing is redrawn or resized.
  void SetLinkURL(const std::string& url);
  // The text drawn and shortcuts are named after; the field is sized to it when auto-size is on.
  void SetLinkText(const std::string& text);
  // Whether hovering draws a shadow of the text; paints what is pending, requests nothing new.
  void SetShadow(bool shadow);

  // The display text.
  [[nodiscard]] const std::string& linkText() const { return linkText_; }
  // Whether an open has succeeded (shown in the visited colour).
  [[nodiscard]] bool visited() const;

  // Opens the URL; once the opener reports success the link counts as visited from its next
  // repaint on.
  void OnOpen();
  // Puts the URL on the clipboard as its text, keeping the other formats.
  void OnCopyShortcut();
  // Saves an Internet shortcut for the URL in the Favorites folder.
  void OnAddToFavorites();
  // Saves an Internet shortcut for the URL in the Desktop folder.
  void OnAddToDesktop();
  // Runs the menu command with this id; other ids are ignored.
  void OnCommand(int id);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SizeToText();
  void SetHover(bool on);
  void OpenLink(OpenDone done);
  bool AddShortcutToFolder(const std::function<std::string()>& folder);
  void OnLButtonDown();
  void OnMouseMove(const QPoint& position);
  void OnMouseLeave();
  void OnContextMenu(const QContextMenuEvent& event);
  void OnEraseBkgnd(QPainter& painter);
  void OnPaint(QPainter& painter);
  void DrawLinkText(QPainter& painter, const QColor& color, int offset) const;
  void UpdateCursor();
  [[nodiscard]] QFont LinkFont() const;

  UrlOpener& urls_;
  Clipboard& clipboard_;
  ShortcutFolders folders_;
  QPointer<QLineEdit> field_;

  std::string linkText_;
  std::string linkUrl_;
  COLORREF linkColor_ = 0x00EE0000;
  COLORREF visitedColor_ = 0x008B1A55;
  bool autoSize_ = true;
  bool hoverTracking_ = true;
  COLORREF hoverColor_ = 0x000000FF;
  int state_ = 0;  // 0 unvisited, 1 visited, 2 hover
  bool underline_ = true;
  bool shadow_ = true;
  int savedState_ = 0;  // the state hover began in, restored when it ends
  bool menuShowing_ = false;
  bool paintedHover_ = false;  // the field last showed the hover colour
};

}  // namespace kelvane
