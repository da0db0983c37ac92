#include "app/repeater_app.h"

#include "app/stop_signals.h"

#include <QApplication>

#include "platform/qt/clipboard.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/help_viewer.h"
#include "platform/qt/message_box.h"
#include "platform/qt/special_folders.h"
#include "platform/qt/url_opener.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/qt/program_icon.h"
#include "ui/qt/qt_dialog_host.h"
#include "ui/repeater_dlg.h"

namespace kelvane {

bool CRepeaterApp::InitInstance() {
  // The same two names place the settings file: "Orvalle Software Inc./Kelvane.reg".
  QCoreApplication::setOrganizationName(QString::fromUtf8(res::LoadString(IDS_COMPANY_NAME)));
  QCoreApplication::setApplicationName(QString::fromUtf8(res::LoadString(IDS_APP_TITLE)));
  // No display name: Qt would append " — Kelvane" to every caption that is not exactly it, and the
  // captions are the windows' own ("Variable Setup", the save dialog's).
  QGuiApplication::setDesktopFileName(QStringLiteral("kelvane"));
  QApplication::setWindowIcon(ProgramIcon());

  QtMessageBox messages;
  QtClipboard clipboard;
  QtFileDialog fileDialog;
  QtHelpViewer help;
  QtUrlOpener urls;
  QtDialogHost host;
  CRepeaterDlg dialog(
      DialogServices{host, messages, clipboard, fileDialog, help, urls, {FavoritesFolder, DesktopFolder}});
  // Logging out, or Ctrl+C in the terminal that started the program, closes it as Close does,
  // a run in hand cancelled, rather than kill it with the job the user typed.
  const StopSignals stopSignals([&dialog] { dialog.OnStopSignal(); });
  dialog.DoModal();
  return false;
}

}  // namespace kelvane
