#include "platform/qt/help_viewer.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <memory>
#include <utility>

#include "platform/qt/url_opener.h"

namespace kelvane {

namespace {

const QString kHelpPage = QStringLiteral("kelvane.html");

// The browser can take a moment to start; the wait cursor says the click was heard.
class WaitCursor {
 public:
  WaitCursor() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (shown_) {
      QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
  }
  ~WaitCursor() {
    if (shown_) {
      QGuiApplication::restoreOverrideCursor();
    }
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool shown_;
};

}  // namespace

QStringList HelpPageCandidates(const QString& programDir) {
  const QDir dir(programDir);
  return {
      dir.filePath(kHelpPage),
      QDir::cleanPath(dir.filePath(QStringLiteral("../share/kelvane/") + kHelpPage)),
      QStringLiteral(KELVANE_INSTALL_DATADIR "/kelvane/") + kHelpPage,
  };
}

QString FindHelpPage(const QStringList& candidates) {
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) {
      return QFileInfo(candidate).absoluteFilePath();
    }
  }
  return {};
}

QUrl HelpPageUrl(const QString& page, unsigned context) {
  QUrl url = QUrl::fromLocalFile(page);
  url.setFragment(QStringLiteral("0x") + QString::number(context, 16));
  return url;
}

void QtHelpViewer::ShowHelp(unsigned context, OpenDone done) {
  const QString page =
      FindHelpPage(candidates_ ? *candidates_ : HelpPageCandidates(QCoreApplication::applicationDirPath()));
  if (page.isEmpty()) {
    done(false);
    return;
  }
  auto wait = std::make_shared<std::optional<WaitCursor>>(std::in_place);
  OpenUrlOnDesktop(
      HelpPageUrl(page, context),
      [wait, done = std::move(done)](bool opened) {
        wait->reset();
        done(opened);
      },
      grace_);
}

}  // namespace kelvane
