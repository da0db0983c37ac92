// The main dialog as a user meets it: fields, messages, focus, files and saved settings.

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>

#include "res/resource.h"
#include "settings/settings.h"
#include "ui/repeater_dlg.h"
#include "ui_fakes.h"

using namespace kelvane;

class tst_CRepeaterDlg : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::FakeDesktop> desktop;
  std::unique_ptr<CRepeaterDlg> dialog;
  std::unique_ptr<TemplateDialog> window;  // the dialog's, shown without a modal loop

  void Open() {
    window.reset();
    dialog = std::make_unique<CRepeaterDlg>(desktop->services());
    window = QtDialogHost::MakeWindow(*dialog);
    window->show();
    window->activateWindow();
    QVERIFY2(QTest::qWaitForWindowExposed(window.get()), "dialog not shown");
  }
  template <typename T>
  T* Control(int id) {
    return window->Item<T>(id);
  }
  QString FocusName() const { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none"; }
  void Press(int id) { Control<QPushButton>(id)->click(); }
  static QStringList Rows(QTableWidget* list) {
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
      rows << list->item(r, 0)->text();
    }
    return rows;
  }
  void Save(const Job& job) { SaveSettings(job); }

 private slots:
  void init() { desktop = std::make_unique<test::FakeDesktop>(); }
  void cleanup() {
    window.reset();
    dialog.reset();
    desktop.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
            std::none_of(QApplication::topLevelWidgets().begin(), QApplication::topLevelWidgets().end(),
                         [](QWidget* w) { return w->isVisible(); }));
  }

  void first_start_shows_the_defaults_with_the_focus_in_the_block_text() {
    Open();
    QCOMPARE(Control<QPlainTextEdit>(IDC_BLOCK_TEXT)->toPlainText(), QString());
    QCOMPARE(Control<QLineEdit>(IDC_OUTPUT_FILE)->text(), QString());
    QCOMPARE(Control<QLineEdit>(IDC_REPEAT_COUNT)->text(), QString("1"));
    QVERIFY(!Control<QCheckBox>(IDC_APPEND)->isChecked());
    auto* list = Control<QTableWidget>(IDC_VARIABLE_LIST);
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QString("Variables"));
    QCOMPARE(list->columnWidth(0), list->width() - window->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    QCOMPARE(window->windowTitle(), QString("Kelvane"));
    QTRY_COMPARE(FocusName(), QString("control1000"));
  }

  void stored_settings_fill_the_fields_and_the_list_in_order() {
    Save({"Block\nTAG", "/tmp/out.txt", 1, 3, {"TAG", "Other", "TAG"}, {"a\nb\nc", "x", "1"}});
    Open();
    QCOMPARE(Control<QPlainTextEdit>(IDC_BLOCK_TEXT)->toPlainText(), QString("Block\nTAG"));
    QCOMPARE(Control<QLineEdit>(IDC_OUTPUT_FILE)->text(), QString("/tmp/out.txt"));
    QCOMPARE(Control<QLineEdit>(IDC_REPEAT_COUNT)->text(), QString("3"));
    QVERIFY(Control<QCheckBox>(IDC_APPEND)->isChecked());
    QCOMPARE(Rows(Control<QTableWidget>(IDC_VARIABLE_LIST)), QStringList({"TAG", "Other", "TAG"}));
  }

  void repeat_count_is_checked_with_the_exact_messages_and_focus_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString notInteger = "Please enter an integer.";
    const QString range = "Please enter an integer between 1 and 2147483647.";
    // An accepted count reaches the line-count check, whose message tells the number read.
    const QString read = "Variable <T> has 2 lines and the repeat value is %1.  Please correct.";
    QTest::newRow("blanks around 12") << " 12 " << read.arg(12);
    QTest::newRow("12a") << "12a" << notInteger;
    QTest::newRow("1.5") << "1.5" << notInteger;
    QTest::newRow("0x10") << "0x10" << notInteger;
    QTest::newRow("-0") << "-0" << notInteger;
    QTest::newRow("empty") << "" << notInteger;
    QTest::newRow("0") << "0" << range;
    QTest::newRow("-5") << "-5" << range;
    QTest::newRow("11 digits") << "99999999999" << read.arg(2147483647);
  }
  void repeat_count_is_checked_with_the_exact_messages_and_focus() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    test::TempDir dir;
    Save({"x", dir.File("out.txt"), 0, 1, {"T"}, {"a\nb"}});
    Open();
    Control<QLineEdit>(IDC_REPEAT_COUNT)->setText(typed);
    Control<QLineEdit>(IDC_OUTPUT_FILE)->setFocus();
    Press(IDOK);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{message.toStdString()});
    QCOMPARE(desktop->messages.shown[0].buttons, MessageButtons::Ok);
    QVERIFY(!test::Exists(dir.File("out.txt")));
    if (message.startsWith("Variable")) {
      QCOMPARE(FocusName(), QString("control1008"));
      return;
    }
    QCOMPARE(FocusName(), QString("control1003"));
    QCOMPARE(Control<QLineEdit>(IDC_REPEAT_COUNT)->selectedText(), typed);
  }

  void line_count_check_reports_the_first_misfit_and_focuses_append() {
    test::TempDir dir;
    Save({"T", dir.File("out.txt"), 0, 3, {"GOOD", "ONE", "TWO", "FOUR"}, {"a\nb\nc\n", "x", "a\nb", "1\n2\n3\n4"}});
    Open();
    Press(IDOK);
    QCOMPARE(desktop->messages.texts(),
             std::vector<std::string>{"Variable <TWO> has 2 lines and the repeat value is 3.  Please correct."});
    QCOMPARE(FocusName(), QString("control1008"));
    QVERIFY(!test::Exists(dir.File("out.txt")));
  }

  void duplicate_writes_the_fields_to_the_file_and_keeps_the_dialog_open() {
    test::TempDir dir;
    Save({"", "", 0, 1, {"<NAME>", "#"}, {"Ann\nBob", "%%count1%02d%%"}});
    Open();
    Control<QPlainTextEdit>(IDC_BLOCK_TEXT)->setPlainText("#: Dear <name>\n");
    Control<QLineEdit>(IDC_OUTPUT_FILE)->setText(QString::fromStdString(dir.File("letters.txt")));
    Control<QLineEdit>(IDC_REPEAT_COUNT)->setText("2");
    Press(IDOK);
    QCOMPARE(test::ReadFile(dir.File("letters.txt")), std::string("01: Dear Ann\n02: Dear Bob\n"));
    QCOMPARE(desktop->messages.texts(),
             std::vector<std::string>{"Results were written to file " + dir.File("letters.txt")});
    QVERIFY(window->isVisible());
    // Append adds to what is there.
    Control<QCheckBox>(IDC_APPEND)->setChecked(true);
    Press(IDOK);
    QCOMPARE(test::ReadFile(dir.File("letters.txt")),
             std::string("01: Dear Ann\n02: Dear Bob\n01: Dear Ann\n02: Dear Bob\n"));
  }

  void duplicate_without_output_file_puts_the_result_on_the_clipboard() {
    Save({"<X>", "", 1, 2, {"x"}, {"%%count%d%%"}});
    desktop->clipboard.formats["text/plain"] = "before:";
    Open();
    Press(IDOK);
    QCOMPARE(desktop->clipboard.formats.at("text/plain"), std::string("before:<0><1>"));
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Results were written to the clipboard"});
  }

  void delete_asks_and_removes_only_on_yes_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
  }
  void delete_asks_and_removes_only_on_yes() {
    QFETCH(bool, yes);
    Save({"", "", 0, 1, {"A", "B", "C"}, {"1", "2", "3"}});
    Open();
    auto* list = Control<QTableWidget>(IDC_VARIABLE_LIST);
    list->selectRow(1);
    desktop->messages.answers.push_back(yes ? MessageAnswer::Yes : MessageAnswer::No);
    Press(IDC_DELETE_VARIABLE);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Are you sure you want to delete variable B?"});
    QCOMPARE(desktop->messages.shown[0].buttons, MessageButtons::YesNo);
    if (yes) {
      QCOMPARE(Rows(list), QStringList({"A", "C"}));
      QCOMPARE(dialog->job().values, (std::vector<std::string>{"1", "3"}));
      QVERIFY(list->selectedItems().isEmpty());
    } else {
      QCOMPARE(Rows(list), QStringList({"A", "B", "C"}));
      QCOMPARE(dialog->job().values, (std::vector<std::string>{"1", "2", "3"}));
    }
  }

  void delete_without_a_selection_says_nothing() {
    Save({"", "", 0, 1, {"A"}, {"1"}});
    Open();
    Control<QTableWidget>(IDC_VARIABLE_LIST)->clearSelection();
    Press(IDC_DELETE_VARIABLE);
    QVERIFY(desktop->messages.shown.empty());
    QCOMPARE(dialog->job().tags.size(), size_t{1});
  }

  void browse_starts_from_the_field_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::newRow("full path") << "/home/ann/out/result.txt"
                               << "/home/ann/out/"
                               << "result.txt";
    QTest::newRow("name only") << "result.txt"
                               << "result.txt"
                               << "result.txt";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
  }
  void browse_starts_from_the_field() {
    QFETCH(QString, field);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    Open();
    Control<QLineEdit>(IDC_OUTPUT_FILE)->setText(field);
    Press(IDC_BROWSE_OUTPUT_FILE);
    QCOMPARE(desktop->fileDialog.asked.size(), size_t{1});
    QCOMPARE(QString::fromStdString(desktop->fileDialog.asked[0].first), folder);
    QCOMPARE(QString::fromStdString(desktop->fileDialog.asked[0].second), name);
    // Cancelled: the field stays as it was.
    QCOMPARE(Control<QLineEdit>(IDC_OUTPUT_FILE)->text(), field);
  }

  void browse_puts_the_chosen_path_in_the_field() {
    Open();
    desktop->fileDialog.answer = "/srv/data/new.txt";
    Press(IDC_BROWSE_OUTPUT_FILE);
    QCOMPARE(Control<QLineEdit>(IDC_OUTPUT_FILE)->text(), QString("/srv/data/new.txt"));
    QCOMPARE(dialog->job().outputFile, std::string("/srv/data/new.txt"));
  }

  void close_with_zero_repeats_warns_saves_zero_and_shows_it_next_time() {
    Open();
    Control<QPlainTextEdit>(IDC_BLOCK_TEXT)->setPlainText("kept");
    Control<QLineEdit>(IDC_REPEAT_COUNT)->setText("0");
    Press(IDCANCEL);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Please enter an integer between 1 and 2147483647."});
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), IDCANCEL);
    Job saved;
    LoadSettings(saved);
    QCOMPARE(saved.repeatCount, 0);
    QCOMPARE(saved.blockText, std::string("kept"));
    desktop->messages.shown.clear();
    Open();
    QCOMPARE(Control<QLineEdit>(IDC_REPEAT_COUNT)->text(), QString("0"));
  }

  void escape_and_the_close_box_close_once_and_save() {
    Open();
    Control<QLineEdit>(IDC_REPEAT_COUNT)->setText("x");
    Control<QLineEdit>(IDC_OUTPUT_FILE)->setText("/tmp/escape.txt");
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Please enter an integer."});
    Job saved;
    LoadSettings(saved);
    QCOMPARE(saved.outputFile, std::string("/tmp/escape.txt"));
    QCOMPARE(saved.repeatCount, 1);  // not an integer: the member kept its value

    desktop->messages.shown.clear();
    Open();
    Control<QLineEdit>(IDC_REPEAT_COUNT)->setText("-1");
    window->close();
    QVERIFY(!window->isVisible());
    QCOMPARE(desktop->messages.texts().size(), size_t{1});  // one exchange, one message
    LoadSettings(saved);
    QCOMPARE(saved.repeatCount, -1);
  }

  void enter_presses_duplicate_except_in_the_block_text() {
    test::TempDir dir;
    Save({"x", dir.File("out.txt"), 0, 1, {}, {}});
    Open();
    auto* block = Control<QPlainTextEdit>(IDC_BLOCK_TEXT);
    block->setFocus();
    QTest::keyClick(block, Qt::Key_Return);
    QCOMPARE(block->toPlainText(), QString("\nx"));
    QVERIFY(desktop->messages.shown.empty());
    auto* repeat = Control<QLineEdit>(IDC_REPEAT_COUNT);
    repeat->setFocus();
    QTest::keyClick(repeat, Qt::Key_Return);
    QCOMPARE(desktop->messages.texts(),
             std::vector<std::string>{"Results were written to file " + dir.File("out.txt")});
    QCOMPARE(test::ReadFile(dir.File("out.txt")), std::string("\nx"));
  }

  void help_opens_the_main_dialog_topic_or_says_it_failed() {
    Open();
    Press(ID_HELP);
    QCOMPARE(desktop->help.contexts, std::vector<unsigned>{0x20066});
    QVERIFY(desktop->messages.shown.empty());
    desktop->help.works = false;
    Press(ID_HELP);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Failed to launch help."});
  }

  // Cancels the progress window once it shows, and tells what it said.
  static void CancelProgressWhenShown(QString* label) {
    QTimer::singleShot(20, [label] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress != nullptr && progress->isVisible()) {
          *label = progress->labelText();
          progress->cancel();
          return;
        }
      }
      CancelProgressWhenShown(label);
    });
  }

  void a_long_run_to_a_file_shows_progress_and_cancel_keeps_whole_copies() {
    test::TempDir dir;
    // The byte that is not UTF-8 sends every copy down the slower, searching way, so the half
    // second before the progress window writes megabytes, not a gigabyte.
    Save({"\xFF copy #\n", dir.File("out.txt"), 0, 2000000000, {"#"}, {"%%count%010d%%"}});
    Open();
    QString label;
    CancelProgressWhenShown(&label);
    Press(IDOK);
    QVERIFY2(label.startsWith("Writing copy "), qPrintable(label));
    QVERIFY(label.endsWith(" of 2000000000"));
    const std::string bytes = test::ReadFile(dir.File("out.txt"));
    QVERIFY(!bytes.empty());
    QCOMPARE(bytes.size() % 18, size_t{0});
    const size_t copies = bytes.size() / 18;
    QCOMPARE(bytes.substr(0, 36), std::string("\xFF copy 0000000000\n\xFF copy 0000000001\n"));
    QCOMPARE(desktop->messages.texts(),
             std::vector<std::string>{"Duplicate was cancelled. " + std::to_string(copies) +
                                      " of 2000000000 copies were written to file " + dir.File("out.txt")});
    QVERIFY(window->isVisible());
  }

  void a_cancelled_clipboard_run_leaves_the_clipboard_and_no_temporary_file() {
    test::TempDir tmp;
    test::ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
    Save({"\xFFx", "", 1, 2000000000, {"x"}, {"y"}});
    desktop->clipboard.formats["text/plain"] = "before";
    Open();
    QString label;
    CancelProgressWhenShown(&label);
    Press(IDOK);
    QVERIFY(!label.isEmpty());
    QCOMPARE(desktop->clipboard.formats.at("text/plain"), std::string("before"));
    QVERIFY(desktop->messages.shown.empty());
    QCOMPARE(test::ListDir(tmp.path()), std::vector<std::string>{});
  }

  // Waits for the progress window to say it is putting the results on the clipboard, cancels it
  // if asked, then lets the held clipboard go on.
  void WhenPuttingOnTheClipboard(bool cancel, bool* seen) {
    QTimer::singleShot(20, [this, cancel, seen] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(widget);
        if (progress != nullptr && progress->isVisible() &&
            progress->labelText() == "Putting the results on the clipboard" && desktop->clipboard.appending) {
          *seen = true;
          QVERIFY(progress->isEnabled());
          if (cancel) {
            QPushButton* button = progress->findChild<QPushButton*>();
            QVERIFY(button != nullptr);
            button->click();  // as the user does
          }
          desktop->clipboard.Release();
          return;
        }
      }
      WhenPuttingOnTheClipboard(cancel, seen);
    });
  }

  void the_progress_window_stays_while_the_results_go_to_the_clipboard_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("left to finish") << false;
    QTest::newRow("cancelled") << true;
  }
  void the_progress_window_stays_while_the_results_go_to_the_clipboard() {
    QFETCH(bool, cancel);
    test::TempDir tmp;
    test::ScopedEnv tmpdir("TMPDIR", tmp.path().c_str());
    Save({"row #\n", "", 0, 3, {"#"}, {"%%count1%d%%"}});
    desktop->clipboard.formats["text/plain"] = "before";
    desktop->clipboard.Hold();
    Open();
    bool seen = false;
    WhenPuttingOnTheClipboard(cancel, &seen);
    Press(IDOK);
    QVERIFY(seen);
    QCOMPARE(desktop->clipboard.formats.at("text/plain"),
             cancel ? std::string("before") : std::string("row 1\nrow 2\nrow 3\n"));
    QCOMPARE(desktop->messages.texts(),
             cancel ? std::vector<std::string>{} : std::vector<std::string>{"Results were written to the clipboard"});
    QCOMPARE(test::ListDir(tmp.path()), std::vector<std::string>{});
    QVERIFY(window->isVisible());
  }

  void mnemonics_move_the_focus() {
    Open();
    QTest::keyClick(window.get(), Qt::Key_R, Qt::AltModifier);
    QCOMPARE(FocusName(), QString("control1003"));
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    QCOMPARE(FocusName(), QString("control1001"));
    QTest::keyClick(window.get(), Qt::Key_T, Qt::AltModifier);
    QCOMPARE(FocusName(), QString("control1000"));
  }
};

QTEST_MAIN(tst_CRepeaterDlg)
#include "tst_crepeaterdlg.moc"
