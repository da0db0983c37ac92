// QtFileDialog: where the save dialog opens, the name it offers, and what accepting or cancelling returns.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/qt/file_dialog.h"

using kelvane::QtFileDialog;

namespace {

struct Seen {
  bool shown = false;
  QString directory;
  QString selected;
  bool prompted = false;  // a second box (an overwrite question) came up
};

QFileDialog* OpenFileDialog() {
  return qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
}

// Runs the dialog; once it is open, records what it shows, then accepts or rejects it.
std::optional<std::string> AskAndAnswer(QtFileDialog& dialog, const QString& folder, const QString& name, bool accept,
                                        Seen& seen) {
  QTimer::singleShot(0, [&] {
    QFileDialog* open = OpenFileDialog();
    if (open == nullptr) {
      return;
    }
    seen.shown = true;
    seen.directory = open->directory().absolutePath();
    seen.selected = open->selectedFiles().value(0);
    // Any box that pops up over the dialog is answered, so the test cannot hang on it; the timer dies
    // with the dialog.
    QTimer::singleShot(50, open, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen.prompted = true;
        box->reject();
      }
      if (QFileDialog* still = OpenFileDialog()) {
        still->reject();
      }
    });
    // QFileDialog hides accept(); through QDialog it still runs the file dialog's own.
    QDialog* asDialog = open;
    accept ? asDialog->accept() : asDialog->reject();
  });
  return dialog.AskSaveFileName(folder.toStdString(), name.toStdString());
}

}  // namespace

class TestQtFileDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(folder_.isValid()); }

  void opensInTheFolderWithTheName() {
    QtFileDialog dialog;
    Seen seen;
    const auto chosen = AskAndAnswer(dialog, folder_.path(), QStringLiteral("out.txt"), true, seen);
    QVERIFY(seen.shown);
    QCOMPARE(seen.directory, QDir(folder_.path()).absolutePath());
    QCOMPARE(seen.selected, folder_.filePath(QStringLiteral("out.txt")));
    QVERIFY(chosen.has_value());
    QCOMPARE(QString::fromStdString(*chosen), folder_.filePath(QStringLiteral("out.txt")));
  }

  void aNameAloneIsOfferedAsTheName() {
    QtFileDialog dialog;
    Seen seen;
    AskAndAnswer(dialog, {}, QStringLiteral("Ergebnis \u00fc.txt"), false, seen);
    QVERIFY(seen.shown);
    QCOMPARE(QFileInfo(seen.selected).fileName(), QStringLiteral("Ergebnis \u00fc.txt"));
  }

  void aFolderThatDoesNotExistIsNotOpened() {
    QtFileDialog dialog;
    Seen seen;
    const QString missing = folder_.filePath(QStringLiteral("missing"));
    AskAndAnswer(dialog, missing, QStringLiteral("out.txt"), false, seen);
    QVERIFY(seen.shown);
    QVERIFY(seen.directory != missing);
  }

  void anExistingFileIsChosenWithoutAsking() {
    const QString existing = folder_.filePath(QStringLiteral("existing.txt"));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QtFileDialog dialog;
    Seen seen;
    const auto chosen = AskAndAnswer(dialog, folder_.path(), QStringLiteral("existing.txt"), true, seen);
    QVERIFY(!seen.prompted);
    QVERIFY(chosen.has_value());
    QCOMPARE(QString::fromStdString(*chosen), existing);
  }

  void cancellingReturnsNothing() {
    QtFileDialog dialog;
    Seen seen;
    const auto chosen = AskAndAnswer(dialog, folder_.path(), QStringLiteral("out.txt"), false, seen);
    QVERIFY(seen.shown);
    QVERIFY(!chosen.has_value());
  }

 private:
  QTemporaryDir folder_;
};

int main(int argc, char** argv) {
  // The test drives Qt's own dialog, never a desktop's native one.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  TestQtFileDialog test;
  return QTest::qExec(&test, argc, argv);
}
#include "tst_qt_file_dialog.moc"
