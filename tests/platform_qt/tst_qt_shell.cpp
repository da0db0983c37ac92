// Opening URLs and the help page on the desktop, and the special folders for shortcuts.
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "platform/qt/help_viewer.h"
#include "platform/qt/special_folders.h"
#include "platform/qt/url_opener.h"

using kelvane::QtHelpViewer;
using kelvane::QtUrlOpener;

namespace {

// Sets an environment variable while alive, then puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
    old_ = qgetenv(name);
    qputenv(name, value);
  }
  ~ScopedEnv() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

// A PATH holding only an xdg-open that writes its arguments to a log, or (installed = false) none.
class FakeXdgOpen {
 public:
  explicit FakeXdgOpen(bool installed = true)
      : path_("PATH", dir_.path().toLocal8Bit()), log_("KELVANE_XDG_LOG", dir_.filePath("log").toLocal8Bit()) {
    if (installed) {
      QFile script(dir_.filePath(QStringLiteral("xdg-open")));
      script.open(QIODevice::WriteOnly);
      script.write(
          "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$KELVANE_XDG_LOG.part\" && /bin/mv \"$KELVANE_XDG_LOG.part\" "
          "\"$KELVANE_XDG_LOG\"\n");
      script.close();
      script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
  }
  // The arguments xdg-open was run with, one a line; empty until it has run.
  [[nodiscard]] QByteArray Log() const {
    QFile log(dir_.filePath(QStringLiteral("log")));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
  }

 private:
  QTemporaryDir dir_;
  ScopedEnv path_;
  ScopedEnv log_;
};

void WriteFile(const QString& path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write("<html></html>");
}

}  // namespace

class TestQtShell : public QObject {
  Q_OBJECT

 public slots:
  // Stands in for the desktop's handler of a URL scheme.
  void Record(const QUrl& url) { opened_.append(url); }

 private slots:
  void init() { opened_.clear(); }
  void cleanup() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  }

  void urlOpenerHandsTheUrlToTheDesktop_data() {
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QUrl>("opened");
    QTest::newRow("web address") << QByteArray("https://www.orvalle.example/") << QUrl("https://www.orvalle.example/");
    QTest::newRow("no scheme: http is guessed")
        << QByteArray("www.orvalle.example") << QUrl("http://www.orvalle.example");
  }
  void urlOpenerHandsTheUrlToTheDesktop() {
    QFETCH(QByteArray, url);
    QFETCH(QUrl, opened);
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Record");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Record");
    FakeXdgOpen xdgOpen;
    QVERIFY(QtUrlOpener().Open(url.toStdString()));
    QCOMPARE(opened_, QList<QUrl>{opened});
    QVERIFY(xdgOpen.Log().isEmpty());
  }

  void urlOpenerFallsBackToXdgOpen() {
    // The offscreen platform has no desktop services, as a bare X server has none.
    FakeXdgOpen xdgOpen;
    QVERIFY(QtUrlOpener().Open("https://www.orvalle.example/tools?a=1&b=2"));
    QTRY_COMPARE(xdgOpen.Log(), QByteArray("https://www.orvalle.example/tools?a=1&b=2\n"));
  }

  void urlOpenerFailsWhenNothingOpensIt_data() {
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<bool>("xdgOpenInstalled");
    QTest::newRow("no xdg-open") << QByteArray("https://www.orvalle.example/") << false;
    QTest::newRow("empty url") << QByteArray("") << true;
  }
  void urlOpenerFailsWhenNothingOpensIt() {
    QFETCH(QByteArray, url);
    QFETCH(bool, xdgOpenInstalled);
    FakeXdgOpen xdgOpen(xdgOpenInstalled);
    QVERIFY(!QtUrlOpener().Open(url.toStdString()));
    QTest::qWait(100);
    QVERIFY(xdgOpen.Log().isEmpty());
  }

  void helpPageIsLookedForInOrder_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("found");
    QTest::newRow("beside the program wins")
        << QStringList{"bin/kelvane.html", "share/kelvane/kelvane.html", "data/kelvane/kelvane.html"}
        << "bin/kelvane.html";
    QTest::newRow("then ../share/kelvane")
        << QStringList{"share/kelvane/kelvane.html", "data/kelvane/kelvane.html"} << "share/kelvane/kelvane.html";
    QTest::newRow("then the later places") << QStringList{"res/kelvane.html"} << "res/kelvane.html";
    QTest::newRow("a folder of that name is no page")
        << QStringList{"bin/kelvane.html/x", "res/kelvane.html"} << "res/kelvane.html";
    QTest::newRow("nowhere") << QStringList{} << "";
  }
  void helpPageIsLookedForInOrder() {
    QFETCH(QStringList, present);
    QFETCH(QString, found);
    QTemporaryDir root;
    QDir().mkpath(root.filePath("bin"));
    for (const QString& file : present) {
      WriteFile(root.filePath(file));
    }
    QStringList candidates = kelvane::HelpPageCandidates(root.filePath("bin"));
    QCOMPARE(candidates.size(), 4);
    QCOMPARE(candidates[0], root.filePath("bin/kelvane.html"));
    QCOMPARE(candidates[1], root.filePath("share/kelvane/kelvane.html"));
    // The installed and source-tree places are fixed at build time; stand in for them here.
    candidates[2] = root.filePath("data/kelvane/kelvane.html");
    candidates[3] = root.filePath("res/kelvane.html");
    QCOMPARE(kelvane::FindHelpPage(candidates), found.isEmpty() ? QString() : root.filePath(found));
  }

  void helpOpensThePageAtTheContextsAnchor_data() {
    QTest::addColumn<unsigned>("context");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("main dialog") << 0x20066u << "0x20066";
    QTest::newRow("variable setup dialog") << 0x20081u << "0x20081";
    QTest::newRow("hex digits are lower case") << 0x2ABCDu << "0x2abcd";
  }
  void helpOpensThePageAtTheContextsAnchor() {
    QFETCH(unsigned, context);
    QFETCH(QString, fragment);
    QTemporaryDir root;
    WriteFile(root.filePath("Hilfe \u00e4/kelvane.html"));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Record");
    QVERIFY(QtHelpViewer({root.filePath("Hilfe \u00e4/kelvane.html")}).ShowHelp(context));
    QCOMPARE(opened_.size(), 1);
    QCOMPARE(opened_[0].toLocalFile(), root.filePath("Hilfe \u00e4/kelvane.html"));
    QCOMPARE(opened_[0].fragment(), fragment);
  }

  void helpFallsBackToXdgOpenWithTheAnchor() {
    QTemporaryDir root;
    WriteFile(root.filePath("kelvane.html"));
    FakeXdgOpen xdgOpen;
    QVERIFY(QtHelpViewer({root.filePath("kelvane.html")}).ShowHelp(0x20066));
    QTRY_COMPARE(xdgOpen.Log(), QUrl::fromLocalFile(root.filePath("kelvane.html")).toEncoded() + "#0x20066\n");
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void helpFailsWhenThePageIsMissingOrNothingOpensIt() {
    QTemporaryDir root;
    FakeXdgOpen xdgOpen;
    QVERIFY(!QtHelpViewer({root.filePath("kelvane.html")}).ShowHelp(0x20066));
    WriteFile(root.filePath("kelvane.html"));
    FakeXdgOpen noXdgOpen(false);
    QVERIFY(!QtHelpViewer({root.filePath("kelvane.html")}).ShowHelp(0x20066));
    QTest::qWait(100);
    QVERIFY(xdgOpen.Log().isEmpty());
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void favoritesIsCreatedInTheHomeFolder() {
    QTemporaryDir home;
    const ScopedEnv homeEnv("HOME", home.path().toLocal8Bit());
    const QString expected = home.filePath(QStringLiteral("Favorites"));
    QCOMPARE(QString::fromStdString(kelvane::FavoritesFolder()), expected);
    QVERIFY(QFileInfo(expected).isDir());
    WriteFile(expected + QStringLiteral("/kept.URL"));
    QCOMPARE(QString::fromStdString(kelvane::FavoritesFolder()), expected);
    QVERIFY(QFileInfo::exists(expected + QStringLiteral("/kept.URL")));
  }

 private:
  QList<QUrl> opened_;
};

QTEST_MAIN(TestQtShell)
#include "tst_qt_shell.moc"
