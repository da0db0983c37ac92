#include "ui/hyperlink.h"

#include <utility>

#include "platform/clipboard.h"
#include "platform/internet_shortcut.h"
#include "platform/shell.h"
#include "res/resource.h"

namespace kelvane {

namespace {

// The states: 0 unvisited, 1 visited, 2 hover.
constexpr int kVisited = 1;
constexpr int kHover = 2;

// Where a menu asked for from the keyboard opens, from the client area's top-left corner.
constexpr ScreenPoint kKeyboardMenuOffset{5, 5};

}  // namespace

CHyperLink::CHyperLink(UrlOpener& urls, Clipboard& clipboard, ShortcutFolders folders)
    : urls_(urls), clipboard_(clipboard), folders_(std::move(folders)) {}

CHyperLink::~CHyperLink() {
  SubclassWindow(nullptr);
}

void CHyperLink::SubclassWindow(LinkWindow* window) {
  if (window_ != nullptr) {
    window_->RouteEventsTo(nullptr);
  }
  window_ = window;
  captured_ = false;
  if (window_ != nullptr) {
    window_->RouteEventsTo(this);
  }
}

void CHyperLink::SetLink(const std::string& url, const std::string& text, bool autoSize) {
  autoSize_ = autoSize;
  SetLinkURL(url);
  SetLinkText(text);
}

void CHyperLink::SetLinkURL(const std::string& url) {
  linkUrl_ = url;
}

void CHyperLink::SetLinkText(const std::string& text) {
  linkText_ = text;
  if (window_ != nullptr) {
    window_->SetWindowText(text);
  }
  if (autoSize_) {
    SizeToText();
  }
}

void CHyperLink::SetShadow(bool shadow) {
  shadow_ = shadow;
  if (window_ != nullptr) {
    window_->UpdateWindow();
  }
}

// Only the width changes, so the link grows or shrinks to the right; a window that already has the
// width is not touched.
void CHyperLink::SizeToText() {
  if (window_ == nullptr || !window_->HasParent()) {
    return;
  }
  const int width = window_->MeasureTextWidth(linkText_);
  if (window_->Width() != width) {
    window_->SetWidth(width);
  }
}

void CHyperLink::SetHover(bool on) {
  if (on == (state_ == kHover)) {
    return;
  }
  if (on) {
    savedState_ = state_;
    state_ = kHover;
  } else {
    state_ = savedState_;
  }
  if (window_ != nullptr) {
    window_->Invalidate();
  }
}

void CHyperLink::Capture() {
  if (window_ != nullptr) {
    window_->SetCapture();
    captured_ = true;
  }
}

void CHyperLink::ReleaseCapture() {
  if (window_ != nullptr) {
    window_->ReleaseCapture();
  }
  captured_ = false;
}

void CHyperLink::OnSetCursor() {
  if (window_ != nullptr) {
    window_->SetCursor(menuShowing_ ? LinkCursor::Arrow : LinkCursor::Hand);
  }
}

// Open runs once the press has been handled, through the same command as the menu's "&Open"; the
// press itself (focus, caret, selection) is the link's, not the field's.
void CHyperLink::OnLButtonDown() {
  if (window_ != nullptr) {
    window_->PostCommand(ID_LINK_OPEN);
  }
}

// Holding the capture while hovering is what lets the link see the pointer leave.
void CHyperLink::OnMouseMove(bool insideClient) {
  if (!hoverTracking_) {
    return;
  }
  if (!insideClient) {
    OnMouseLeave();
    return;
  }
  if (state_ != kHover) {
    Capture();
    SetHover(true);
  }
}

// A click's open turns the state to visited while the pointer is still over the link: hover has
// then ended without a repaint, and the capture taken when it began is still held. The pointer
// leaving releases it, so the next press reaches the control under the pointer rather than opening
// the link again, and repaints, so no stale hover colour stays behind.
void CHyperLink::OnMouseLeave() {
  if (state_ == kHover) {
    SetHover(false);
    ReleaseCapture();
  } else if (captured_) {
    ReleaseCapture();
    if (window_ != nullptr) {
      window_->Invalidate();
    }
  }
}

void CHyperLink::OnContextMenu(std::optional<ScreenPoint> at) {
  SetHover(false);
  ReleaseCapture();
  if (window_ == nullptr) {
    return;
  }
  const ScreenPoint position = at ? *at : window_->ClientToScreen(kKeyboardMenuOffset);
  const std::weak_ptr<CHyperLink*> alive = self_;
  menuShowing_ = true;
  OnSetCursor();
  const int command = window_->TrackPopupMenu(IDR_LINK_MENU, position);
  // The dialog may have gone while the menu was open.
  if (alive.expired()) {
    return;
  }
  menuShowing_ = false;
  OnSetCursor();
  OnCommand(command);
}

void CHyperLink::OnCommand(int id) {
  switch (id) {
    case ID_LINK_OPEN: OnOpen(); break;
    case ID_LINK_COPY_SHORTCUT: OnCopyShortcut(); break;
    case ID_LINK_ADD_TO_FAVORITES: OnAddToFavorites(); break;
    case ID_LINK_ADD_TO_DESKTOP: OnAddToDesktop(); break;
    default: break;
  }
}

// The opener's answer may come later, from the event loop: only a success turns the link visited,
// and the visited colour shows at the next repaint; none is asked for here.
void CHyperLink::OnOpen() {
  urls_.Open(linkUrl_, [link = std::weak_ptr<CHyperLink*>(self_)](bool opened) {
    if (const auto alive = link.lock(); opened && alive != nullptr) {
      (*alive)->state_ = kVisited;
    }
  });
}

// Only the text is replaced: whatever else the clipboard holds stays on it.
void CHyperLink::OnCopyShortcut() {
  if (!clipboard_.Open()) {
    return;
  }
  clipboard_.SetText(linkUrl_);
  clipboard_.Close();
}

void CHyperLink::OnAddToFavorites() {
  AddShortcutToFolder(folders_.favorites);
}

void CHyperLink::OnAddToDesktop() {
  AddShortcutToFolder(folders_.desktop);
}

bool CHyperLink::AddShortcutToFolder(const std::function<std::string()>& folder) {
  return folder && SaveInternetShortcut(folder(), linkText_, linkUrl_);
}

COLORREF CHyperLink::TextColor() const {
  switch (state_) {
    case kHover: return hoverColor_;
    case kVisited: return visitedColor_;
    default: return linkColor_;
  }
}

bool CHyperLink::DrawsShadow() const {
  return state_ == kHover && shadow_;
}

bool CHyperLink::visited() const {
  return state_ == kVisited || (state_ == kHover && savedState_ == kVisited);
}

}  // namespace kelvane
