// Opening URLs with the desktop's handler, falling back to xdg-open.
#pragma once

#include "platform/shell.h"

class QUrl;

namespace kelvane {

// Hands url to QDesktopServices, else to a detached xdg-open; false when neither took it.
bool OpenUrlOnDesktop(const QUrl& url);

class QtUrlOpener : public UrlOpener {
 public:
  // url is local 8-bit; one without a scheme is guessed ("www.example.com" is http).
  bool Open(const std::string& url) override;
};

}  // namespace kelvane
