#include "platform/win32/desktop_services.h"
#include "platform/win32/shortcut_object.h"
#include "platform/win32/wide.h"

namespace kelvane {

namespace {

bool OpenViaShortcutObject(const std::wstring& url, HWND owner) {
  const InternetShortcutObject shortcut(url);
  if (shortcut.get() == nullptr) {
    return false;
  }
  URLINVOKECOMMANDINFOW command = {};
  command.dwcbSize = sizeof command;
  command.dwFlags = IURL_INVOKECOMMAND_FL_ALLOW_UI;
  command.hwndParent = owner;
  command.pcszVerb = L"open";
  return SUCCEEDED(shortcut.get()->InvokeCommand(&command));
}

}  // namespace

void Win32UrlOpener::Open(const std::string& url, OpenDone done) {
  // The shell takes a URL up to its first NUL, and an empty one as the current folder: neither is
  // what the link holds.
  if (url.find('\0') != std::string::npos) {
    done(false);
    return;
  }
  const std::wstring wide = Widen(url);
  const HWND owner = ::GetActiveWindow();
  // Both ways may want COM; without it the shell's own way still works.
  const ComApartment com;
  const bool opened = (com.ready() && OpenViaShortcutObject(wide, owner)) || OpenViaShellExecute(wide, owner);
  done(opened);
}

}  // namespace kelvane
