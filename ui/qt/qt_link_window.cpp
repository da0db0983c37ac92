#include "ui/qt/qt_link_window.h"

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
#include <vector>

#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/hyperlink.h"
#include "ui/qt/focus_frame.h"
#include "ui/qt/link_accessible.h"

namespace kelvane {

namespace {

// The fingertip of res/cursors/hand.cur.
constexpr int kHandHotSpotX = 8;
constexpr int kHandHotSpotY = 3;

// Loaded once, shared by every link and kept until the process ends.
const QCursor& Cursor(LinkCursor kind) {
  static const QCursor hand = [] {
    const auto& cursors = res::Resources().cursors;
    const auto found = cursors.find(IDC_HAND_CURSOR);
    const QPixmap picture(found == cursors.end() ? QString()
                                                 : QStringLiteral(":/res/") + QString::fromUtf8(found->second));
    // Without the picture the system's own pointing hand still marks the link.
    return picture.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(picture, kHandHotSpotX, kHandHotSpotY);
  }();
  static const QCursor arrow(Qt::ArrowCursor);
  return kind == LinkCursor::Hand ? hand : arrow;
}

QColor FromColorRef(COLORREF color) {
  return {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
          static_cast<int>((color >> 16) & 0xFF)};
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

// The text's top-left corner offset pixels right of and below the field's; what does not fit is
// cut off at its edge.
void DrawLinkText(QPainter& painter, const QWidget& field, const QFont& font, const QString& text, const QColor& color,
                  int offset) {
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(QPoint(offset, offset + QFontMetrics(painter.font(), &field).ascent()), text);
}

}  // namespace

QtLinkWindow::QtLinkWindow(QLineEdit* field) : QObject(field), field_(field) {}

QtLinkWindow::~QtLinkWindow() {
  // Going with the field, which is a plain widget by now, no line edit left to hand back.
  if (qobject_cast<QLineEdit*>(parent()) == nullptr) {
    field_ = nullptr;
  }
  if (link_ != nullptr) {
    link_->SubclassWindow(nullptr);
  }
}

void QtLinkWindow::RouteEventsTo(CHyperLink* link) {
  const bool takenOver = link_ != nullptr;
  link_ = link;
  if (field_ == nullptr) {
    return;
  }
  if (link_ == nullptr) {
    if (!takenOver) {
      return;
    }
    // The field's own handling back, as it was before the link took it over.
    field_->removeEventFilter(this);
    if (ownCursor_) {
      field_->setCursor(*ownCursor_);
    } else {
      field_->unsetCursor();
    }
    field_->setFocusPolicy(ownFocusPolicy_);
    MakeAccessibleAsLink(field_, nullptr);
    return;
  }
  if (!takenOver) {
    ownCursor_ = field_->testAttribute(Qt::WA_SetCursor) ? std::optional(field_->cursor()) : std::nullopt;
    ownFocusPolicy_ = field_->focusPolicy();
    field_->installEventFilter(this);
  }
  // Movement without a button pressed drives the hover state.
  field_->setMouseTracking(true);
  // The press is the link's own, so a click does not focus the field; Tab still reaches it.
  field_->setFocusPolicy((field_->focusPolicy() & Qt::TabFocus) != 0 ? Qt::TabFocus : Qt::NoFocus);
  field_->setContextMenuPolicy(Qt::DefaultContextMenu);
  MakeAccessibleAsLink(field_, this);
  // Qt keeps a widget's cursor rather than asking for it each time the pointer moves.
  link_->OnSetCursor();
}

void QtLinkWindow::SetWindowText(std::string_view text) {
  if (field_ != nullptr) {
    field_->setText(FromUtf8(text));
  }
}

bool QtLinkWindow::HasParent() const {
  return field_ != nullptr && field_->parentWidget() != nullptr;
}

QFont QtLinkWindow::LinkFont() const {
  QFont font = field_->font();
  if (link_ != nullptr && link_->underline()) {
    font.setUnderline(true);
  }
  return font;
}

// Measured in the font the text is painted in, so the field is exactly as wide as its text.
int QtLinkWindow::MeasureTextWidth(std::string_view text) const {
  return field_ == nullptr ? 0 : QFontMetrics(LinkFont(), field_).horizontalAdvance(FromUtf8(text));
}

int QtLinkWindow::Width() const {
  return field_ == nullptr ? 0 : field_->width();
}

void QtLinkWindow::SetWidth(int width) {
  if (field_ != nullptr) {
    const QRect geometry = field_->geometry();
    field_->setGeometry(geometry.x(), geometry.y(), width, geometry.height());
  }
}

void QtLinkWindow::Invalidate() {
  if (field_ != nullptr) {
    field_->update();
  }
}

void QtLinkWindow::UpdateWindow() {
  if (field_ != nullptr) {
    // Widgets paint when their window's update request arrives; deliver it now.
    QCoreApplication::sendPostedEvents(field_->window(), QEvent::UpdateRequest);
  }
}

// Qt tells a widget when the pointer leaves it (OnMouseLeave), so the link needs no capture; a
// grab would hold every press of the program.
void QtLinkWindow::SetCapture() {}

void QtLinkWindow::ReleaseCapture() {}

void QtLinkWindow::SetCursor(LinkCursor cursor) {
  if (field_ != nullptr) {
    field_->setCursor(Cursor(cursor));
  }
}

void QtLinkWindow::PostCommand(int id) {
  QMetaObject::invokeMethod(
      this,
      [this, id] {
        if (link_ != nullptr) {
          link_->OnCommand(id);
        }
      },
      Qt::QueuedConnection);
}

ScreenPoint QtLinkWindow::ClientToScreen(ScreenPoint point) const {
  if (field_ == nullptr) {
    return point;
  }
  const QPoint global = field_->mapToGlobal(QPoint(point.x, point.y));
  return {global.x(), global.y()};
}

int QtLinkWindow::TrackPopupMenu(int menuId, ScreenPoint at) {
  const res::Menu& resource = res::LoadMenu(menuId);
  if (field_ == nullptr || resource.items.empty() || !resource.items.front().popup) {
    return 0;
  }
  // Owned by the field, so it goes with it should the dialog close while the menu is open.
  QPointer<QMenu> menu = new QMenu(field_);
  AddMenuItems(*menu, resource.items.front().items);
  const QAction* chosen = menu->exec(QPoint(at.x, at.y));
  const int command = menu != nullptr && chosen != nullptr ? chosen->data().toInt() : 0;
  delete menu.data();
  return command;
}

bool QtLinkWindow::eventFilter(QObject* watched, QEvent* event) {
  if (link_ == nullptr || field_ == nullptr || watched != field_) {
    return false;
  }
  switch (event->type()) {
    case QEvent::Paint: {
      QPainter painter(field_);
      Paint(painter);
      return true;
    }
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
        return false;
      }
      link_->OnLButtonDown();
      return true;
    case QEvent::MouseMove:
      link_->OnMouseMove(field_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()));
      return false;
    case QEvent::Enter: link_->OnMouseMove(true); return false;
    case QEvent::Leave: link_->OnMouseLeave(); return false;
    case QEvent::ContextMenu: {
      const auto* request = static_cast<QContextMenuEvent*>(event);
      link_->OnContextMenu(request->reason() == QContextMenuEvent::Keyboard
                               ? std::nullopt
                               : std::optional(ScreenPoint{request->globalPos().x(), request->globalPos().y()}));
      return true;
    }
    case QEvent::KeyPress: {
      // Shift+F10 asks for the context menu as the Menu key does.
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier) {
        return false;
      }
      link_->OnContextMenu(std::nullopt);
      return true;
    }
    default: return false;
  }
}

void QtLinkWindow::Paint(QPainter& painter) const {
  const QColor face = field_->palette().color(QPalette::Button);
  const QString text = FromUtf8(link_->linkText());
  const QFont font = LinkFont();
  if (link_->DrawsShadow()) {
    // No fill: the shadow lies on what is beneath the field.
    DrawLinkText(painter, *field_, font, text, field_->palette().color(QPalette::Dark), 2);
  } else {
    painter.fillRect(field_->rect(), face);
  }
  // The field has no caret to show: with the keyboard focus on it, the style's focus frame says so.
  // It goes beneath the text, which keeps its colour.
  if (field_->hasFocus()) {
    DrawFocusFrame(painter, field_, field_->rect(), face);
  }
  DrawLinkText(painter, *field_, font, text, FromColorRef(link_->TextColor()), 0);
}

}  // namespace kelvane
