#include "ui/qt/focus_frame.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>

namespace kelvane {

void DrawFocusFrame(QPainter& painter, QWidget* widget, const QRect& rect, const QColor& background) {
  QStyleOptionFocusRect focus;
  focus.initFrom(widget);
  // Styles draw it only after keyboard navigation.
  focus.state |= QStyle::State_KeyboardFocusChange;
  focus.rect = rect;
  focus.backgroundColor = background;
  widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, widget);
}

}  // namespace kelvane
