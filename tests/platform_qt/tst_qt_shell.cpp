// Opening URLs and the help page on the desktop, and the special folders for shortcuts.
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <optional>

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

// A PATH holding only an xdg-open that writes its arguments to a log, waits while a hold file
// exists, and exits with $KELVANE_XDG_STATUS; or (installed = false) none.
class FakeXdgOpen {
 public:
  explicit FakeXdgOpen(bool installed = true, const QByteArray& status = "0")
      : path_("PATH", dir_.path().toLocal8Bit()),
        log_("KELVANE_XDG_LOG", dir_.filePath("log").toLocal8Bit()),
        status_("KELVANE_XDG_STATUS", status) {
    if (installed) {
      QFile script(dir_.filePath(QStringLiteral("xdg-open")));
      script.open(QIODevice::WriteOnly);
      script.write(
          "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$KELVANE_XDG_LOG.part\" && /bin/mv \"$KELVANE_XDG_LOG.part\" "
          "\"$KELVANE_XDG_LOG\"\nwhile [ -e \"$KELVANE_XDG_LOG.hold\" ]; do /bin/sleep 0.05; done\n"
          ": > \"$KELVANE_XDG_LOG.exited\"\nexit \"$KELVANE_XDG_STATUS\"\n");
      script.close();
      script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
  }
  // The arguments xdg-open was run with, one a line; empty until it has run.
  [[nodiscard]] QByteArray Log() const {
    QFile log(dir_.filePath(QStringLiteral("log")));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
  }
  // Keeps xdg-open running, as when it runs the browser in the foreground, until Release().
  void Hold() {
    QFile hold(dir_.filePath(QStringLiteral("log.hold")));
    hold.open(QIODevice::WriteOnly);
  }
  void Release() { QFile::remove(dir_.filePath(QStringLiteral("log.hold"))); }
  [[nodiscard]] bool Exited() const { return QFileInfo::exists(dir_.filePath(QStringLiteral("log.exited"))); }

 private:
  QTemporaryDir dir_;
  ScopedEnv path_;
  ScopedEnv log_;
  ScopedEnv status_;
};

// What an opener answered, once it has.
struct Answer {
  std::optional<bool> opened;
  kelvane::OpenDone Done() {
    return [this](bool answer) {
      QVERIFY2(!opened.has_value(), "answered twice");
      opened = answer;
    };
  }
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

  void urlOpenerAnswersWithXdgOpensExitStatus_data() {
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("passed");
    QTest::addColumn<bool>("opened");
    QTest::newRow("opened") << QByteArray("https://www.orvalle.example/tools?a=1&b=2") << QByteArray("0")
                            << QByteArray("https://www.orvalle.example/tools?a=1&b=2\n") << true;
    QTest::newRow("no scheme: http is guessed")
        << QByteArray("www.orvalle.example") << QByteArray("0") << QByteArray("http://www.orvalle.example\n") << true;
    QTest::newRow("no browser: status 3") << QByteArray("https://www.orvalle.example/") << QByteArray("3")
                                          << QByteArray("https://www.orvalle.example/\n") << false;
    QTest::newRow("the browser failed: status 4") << QByteArray("https://www.orvalle.example/") << QByteArray("4")
                                                  << QByteArray("https://www.orvalle.example/\n") << false;
  }
  void urlOpenerAnswersWithXdgOpensExitStatus() {
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, passed);
    QFETCH(bool, opened);
    // A handler of the desktop services would say yes to anything; the opener's own status decides.
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Record");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Record");
    FakeXdgOpen xdgOpen(true, status);
    Answer answer;
    QtUrlOpener().Open(url.toStdString(), answer.Done());
    QTRY_VERIFY_WITH_TIMEOUT(answer.opened.has_value(), 20000);
    QCOMPARE(*answer.opened, opened);
    QCOMPARE(xdgOpen.Log(), passed);
    QVERIFY(opened_.isEmpty());
  }

  void anOpenerStillRunningAfterTheGraceHasOpenedTheUrl() {
    FakeXdgOpen xdgOpen(true, "1");
    xdgOpen.Hold();
    Answer answer;
    QtUrlOpener(std::chrono::milliseconds(200)).Open("https://www.orvalle.example/", answer.Done());
    QTRY_VERIFY_WITH_TIMEOUT(answer.opened.has_value(), 20000);
    QVERIFY(*answer.opened);
    QVERIFY(!xdgOpen.Exited());
    // Its late failure changes nothing: the answer was given once.
    xdgOpen.Release();
    QTRY_VERIFY_WITH_TIMEOUT(xdgOpen.Exited(), 20000);
    QTest::qWait(50);
    QVERIFY(*answer.opened);
  }

  void withoutXdgOpenTheDesktopServicesDecide_data() {
    QTest::addColumn<bool>("handler");
    QTest::newRow("a handler takes it") << true;
    // The offscreen platform has no desktop services, as a bare X server has none.
    QTest::newRow("nothing takes it") << false;
  }
  void withoutXdgOpenTheDesktopServicesDecide() {
    QFETCH(bool, handler);
    if (handler) {
      QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Record");
    }
    FakeXdgOpen noXdgOpen(false);
    Answer answer;
    QtUrlOpener().Open("https://www.orvalle.example/", answer.Done());
    QTRY_VERIFY_WITH_TIMEOUT(answer.opened.has_value(), 20000);
    QCOMPARE(*answer.opened, handler);
    QCOMPARE(opened_, handler ? QList<QUrl>{QUrl("https://www.orvalle.example/")} : QList<QUrl>{});
  }

  void anEmptyUrlFailsAtOnceWithoutRunningAnything() {
    FakeXdgOpen xdgOpen;
    Answer answer;
    QtUrlOpener().Open("", answer.Done());
    QCOMPARE(answer.opened, std::optional<bool>(false));
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
    QTest::newRow("then the installed data folder")
        << QStringList{"data/kelvane/kelvane.html"} << "data/kelvane/kelvane.html";
    QTest::newRow("a folder of that name is no page")
        << QStringList{"bin/kelvane.html/x", "data/kelvane/kelvane.html"} << "data/kelvane/kelvane.html";
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
    QCOMPARE(candidates.size(), 3);
    QCOMPARE(candidates[0], root.filePath("bin/kelvane.html"));
    QCOMPARE(candidates[1], root.filePath("share/kelvane/kelvane.html"));
    // The installed place is fixed at build time; stand in for it here.
    candidates[2] = root.filePath("data/kelvane/kelvane.html");
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
    FakeXdgOpen xdgOpen;
    Answer answer;
    QtHelpViewer({root.filePath("Hilfe \u00e4/kelvane.html")}).ShowHelp(context, answer.Done());
    QTRY_VERIFY_WITH_TIMEOUT(answer.opened.has_value(), 20000);
    QVERIFY(*answer.opened);
    const QUrl opened = QUrl::fromEncoded(xdgOpen.Log().trimmed());
    QCOMPARE(opened.toLocalFile(), root.filePath("Hilfe \u00e4/kelvane.html"));
    QCOMPARE(opened.fragment(), fragment);
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void helpShowsTheWaitCursorUntilTheOpenerAnswers_data() {
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<bool>("opened");
    QTest::newRow("opened") << QByteArray("0") << true;
    QTest::newRow("failed") << QByteArray("3") << false;
  }
  void helpShowsTheWaitCursorUntilTheOpenerAnswers() {
    QFETCH(QByteArray, status);
    QFETCH(bool, opened);
    QTemporaryDir root;
    WriteFile(root.filePath("kelvane.html"));
    FakeXdgOpen xdgOpen(true, status);
    xdgOpen.Hold();
    Answer answer;
    QtHelpViewer({root.filePath("kelvane.html")}, std::chrono::seconds(60)).ShowHelp(0x20066, answer.Done());
    QTRY_VERIFY_WITH_TIMEOUT(!xdgOpen.Log().isEmpty(), 20000);
    QVERIFY(!answer.opened.has_value());
    QVERIFY(QGuiApplication::overrideCursor() != nullptr);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    xdgOpen.Release();
    QTRY_VERIFY_WITH_TIMEOUT(answer.opened.has_value(), 20000);
    QCOMPARE(*answer.opened, opened);
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void helpFailsWhenThePageIsMissingOrNothingOpensIt() {
    QTemporaryDir root;
    FakeXdgOpen xdgOpen;
    Answer missing;
    QtHelpViewer({root.filePath("kelvane.html")}).ShowHelp(0x20066, missing.Done());
    QCOMPARE(missing.opened, std::optional<bool>(false));
    WriteFile(root.filePath("kelvane.html"));
    FakeXdgOpen noXdgOpen(false);
    Answer unopened;
    QtHelpViewer({root.filePath("kelvane.html")}).ShowHelp(0x20066, unopened.Done());
    QTRY_VERIFY_WITH_TIMEOUT(unopened.opened.has_value(), 20000);
    QVERIFY(!*unopened.opened);
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
