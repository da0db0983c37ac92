// The desktop services the dialogs call, as interfaces: the UI is tested with fakes of them.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kelvane {

// The save form of the file dialog, with no overwrite prompt.
class FileDialog {
 public:
  virtual ~FileDialog() = default;
  // Asks for a file to write. initialFolder and initialName may be empty (then none is given).
  // Returns the full path chosen, or nothing when the user cancels.
  virtual std::optional<std::string> AskSaveFileName(const std::string& initialFolder,
                                                     const std::string& initialName) = 0;
};

// Told once whether a page or URL was opened: on the caller's thread, during the call when the
// answer is known at once, otherwise later from its event loop.
using OpenDone = std::function<void(bool opened)>;

// Opens the program's help page at a help context, such as 0x20066 for the main dialog.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // done(false) when the help page cannot be shown.
  virtual void ShowHelp(unsigned context, OpenDone done) = 0;
};

// Opens a URL with the desktop's handler for it.
class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  // done(false) when no handler took the URL or the handler failed.
  virtual void Open(const std::string& url, OpenDone done) = 0;
};

}  // namespace kelvane
