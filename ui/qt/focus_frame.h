// The style's keyboard-focus frame, for controls that draw their own face.
#pragma once

class QColor;
class QPainter;
class QRect;
class QWidget;

namespace kelvane {

// Draws the focus frame of widget's style around rect, over background, whether or not the focus
// came from the keyboard: for these controls it is the only sign of the focus.
void DrawFocusFrame(QPainter& painter, QWidget* widget, const QRect& rect, const QColor& background);

}  // namespace kelvane
