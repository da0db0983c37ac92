#include "app/repeater_app.h"

#include "ui/win32/win32_api.h"

#include <ole2.h>

#include "platform/system_clipboard.h"
#include "platform/win32/desktop_services.h"
#include "ui/repeater_dlg.h"
#include "ui/win32/win32_dialog_host.h"

namespace kelvane {

bool CRepeaterApp::InitInstance() {
  // The link's shell objects (the Internet Shortcut) need OLE; the save dialog needs COM.
  const HRESULT ole = OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  Win32DialogHost host;
  Win32MessageBox messages;
  const std::unique_ptr<Clipboard> clipboard = SystemClipboard();
  Win32FileDialog fileDialog;
  Win32HelpViewer help;
  Win32UrlOpener urls;
  CRepeaterDlg dialog(
      DialogServices{host, messages, *clipboard, fileDialog, help, urls, {FavoritesFolder, DesktopFolder}});
  // Logging off or shutting down closes the program as Close does, a run in hand cancelled,
  // rather than end it with the job the user typed.
  host.SetEndSessionHandler([&dialog] { dialog.OnStopSignal(); });
  dialog.DoModal();

  if (SUCCEEDED(ole)) {
    OleUninitialize();
  }
  return false;
}

}  // namespace kelvane
