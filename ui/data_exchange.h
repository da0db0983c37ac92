// The data exchange of a dialog: members to or from its controls, in a fixed order, with checks.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

class CDialog;
class DialogWindow;

// text with CR LF for every lone LF: the line breaks of a Windows edit control, and of a value text
// whose breaks were CR LF.
std::string ToWindowsLineBreaks(std::string_view text);

// Thrown to end an exchange early once its message has been shown.
struct ExchangeFailed {};

class DataExchange {
 public:
  // dialog must have its window. quiet: a failure ends the exchange without a message or a move
  // of the focus.
  DataExchange(CDialog& dialog, bool saveAndValidate, bool quiet = false);

  [[nodiscard]] bool saving() const { return saving_; }

  // The text of an edit field. A field the user left alone hands back the member's bytes; an
  // edited one whose text had CR LF breaks gets CR LF for each lone LF.
  void Text(int id, std::string& value);
  // An edit field holding a decimal integer; refused text shows "Please enter an integer.".
  void Int(int id, int& value);
  // A check box: 1 when ticked, 0 when not; out-of-range members show as unticked.
  void Check(int id, int& value);
  // When saving: value must lie within min and max, else the range message.
  void MinMaxInt(int value, int min, int max);
  // Shows message, puts the focus on the control exchanged last (selecting an edit field's
  // text) and ends the exchange.
  [[noreturn]] void Fail(const std::string& message);
  // The same, with the focus on a given control.
  [[noreturn]] void FailAt(int id, const std::string& message);

 private:
  CDialog& dialog_;
  DialogWindow& window_;
  bool saving_;
  bool quiet_;
  int lastControl_ = 0;
};

}  // namespace kelvane
