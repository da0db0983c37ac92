// Opening URLs with the desktop's handler: xdg-open, whose exit status says whether it worked.
#pragma once

#include <chrono>

#include "platform/shell.h"

class QUrl;

namespace kelvane {

// How long an opener may run before it counts as having opened the URL: on desktops without an
// opener of their own, xdg-open runs the browser in the foreground and returns only when it ends.
constexpr std::chrono::milliseconds kOpenerGrace{5000};

// Runs xdg-open on url without blocking and tells done whether it exited with status 0 (or was
// still running after grace). Without xdg-open, QDesktopServices decides at once.
void OpenUrlOnDesktop(const QUrl& url, OpenDone done, std::chrono::milliseconds grace = kOpenerGrace);

class QtUrlOpener : public UrlOpener {
 public:
  explicit QtUrlOpener(std::chrono::milliseconds grace = kOpenerGrace) : grace_(grace) {}
  // url is local 8-bit; one without a scheme is guessed ("www.example.com" is http).
  void Open(const std::string& url, OpenDone done) override;

 private:
  std::chrono::milliseconds grace_;
};

}  // namespace kelvane
