// The message box as the core sees it: a text, its buttons and icon, and the user's answer.
#pragma once

#include <string>

namespace kelvane {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

// None means the box's type names no icon, which shows the exclamation icon.
enum class MessageIcon { None, Exclamation, Information, Question, Stop };

enum class MessageAnswer { Ok, Cancel, Yes, No };

// Shows a modal message captioned with the application title.
class MessageBox {
 public:
  virtual ~MessageBox() = default;
  virtual MessageAnswer Show(const std::string& text, MessageButtons buttons = MessageButtons::Ok,
                             MessageIcon icon = MessageIcon::None) = 0;
};

}  // namespace kelvane
