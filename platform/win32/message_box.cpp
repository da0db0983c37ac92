#include <windows.h>
// windows.h renames MessageBox and LoadString to their W forms, and with them kelvane's.
#undef MessageBox
#undef LoadString

#include "platform/win32/desktop_services.h"
#include "platform/win32/wide.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

UINT ButtonStyle(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::OkCancel: return MB_OKCANCEL;
    case MessageButtons::YesNo: return MB_YESNO;
    case MessageButtons::YesNoCancel: return MB_YESNOCANCEL;
    case MessageButtons::Ok: break;
  }
  return MB_OK;
}

UINT IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Question: return MB_ICONQUESTION;
    case MessageIcon::Stop: return MB_ICONSTOP;
    case MessageIcon::None:  // a box that names no icon gets the exclamation icon
    case MessageIcon::Exclamation: break;
  }
  return MB_ICONEXCLAMATION;
}

// What Escape answers; a Yes/No box has no Escape, and a box that could not be shown must not be
// taken for a Yes.
MessageAnswer RefusedAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel: break;
  }
  return MessageAnswer::Cancel;
}

}  // namespace

// Task-modal: every window of the thread waits for the answer, not only the owner.
MessageAnswer Win32MessageBox::Show(const std::string& text, MessageButtons buttons, MessageIcon icon) {
  const std::wstring caption = Widen(res::LoadString(IDS_APP_TITLE));
  switch (::MessageBoxW(::GetActiveWindow(), Widen(text).c_str(), caption.c_str(),
                        ButtonStyle(buttons) | IconStyle(icon) | MB_TASKMODAL)) {
    case IDOK: return MessageAnswer::Ok;
    case IDYES: return MessageAnswer::Yes;
    case IDNO: return MessageAnswer::No;
    case IDCANCEL: return MessageAnswer::Cancel;
    default: return RefusedAnswer(buttons);
  }
}

}  // namespace kelvane
