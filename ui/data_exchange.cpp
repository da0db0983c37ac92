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

namespace {

// What a text box was last filled with, and how it showed it.
constexpr char kExchangedBytes[] = "kelvaneExchangedBytes";
constexpr char kExchangedText[] = "kelvaneExchangedText";

}  // namespace

DataExchange::DataExchange(TemplateDialog& dialog, bool saveAndValidate, bool quiet)
    : dialog_(dialog), saving_(saveAndValidate), quiet_(quiet) {}

QWidget* DataExchange::Control(int id) {
  lastControl_ = id;
  return dialog_.GetDlgItem(id);
}

void DataExchange::Text(int id, std::string& value) {
  QWidget* control = Control(id);
  auto* line = qobject_cast<QLineEdit*>(control);
  auto* box = qobject_cast<QPlainTextEdit*>(control);
  if (line == nullptr && box == nullptr) {
    return;
  }
  const auto shown = [&] { return line != nullptr ? line->text() : box->toPlainText(); };
  // A field holds characters, not bytes: a text box turns CR LF and a lone CR into LF, and bytes
  // that are not UTF-8 become replacement characters. So a text the user left alone is handed back
  // byte for byte, and an edited one keeps CR LF breaks if it had them; new texts get LF.
  if (saving_) {
    const QString now = shown();
    const QByteArray original = control->property(kExchangedBytes).toByteArray();
    if (control->property(kExchangedText).isValid() && now == control->property(kExchangedText).toString()) {
      value = original.toStdString();
      return;
    }
    QByteArray bytes = now.toLocal8Bit();
    if (box != nullptr && original.contains("\r\n")) {
      bytes.replace("\n", "\r\n");
    }
    value = bytes.toStdString();
    return;
  }
  const QString text = QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size()));
  if (line != nullptr) {
    line->setText(text);
  } else {
    box->setPlainText(text);
  }
  control->setProperty(kExchangedBytes, QByteArray(value.data(), static_cast<qsizetype>(value.size())));
  control->setProperty(kExchangedText, shown());
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
  if (quiet_) {
    throw ExchangeFailed{};
  }
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
