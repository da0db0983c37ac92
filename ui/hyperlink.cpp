#include "ui/hyperlink.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <utility>
#include <vector>

#include "platform/clipboard.h"
#include "platform/internet_shortcut.h"
#include "platform/shell.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/focus_frame.h"
#include "ui/link_accessible.h"

namespace kelvane {

namespace {

constexpr int kUnvisited = 0;
constexpr int kVisited = 1;
constexpr int kHover = 2;

// The fingertip of res/cursors/hand.png.
constexpr int kHandHotSpotX = 8;
constexpr int kHandHotSpotY = 3;

// Loaded once, shared by every link and kept until the process ends.
const QCursor* handCursor = nullptr;
const QCursor* arrowCursor = nullptr;

void LoadCursors() {
  if (handCursor != nullptr) {
    return;
  }
  const auto& cursors = res::Resources().cursors;
  const auto found = cursors.find(IDC_HAND_CURSOR);
  const QPixmap picture(found == cursors.end() ? QString()
                                               : QStringLiteral(":/res/") + QString::fromUtf8(found->second));
  // Without the picture the system's own pointing hand still marks the link.
  handCursor =
      picture.isNull() ? new QCursor(Qt::PointingHandCursor) : new QCursor(picture, kHandHotSpotX, kHandHotSpotY);
  arrowCursor = new QCursor(Qt::ArrowCursor);
}

QColor FromColorRef(COLORREF color) {
  return {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
          static_cast<int>((color >> 16) & 0xFF)};
}

QString FromLocal8Bit(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

void AddMenuItems(QMenu& menu, const std::vector<res::MenuItem>& items) {
  for (const res::MenuItem& item : items) {
    if (item.separator) {
      menu.addSeparator();
    } else if (item.popup) {
      AddMenuItems(*menu.addMenu(QString::fromUtf8(item.text)), item.items);
    } else {
      menu.addAction(QString::fromUtf8(item.text))->setData(item.id);
    }
  }
}

}  // namespace

CHyperLink::CHyperLink(UrlOpener& urls, Clipboard& clipboard, ShortcutFolders folders)
    : urls_(urls), clipboard_(clipboard), folders_(std::move(folders)) {}

CHyperLink::~CHyperLink() {
  if (field_ != nullptr) {
    field_->removeEventFilter(this);
  }
}

void CHyperLink::SubclassWindow(QLineEdit* field) {
  if (field_ != nullptr) {
    field_->removeEventFilter(this);
  }
  field_ = field;
  if (field_ == nullptr) {
    return;
  }
  field_->installEventFilter(this);
  // Movement without a button pressed drives the hover state.
  field_->setMouseTracking(true);
  // The press is the link's own, so a click does not focus the field; Tab still reaches it.
  field_->setFocusPolicy((field_->focusPolicy() & Qt::TabFocus) != 0 ? Qt::TabFocus : Qt::NoFocus);
  field_->setContextMenuPolicy(Qt::DefaultContextMenu);
  MakeAccessibleAsLink(field_, this);
  UpdateCursor();
}

QLineEdit* CHyperLink::field() const {
  return field_;
}

bool CHyperLink::visited() const {
  return state_ == kVisited || (state_ == kHover && savedState_ == kVisited);
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
  if (field_ != nullptr) {
    field_->setText(FromLocal8Bit(text));
  }
  if (autoSize_) {
    SizeToText();
  }
  LoadCursors();
  UpdateCursor();
}

void CHyperLink::SetShadow(bool shadow) {
  shadow_ = shadow;
  if (field_ != nullptr) {
    // Widgets paint when their window's update request arrives; deliver it now.
    QCoreApplication::sendPostedEvents(field_->window(), QEvent::UpdateRequest);
  }
}

QFont CHyperLink::LinkFont() const {
  QFont font = field_->font();
  if (underline_) {
    font.setUnderline(true);
  }
  return font;
}

// Measured in the font the text is painted in, so the field is exactly as wide as its text.
void CHyperLink::SizeToText() {
  if (field_ == nullptr || field_->parentWidget() == nullptr) {
    return;
  }
  const int width = QFontMetrics(LinkFont(), field_).horizontalAdvance(FromLocal8Bit(linkText_));
  const QRect geometry = field_->geometry();
  if (geometry.width() != width) {
    field_->setGeometry(geometry.x(), geometry.y(), width, geometry.height());
  }
}

void CHyperLink::SetHover(bool on) {
  if (on) {
    if (state_ == kHover) {
      return;
    }
    savedState_ = state_;
    state_ = kHover;
  } else {
    if (state_ != kHover) {
      return;
    }
    state_ = savedState_;
  }
  if (field_ != nullptr) {
    field_->update();
  }
}

void CHyperLink::UpdateCursor() {
  if (field_ == nullptr || handCursor == nullptr) {
    return;
  }
  field_->setCursor(menuShowing_ ? *arrowCursor : *handCursor);
}

bool CHyperLink::eventFilter(QObject* watched, QEvent* event) {
  if (field_ == nullptr || watched != field_) {
    return false;
  }
  switch (event->type()) {
    case QEvent::Paint: {
      QPainter painter(field_);
      OnEraseBkgnd(painter);
      OnPaint(painter);
      return true;
    }
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
        return false;
      }
      OnLButtonDown();
      return true;
    case QEvent::MouseMove:
      if (!hoverTracking_) {
        return true;
      }
      OnMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
      return false;
    case QEvent::Enter:
      if (hoverTracking_) {
        SetHover(true);
      }
      return false;
    case QEvent::Leave:
      if (hoverTracking_) {
        OnMouseLeave();
      }
      return false;
    case QEvent::ContextMenu: OnContextMenu(*static_cast<QContextMenuEvent*>(event)); return true;
    case QEvent::KeyPress: {
      // Shift+F10 asks for the context menu as the Menu key does.
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier) {
        return false;
      }
      OnContextMenu(QContextMenuEvent(QContextMenuEvent::Keyboard, QPoint(), field_->mapToGlobal(QPoint())));
      return true;
    }
    default: return false;
  }
}

// Open runs once the press has been handled, through the same command as the menu's "&Open".
void CHyperLink::OnLButtonDown() {
  QMetaObject::invokeMethod(
      this, [this] { OnCommand(ID_LINK_OPEN); }, Qt::QueuedConnection);
}

void CHyperLink::OnMouseMove(const QPoint& position) {
  SetHover(field_->rect().contains(position));
}

// Leaving ends hover. After a click has opened the link the state is already visited, but the
// field may still show the hover colour: repaint it so the pointer leaves no stale red behind.
void CHyperLink::OnMouseLeave() {
  if (state_ == kHover) {
    SetHover(false);
  } else if (paintedHover_) {
    field_->update();
  }
}

void CHyperLink::OnContextMenu(const QContextMenuEvent& event) {
  SetHover(false);
  const QPoint position =
      event.reason() == QContextMenuEvent::Keyboard ? field_->mapToGlobal(QPoint(5, 5)) : event.globalPos();
  const res::Menu& resource = res::LoadMenu(IDR_LINK_MENU);
  if (resource.items.empty() || !resource.items.front().popup) {
    return;
  }
  // Owned by the field, so it goes with it should the dialog close while the menu is open.
  QPointer<QMenu> menu = new QMenu(field_);
  AddMenuItems(*menu, resource.items.front().items);
  const QPointer<CHyperLink> alive(this);
  menuShowing_ = true;
  UpdateCursor();
  const QAction* chosen = menu->exec(position);
  const int command = menu != nullptr && chosen != nullptr ? chosen->data().toInt() : 0;
  delete menu.data();
  if (alive == nullptr) {
    return;
  }
  menuShowing_ = false;
  UpdateCursor();
  OnCommand(command);
}

void CHyperLink::OnEraseBkgnd(QPainter& painter) {
  if (state_ == kHover && shadow_) {
    // No fill: the shadow lies on what is beneath the field.
    DrawLinkText(painter, field_->palette().color(QPalette::Dark), 2);
    return;
  }
  painter.fillRect(field_->rect(), field_->palette().color(QPalette::Button));
}

void CHyperLink::OnPaint(QPainter& painter) {
  // The field has no caret to show: with the keyboard focus on it, the style's focus frame says so.
  // It goes beneath the text, which keeps its colour.
  if (field_->hasFocus()) {
    DrawFocusFrame(painter, field_, field_->rect(), field_->palette().color(QPalette::Button));
  }
  const COLORREF color = state_ == kHover ? hoverColor_ : state_ == kVisited ? visitedColor_ : linkColor_;
  DrawLinkText(painter, FromColorRef(color), 0);
  paintedHover_ = state_ == kHover;
}

// The text's top-left corner offset pixels right of and below the field's; what does not fit is
// cut off at its edge.
void CHyperLink::DrawLinkText(QPainter& painter, const QColor& color, int offset) const {
  painter.setFont(LinkFont());
  painter.setPen(color);
  painter.drawText(QPoint(offset, offset + QFontMetrics(painter.font(), field_).ascent()), FromLocal8Bit(linkText_));
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
  OpenLink([link = QPointer<CHyperLink>(this)](bool opened) {
    if (opened && link != nullptr) {
      link->state_ = kVisited;
    }
  });
}

void CHyperLink::OpenLink(OpenDone done) {
  urls_.Open(linkUrl_, std::move(done));
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

}  // namespace kelvane
