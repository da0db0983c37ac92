// The desktop services the dialogs use; the program passes its toolkit's, tests their fakes.
#pragma once

#include <functional>
#include <string>

namespace kelvane {

class Clipboard;
class DialogHost;
class FileDialog;
class HelpViewer;
class MessageBox;
class UrlOpener;

// Where the link's Add commands save shortcuts; each gives a folder, or an empty string when the
// system has none.
struct ShortcutFolders {
  std::function<std::string()> favorites;
  std::function<std::string()> desktop;
};

// References to services that outlive every dialog; copied freely.
struct DialogServices {
  DialogHost& host;
  MessageBox& messages;
  Clipboard& clipboard;
  FileDialog& fileDialog;
  HelpViewer& help;
  UrlOpener& urls;
  ShortcutFolders folders;
};

}  // namespace kelvane
