// The main dialog when its output stalls or its reader goes away: the window keeps answering,
// Cancel takes effect, the job is already saved, and a broken pipe is a file error.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>
#include <csignal>
#include <functional>
#include <memory>

#include "res/resource.h"
#include "settings/settings.h"
#include "ui/repeater_dlg.h"
#include "ui_fakes.h"

using namespace kelvane;

namespace {

// The read end of a FIFO whose reader holds it open and never reads, as a stalled network or FUSE
// file system would.
struct StalledFifo {
  test::TempDir dir;
  std::string path = dir.File("fifo");
  int reader = -1;
  StalledFifo() {
    ::mkfifo(path.c_str(), 0600);
    reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  ~StalledFifo() {
    if (reader >= 0) ::close(reader);
  }
  StalledFifo(const StalledFifo&) = delete;
  StalledFifo& operator=(const StalledFifo&) = delete;
  // Whether the FIFO is full, so that its writer blocks.
  [[nodiscard]] bool Full() const {
    int queued = 0;
    return ::ioctl(reader, FIONREAD, &queued) == 0 && queued >= ::fcntl(reader, F_GETPIPE_SZ);
  }
};

QProgressDialog* VisibleProgress() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress != nullptr && progress->isVisible()) {
      return progress;
    }
  }
  return nullptr;
}

// Once the progress window shows and the FIFO is full, calls act(progress) once.
void WhenStalled(const StalledFifo& fifo, std::function<void(QProgressDialog*)> act) {
  QTimer::singleShot(10, [&fifo, act] {
    if (QProgressDialog* progress = VisibleProgress(); progress != nullptr && fifo.Full()) {
      act(progress);
      return;
    }
    WhenStalled(fifo, act);
  });
}

}  // namespace

class tst_StalledRun : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::FakeDesktop> desktop;
  std::unique_ptr<CRepeaterDlg> dialog;

  void Open(const Job& saved) {
    SaveSettings(saved);
    dialog = std::make_unique<CRepeaterDlg>(desktop->services());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
  }

 private slots:
  void initTestCase() {
    // As the program's main() does.
    std::signal(SIGPIPE, SIG_IGN);
  }
  void init() { desktop = std::make_unique<test::FakeDesktop>(); }
  void cleanup() {
    dialog.reset();
    desktop.reset();
  }

  void cancel_while_the_output_stalls_ends_the_run_and_the_window_keeps_answering() {
    StalledFifo fifo;
    Open({"x\n", fifo.path, 0, 2000000000, {}, {}});
    int ticksAfterCancel = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticksAfterCancel; });
    WhenStalled(fifo, [&](QProgressDialog* progress) {
      progress->cancel();
      ticker.start(5);
    });
    dialog->Item<QPushButton>(IDOK)->click();
    ticker.stop();
    QVERIFY2(ticksAfterCancel > 0, "the window stopped answering after Cancel");
    QCOMPARE(desktop->messages.shown.size(), size_t{1});
    const QString said = QString::fromStdString(desktop->messages.shown[0].text);
    QVERIFY2(QRegularExpression("^Duplicate was cancelled\\. [0-9]+ of 2000000000 copies were written to file " +
                                QRegularExpression::escape(QString::fromStdString(fifo.path)) + "$")
                 .match(said)
                 .hasMatch(),
             qPrintable(said));
    QVERIFY(dialog->isVisible());
  }

  void a_reader_that_goes_away_is_a_file_error_and_the_job_was_saved_when_the_run_began() {
    StalledFifo fifo;
    Open({"old job\n", "", 0, 1, {}, {}});
    dialog->Item<QPlainTextEdit>(IDC_BLOCK_TEXT)->setPlainText("typed\n");
    dialog->Item<QLineEdit>(IDC_OUTPUT_FILE)->setText(QString::fromStdString(fifo.path));
    dialog->Item<QLineEdit>(IDC_REPEAT_COUNT)->setText("2000000000");
    Job savedDuringRun;
    WhenStalled(fifo, [&](QProgressDialog*) {
      LoadSettings(savedDuringRun);
      ::close(std::exchange(fifo.reader, -1));
    });
    dialog->Item<QPushButton>(IDOK)->click();
    QCOMPARE(savedDuringRun, (Job{"typed\n", fifo.path, 0, 2000000000, {}, {}}));
    QCOMPARE(desktop->messages.texts(),
             std::vector<std::string>{"An attempt was made to access " + fifo.path + " past its end."});
    QVERIFY(dialog->isVisible());
  }
};

QTEST_MAIN(tst_StalledRun)
#include "tst_stalled_run.moc"
