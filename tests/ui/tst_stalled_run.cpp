// The main dialog when its output stalls or its reader goes away: the window keeps answering,
// Cancel takes effect, the job is already saved, and a broken pipe is a file error.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

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

// Whether process pid catches signal, from the caught-signal mask in /proc/pid/status.
bool Catches(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) {
      return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1U) != 0;
    }
  }
  return false;
}

}  // namespace

class tst_StalledRun : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::FakeDesktop> desktop;
  std::unique_ptr<CRepeaterDlg> dialog;
  std::unique_ptr<TemplateDialog> window;  // the dialog's, shown without a modal loop

  void Open(const Job& saved) {
    SaveSettings(saved);
    window.reset();
    dialog = std::make_unique<CRepeaterDlg>(desktop->services());
    window = QtDialogHost::MakeWindow(*dialog);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

 private slots:
  void initTestCase() {
    // As the program's main() does.
    std::signal(SIGPIPE, SIG_IGN);
  }
  void init() { desktop = std::make_unique<test::FakeDesktop>(); }
  void cleanup() {
    window.reset();
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
    window->Item<QPushButton>(IDOK)->click();
    ticker.stop();
    QVERIFY2(ticksAfterCancel > 0, "the window stopped answering after Cancel");
    QCOMPARE(desktop->messages.shown.size(), size_t{1});
    const QString said = QString::fromStdString(desktop->messages.shown[0].text);
    QVERIFY2(QRegularExpression("^Duplicate was cancelled\\. [0-9]+ of 2000000000 copies were written to file " +
                                QRegularExpression::escape(QString::fromStdString(fifo.path)) + "$")
                 .match(said)
                 .hasMatch(),
             qPrintable(said));
    QVERIFY(window->isVisible());
  }

  void a_reader_that_goes_away_is_a_file_error_and_the_job_was_saved_when_the_run_began() {
    StalledFifo fifo;
    Open({"old job\n", "", 0, 1, {}, {}});
    window->Item<QPlainTextEdit>(IDC_BLOCK_TEXT)->setPlainText("typed\n");
    window->Item<QLineEdit>(IDC_OUTPUT_FILE)->setText(QString::fromStdString(fifo.path));
    window->Item<QLineEdit>(IDC_REPEAT_COUNT)->setText("2000000000");
    Job savedDuringRun;
    WhenStalled(fifo, [&](QProgressDialog*) {
      LoadSettings(savedDuringRun);
      ::close(std::exchange(fifo.reader, -1));
    });
    window->Item<QPushButton>(IDOK)->click();
    QCOMPARE(savedDuringRun, (Job{"typed\n", fifo.path, 0, 2000000000, {}, {}}));
    QCOMPARE(desktop->messages.texts(),
             std::vector<std::string>{"An attempt was made to access " + fifo.path + " past its end."});
    QVERIFY(window->isVisible());
  }

  void a_stop_signal_during_a_stalled_run_cancels_it_saves_the_job_and_closes() {
    StalledFifo fifo;
    Open({"old\n", "", 0, 1, {}, {}});
    window->Item<QPlainTextEdit>(IDC_BLOCK_TEXT)->setPlainText("typed\n");
    window->Item<QLineEdit>(IDC_OUTPUT_FILE)->setText(QString::fromStdString(fifo.path));
    window->Item<QLineEdit>(IDC_REPEAT_COUNT)->setText("2000000000");
    WhenStalled(fifo, [&](QProgressDialog*) { dialog->OnStopSignal(); });
    window->Item<QPushButton>(IDOK)->click();
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int{IDCANCEL});
    QVERIFY2(desktop->messages.shown.empty(), "a message waited for a user who has gone");
    Job saved;
    LoadSettings(saved);
    QCOMPARE(saved, (Job{"typed\n", fifo.path, 0, 2000000000, {}, {}}));
  }

  void a_stop_signal_closes_the_windows_above_and_saves_what_was_typed_without_asking() {
    Open({"old\n", "", 0, 1, {}, {}});
    window->Item<QPlainTextEdit>(IDC_BLOCK_TEXT)->setPlainText("typed\n");
    window->Item<QLineEdit>(IDC_REPEAT_COUNT)->setText("not a number");
    bool variableDialogShown = false;
    QTimer::singleShot(10, this, [&] {
      variableDialogShown = QApplication::activeModalWidget() != window.get();
      dialog->OnStopSignal();
    });
    window->Item<QPushButton>(IDC_ADD_VARIABLE)->click();  // the variable dialog, modal
    QVERIFY(variableDialogShown);
    QVERIFY(!window->isVisible());
    QVERIFY(desktop->messages.shown.empty());
    Job saved;
    LoadSettings(saved);
    // The exchange stops at the repeat count, as at Close, but says nothing.
    QCOMPARE(saved, (Job{"typed\n", "", 0, 1, {}, {}}));
  }

  // The real program: SIGTERM and SIGINT close it as Close does, with the settings saved.
  void the_program_closes_on_sigterm_and_sigint_and_saves() {
    const char* build = std::getenv("KELVANE_BUILD_DIR");
    const std::string program = std::string(build != nullptr ? build : "build") + "/app/kelvane";
    if (::access(program.c_str(), X_OK) != 0) {
      QSKIP("the program is not built here");
    }
    for (const int signal : {SIGTERM, SIGINT}) {
      test::TempDir config;
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // As a desktop session starts it: no signal blocked, whatever this test's threads block.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
      }
      // The program's own handler, not the one the test's copy of itself had before exec.
      const auto running = [&] {
        std::error_code error;
        return std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error) ==
               std::filesystem::canonical(program, error);
      };
      QTRY_VERIFY_WITH_TIMEOUT(running() && Catches(pid, signal), 60000);
      ::kill(pid, signal);
      int status = 0;
      bool ended = false;  // the macro tests its condition once more at the end: reap only once
      QTRY_VERIFY_WITH_TIMEOUT(ended || (ended = ::waitpid(pid, &status, WNOHANG) == pid), 60000);
      QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, qPrintable(QString::number(status)));
      QVERIFY(test::Exists(config.File("Orvalle Software Inc./Kelvane.reg")));
    }
  }
};

QTEST_MAIN(tst_StalledRun)
#include "tst_stalled_run.moc"
