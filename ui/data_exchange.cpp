#include "ui/data_exchange.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "engine/validation.h"
#include "platform/message_box.h"
#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/template_dialog.h"

namespace kelvane {

DataExchange::DataExchange(TemplateDialog& dialog, bool saveAndValidate) : dialog_(dialog), saving_(saveAndValidate) {}

QWidget* DataExchange::Control(int id) {
  lastControl_ = id;
  return dialog_.GetDlgItem(id);
}

void DataExchange::Text(int id, std::string& value) {
  QWidget* control = Control(id);
  if (auto* line = qobject_cast<QLineEdit*>(control)) {
    if (saving_) {
      value = line->text().toLocal8Bit().toStdString();
    } else {
      line->setText(QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size())));
    }
  } else if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
    if (saving_) {
      value = box->toPlainText().toLocal8Bit().toStdString();
    } else {
      box->setPlainText(QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size())));
    }
  }
}

void DataExchange::Int(int id, int& value) {
  std::string text = std::to_string(value);
  Text(id, text);
  if (saving_ && !ParseRepeatCount(text, value)) {
    Fail(NotAnIntegerMessage());
  }
}

void DataExchange::Check(int id, int& value) {
  auto* box = qobject_cast<QCheckBox*>(Control(id));
  if (box == nullptr) {
    return;
  }
  if (saving_) {
    value = box->isChecked() ? 1 : 0;
    return;
  }
  if (value < 0 || value > 2) {
    value = 0;
  }
  box->setChecked(value != 0);
}

void DataExchange::MinMaxInt(int value, int min, int max) {
  if (saving_ && (value < min || value > max)) {
    Fail(FormatFrameworkText(res::LoadString(IDS_PARSE_INT_RANGE), {std::to_string(min), std::to_string(max)}));
  }
}

void DataExchange::Fail(const std::string& message) {
  FailAt(lastControl_, message);
}

void DataExchange::FailAt(int id, const std::string& message) {
  dialog_.messages().Show(message, MessageButtons::Ok, MessageIcon::Exclamation);
  if (QWidget* control = dialog_.GetDlgItem(id)) {
    control->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
      line->selectAll();
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
      box->selectAll();
    }
  }
  throw ExchangeFailed{};
}

}  // namespace kelvane
