// Fakes of the desktop services for the dialog tests.
#pragma once

#include "support/service_fakes.h"
#include "support/test_support.h"
#include "ui/repeater_dlg.h"

namespace kelvane::test {

// Every service a dialog needs, faked, with a private settings folder.
struct FakeDesktop {
  TempDir config;
  ScopedEnv xdg{"XDG_CONFIG_HOME", config.path().c_str()};
  RecordingMessageBox messages;
  GatedClipboard clipboard;
  FakeFileDialog fileDialog;
  FakeHelpViewer help;
  FakeUrlOpener urls;

  DialogServices services() { return {messages, clipboard, fileDialog, help, urls}; }
};

}  // namespace kelvane::test
