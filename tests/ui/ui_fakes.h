// The desktop services for the dialogs' Qt tests: the fakes, with the Qt windows.
#pragma once

#include "platform/qt/special_folders.h"
#include "support/service_fakes.h"
#include "support/test_support.h"
#include "ui/qt/qt_dialog_host.h"
#include "ui/qt/template_dialog.h"
#include "ui/repeater_dlg.h"

namespace kelvane::test {

// Every service a dialog needs, faked but for the Qt windows, with a private settings folder.
struct FakeDesktop {
  TempDir config;
  ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().c_str()};
  QtDialogHost host;
  RecordingMessageBox messages;
  GatedClipboard clipboard;
  FakeFileDialog fileDialog;
  FakeHelpViewer help;
  FakeUrlOpener urls;

  DialogServices services() {
    return {host, messages, clipboard, fileDialog, help, urls, {FavoritesFolder, DesktopFolder}};
  }
};

}  // namespace kelvane::test
