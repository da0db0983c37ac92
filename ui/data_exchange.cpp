#include "ui/data_exchange.h"

#include "engine/validation.h"
#include "platform/message_box.h"
#include "platform/message_text.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/dialog.h"

namespace kelvane {

std::string ToWindowsLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      out += '\r';
    }
    out += text[i];
  }
  return out;
}

DataExchange::DataExchange(CDialog& dialog, bool saveAndValidate, bool quiet)
    : dialog_(dialog), window_(*dialog.window()), saving_(saveAndValidate), quiet_(quiet) {}

// A field holds characters, not bytes: a Qt text box turns CR LF and a lone CR into LF, a Windows
// edit control shows lone LFs as CR LF, and bytes that are not UTF-8 become replacement
// characters. So a text the user left alone is handed back byte for byte, and an edited one keeps
// CR LF breaks if it had them; new texts get the field's own breaks.
void DataExchange::Text(int id, std::string& value) {
  lastControl_ = id;
  auto& exchanged = dialog_.exchanged_;
  if (saving_) {
    std::string now = window_.GetDlgItemText(id);
    const auto found = exchanged.find(id);
    const bool filled = found != exchanged.end();
    if (filled && now == found->second.shown) {
      value = found->second.bytes;
    } else if (filled && found->second.bytes.find("\r\n") != std::string::npos) {
      value = ToWindowsLineBreaks(now);
    } else {
      value = std::move(now);
    }
    return;
  }
  window_.SetDlgItemText(id, value);
  exchanged[id] = {value, window_.GetDlgItemText(id)};
}

void DataExchange::Int(int id, int& value) {
  std::string text = std::to_string(value);
  Text(id, text);
  if (saving_ && !ParseRepeatCount(text, value)) {
    Fail(NotAnIntegerMessage());
  }
}

void DataExchange::Check(int id, int& value) {
  lastControl_ = id;
  if (saving_) {
    value = window_.IsDlgButtonChecked(id) ? 1 : 0;
    return;
  }
  if (value < 0 || value > 2) {
    value = 0;
  }
  window_.CheckDlgButton(id, value != 0);
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
  window_.GotoDlgCtrl(id);
  throw ExchangeFailed{};
}

}  // namespace kelvane
