#include "platform/qt/url_opener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace kelvane {

bool OpenUrlOnDesktop(const QUrl& url) {
  if (!url.isValid() || url.isEmpty()) {
    return false;
  }
  if (QDesktopServices::openUrl(url)) {
    return true;
  }
  // Platforms without desktop services (offscreen, bare X servers) still have xdg-open. It is
  // started detached: it may not return until the browser it runs exits.
  return QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())});
}

bool QtUrlOpener::Open(const std::string& url) {
  // The shell guesses the protocol of an address such as "www.example.com"; fromUserInput does too.
  return OpenUrlOnDesktop(QUrl::fromUserInput(QString::fromLocal8Bit(url.data(), static_cast<qsizetype>(url.size()))));
}

}  // namespace kelvane
