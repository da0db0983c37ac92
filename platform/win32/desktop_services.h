// The Windows desktop services the window program uses: the message box, the save dialog, help,
// opening URLs and the folders shortcuts are saved in. Every text is UTF-8; none of these says more
// about a failure than its result.
#pragma once

#include <optional>
#include <string>

#include "platform/message_box.h"
#include "platform/shell.h"

namespace kelvane {

// MessageBoxW captioned "Kelvane", owned by the thread's active window and modal to the whole thread.
class Win32MessageBox : public MessageBox {
 public:
  // The button pressed; Escape and the close box answer Cancel, or Ok in an Ok box. A box the
  // system cannot show answers as Escape would, or No in a Yes/No box.
  MessageAnswer Show(const std::string& text, MessageButtons buttons = MessageButtons::Ok,
                     MessageIcon icon = MessageIcon::None) override;
};

// The system's Explorer-style save dialog, owned by the thread's active window: no filter, no
// default extension, no overwrite prompt, the system's own title.
class Win32FileDialog : public FileDialog {
 public:
  // initialName is cut to its first 259 characters; an empty initialFolder gives none.
  std::optional<std::string> AskSaveFileName(const std::string& initialFolder, const std::string& initialName) override;
};

// Opens a URL through the shell's Internet Shortcut object, else ShellExecuteW; tells done at once.
class Win32UrlOpener : public UrlOpener {
 public:
  // An empty URL, or one holding NUL, opens nothing.
  void Open(const std::string& url, OpenDone done) override;
};

// The folder the running program's file is in, without a closing backslash.
std::string ProgramFolder();
// The help page of a program in programFolder: kelvane.html beside it; empty when there is none.
std::string FindHelpPage(const std::string& programFolder);
// The page's file: URL, its path UTF-8 and percent-encoded, at the anchor of a help context
// ("#0x20066").
std::string HelpPageUrl(const std::string& page, unsigned context);

// kelvane.html beside the program, opened in the user's browser at the help context's anchor.
class Win32HelpViewer : public HelpViewer {
 public:
  // Looks beside the running program.
  Win32HelpViewer();
  // Looks in programFolder instead.
  explicit Win32HelpViewer(std::string programFolder);

  // Cancels any pointer tracking, shows the wait cursor while the browser starts, and tells done at
  // once: false when the page is missing or nothing could be started.
  void ShowHelp(unsigned context, OpenDone done) override;

 private:
  std::string programFolder_;
};

// The user's Favorites folder, created when missing; empty when the system names none.
std::string FavoritesFolder();
// The user's desktop folder; empty when the system names none.
std::string DesktopFolder();

}  // namespace kelvane
