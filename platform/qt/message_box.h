// The message box as a QMessageBox captioned with the application title.
#pragma once

#include "platform/message_box.h"

class QWidget;

namespace kelvane {

class QtMessageBox : public MessageBox {
 public:
  // Boxes are modal to parent (none: to the application).
  explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}

  // Shows text (local 8-bit, shown as plain text) and returns the button pressed; Escape and the
  // close box answer Cancel, or No in a Yes/No box, or Ok in an Ok box.
  MessageAnswer Show(const std::string& text, MessageButtons buttons = MessageButtons::Ok,
                     MessageIcon icon = MessageIcon::None) override;

 private:
  QWidget* parent_;
};

}  // namespace kelvane
