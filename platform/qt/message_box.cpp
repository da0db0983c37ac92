#include "platform/qt/message_box.h"

#include <QMessageBox>

#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::None:  // a box that names no icon gets the exclamation icon
    case MessageIcon::Exclamation: break;
  }
  return QMessageBox::Warning;
}

struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton;
  QMessageBox::StandardButton escapeButton;
};

ButtonSet ToQtButtons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::OkCancel: return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
    case MessageButtons::YesNo: return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No};
    case MessageButtons::YesNoCancel:
      return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::Cancel};
    case MessageButtons::Ok: break;
  }
  return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
}

MessageAnswer ToAnswer(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: return MessageAnswer::Cancel;
  }
}

}  // namespace

MessageAnswer QtMessageBox::Show(const std::string& text, MessageButtons buttons, MessageIcon icon) {
  const ButtonSet set = ToQtButtons(buttons);
  QMessageBox box(parent_);
  box.setWindowTitle(QString::fromLocal8Bit(res::LoadString(IDS_APP_TITLE)));
  box.setIcon(ToQtIcon(icon));
  // Messages quote what the user typed ("Variable <%s> ..."); rich-text detection would swallow it.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
  box.setStandardButtons(set.buttons);
  box.setDefaultButton(set.defaultButton);
  box.setEscapeButton(set.escapeButton);
  box.exec();
  const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
  return ToAnswer(pressed == QMessageBox::NoButton ? set.escapeButton : pressed);
}

}  // namespace kelvane
