// The desktop services the dialogs use; the program passes the Qt ones, tests their fakes.
#pragma once

namespace kelvane {

class Clipboard;
class FileDialog;
class HelpViewer;
class MessageBox;
class UrlOpener;

// References to services that outlive every dialog; copied freely.
struct DialogServices {
  MessageBox& messages;
  Clipboard& clipboard;
  FileDialog& fileDialog;
  HelpViewer& help;
  UrlOpener& urls;
};

}  // namespace kelvane
