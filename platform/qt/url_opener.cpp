#include "platform/qt/url_opener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <utility>

namespace kelvane {

void OpenUrlOnDesktop(const QUrl& url, OpenDone done, std::chrono::milliseconds grace) {
  if (!url.isValid() || url.isEmpty()) {
    done(false);
    return;
  }
  // QDesktopServices only says whether xdg-open could be started, not whether anything opened the
  // URL: a desktop without a browser would pass for a success. So the opener is run and waited for
  // here, through the event loop. Unparented, it is left running should the program end first.
  auto* opener = new QProcess;
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  opener->setStandardInputFile(QProcess::nullDevice());
  auto reported = std::make_shared<bool>(false);
  auto report = [reported, done = std::move(done)](bool opened) {
    if (!std::exchange(*reported, true)) {
      done(opened);
    }
  };
  QObject::connect(opener, &QProcess::finished, opener, [opener, report](int code, QProcess::ExitStatus status) {
    report(status == QProcess::NormalExit && code == 0);
    opener->deleteLater();
  });
  QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, report, url](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      report(QDesktopServices::openUrl(url));
      opener->deleteLater();
    }
  });
  QTimer::singleShot(grace, opener, [report] { report(true); });
  opener->start(QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())});
}

void QtUrlOpener::Open(const std::string& url, OpenDone done) {
  // The shell guesses the protocol of an address such as "www.example.com"; fromUserInput does too.
  OpenUrlOnDesktop(QUrl::fromUserInput(QString::fromLocal8Bit(url.data(), static_cast<qsizetype>(url.size()))),
                   std::move(done), grace_);
}

}  // namespace kelvane
