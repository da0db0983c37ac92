// The variable setup dialog, alone and through the main dialog's Add, Edit and double click.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "res/resource.h"
#include "settings/settings.h"
#include "ui/repeater_dlg.h"
#include "ui/variable_dlg.h"
#include "ui_fakes.h"

using namespace kelvane;

class tst_CVariableDlg : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::FakeDesktop> desktop;
  std::vector<std::string> seenTags, seenValues;

  static QString FocusName() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none";
  }
  static QStringList Rows(QTableWidget* list) {
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
      rows << list->item(r, 0)->text();
    }
    return rows;
  }

  // Runs act on the variable setup dialog once it is open and modal, looking for it for a while;
  // *opened tells whether it opened.
  // The variable setup dialog's window, when widget is one.
  static TemplateDialog* VariableWindow(QWidget* widget) {
    auto* window = dynamic_cast<TemplateDialog*>(widget);
    return window != nullptr && window->dialog().templateId() == IDD_VARIABLE_DIALOG ? window : nullptr;
  }
  static void WhenOpen(std::function<void(TemplateDialog&)> act, bool* opened, int attempts = 20) {
    *opened = false;
    QTimer::singleShot(10, [act, opened, attempts] {
      auto* dialog = VariableWindow(QApplication::activeModalWidget());
      if (dialog == nullptr) {
        if (attempts > 0) {
          WhenOpen(act, opened, attempts - 1);
        }
        return;
      }
      *opened = true;
      act(*dialog);
    });
  }
  static QLineEdit* TagField(TemplateDialog& d) { return d.Item<QLineEdit>(IDC_VARIABLE_TAG); }
  static QPlainTextEdit* ValuesBox(TemplateDialog& d) { return d.Item<QPlainTextEdit>(IDC_VARIABLE_VALUES); }
  static void Press(TemplateDialog& d, int id) { d.Item<QPushButton>(id)->click(); }

 private slots:
  void init() { desktop = std::make_unique<test::FakeDesktop>(); }
  void cleanup() {
    desktop.reset();
    for (QWidget* w : QApplication::topLevelWidgets()) {
      QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
  }

  void ok_with_an_empty_tag_is_refused_until_a_tag_is_typed() {
    CVariableDlg dialog(desktop->services(), nullptr);
    const auto window = QtDialogHost::MakeWindow(dialog);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_COMPARE(FocusName(), QString("control1009"));
    ValuesBox(*window)->setPlainText("a\nb");
    Press(*window, IDOK);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Please enter a variable name"});
    QVERIFY(window->isVisible());
    QCOMPARE(FocusName(), QString("control1009"));
    QTest::keyClicks(TagField(*window), "NAME");
    QTest::keyClick(TagField(*window), Qt::Key_Return);  // Return in the tag field presses OK
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), IDOK);
    QCOMPARE(dialog.tag, std::string("NAME"));
    QCOMPARE(dialog.valueText, std::string("a\nb"));
  }

  void blank_tags_and_empty_values_are_accepted() {
    CVariableDlg dialog(desktop->services(), nullptr);
    const auto window = QtDialogHost::MakeWindow(dialog);
    window->show();
    TagField(*window)->setText(" ");
    Press(*window, IDOK);
    QCOMPARE(window->result(), IDOK);
    QCOMPARE(dialog.tag, std::string(" "));
    QCOMPARE(dialog.valueText, std::string());
    QVERIFY(desktop->messages.shown.empty());
  }

  void return_in_the_values_box_adds_a_line() {
    CVariableDlg dialog(desktop->services(), nullptr);
    const auto window = QtDialogHost::MakeWindow(dialog);
    window->show();
    TagField(*window)->setText("T");
    ValuesBox(*window)->setFocus();
    QTest::keyClicks(ValuesBox(*window), "one");
    QTest::keyClick(ValuesBox(*window), Qt::Key_Return);
    QTest::keyClicks(ValuesBox(*window), "two");
    QVERIFY(window->isVisible());
    Press(*window, IDOK);
    QCOMPARE(dialog.valueText, std::string("one\ntwo"));
  }

  void escape_cancel_and_the_close_box_end_with_cancel_even_after_a_refused_ok_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("escape") << 0;
    QTest::newRow("cancel button") << 1;
    QTest::newRow("close box") << 2;
  }
  void escape_cancel_and_the_close_box_end_with_cancel_even_after_a_refused_ok() {
    QFETCH(int, how);
    CVariableDlg dialog(desktop->services(), nullptr);
    const auto window = QtDialogHost::MakeWindow(dialog);
    window->show();
    Press(*window, IDOK);
    QVERIFY(window->isVisible());
    if (how == 0) {
      QTest::keyClick(window.get(), Qt::Key_Escape);
    } else if (how == 1) {
      Press(*window, IDCANCEL);
    } else {
      window->close();
    }
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), IDCANCEL);
    QCOMPARE(desktop->messages.texts().size(), size_t{1});
  }

  void help_opens_the_variable_setup_topic() {
    CVariableDlg dialog(desktop->services(), nullptr);
    const auto window = QtDialogHost::MakeWindow(dialog);
    window->show();
    Press(*window, ID_HELP);
    QCOMPARE(desktop->help.contexts, std::vector<unsigned>{0x20081});
    window->close();
  }

  void edit_shows_the_variable_and_ok_hands_back_the_same_bytes() {
    SaveSettings({"", "", 0, 3, {"NAME", "N"}, {"Ada\r\nBrian\r\nChloe\r\n", "one\r"}});
    CRepeaterDlg mainDialog(desktop->services());
    const auto main = QtDialogHost::MakeWindow(mainDialog);
    main->show();
    auto* list = main->Item<QTableWidget>(IDC_VARIABLE_LIST);
    for (int row = 0; row < 2; ++row) {
      list->selectRow(row);
      bool opened = false;
      QString shownTag, shownValues;
      WhenOpen(
          [&](TemplateDialog& d) {
            shownTag = TagField(d)->text();
            shownValues = ValuesBox(d)->toPlainText();
            Press(d, IDOK);
          },
          &opened);
      main->Item<QPushButton>(IDC_EDIT_VARIABLE)->click();
      QVERIFY(opened);
      if (row == 0) {
        QCOMPARE(shownTag, QString("NAME"));
        QCOMPARE(shownValues, QString("Ada\nBrian\nChloe\n"));
      }
    }
    QCOMPARE(mainDialog.job().tags, (std::vector<std::string>{"NAME", "N"}));
    QCOMPARE(mainDialog.job().values, (std::vector<std::string>{"Ada\r\nBrian\r\nChloe\r\n", "one\r"}));
    main->close();
  }

  void edited_values_keep_their_line_breaks_and_update_the_row() {
    SaveSettings({"", "", 0, 2, {"A"}, {"x\r\ny"}});
    CRepeaterDlg mainDialog(desktop->services());
    const auto main = QtDialogHost::MakeWindow(mainDialog);
    main->show();
    auto* list = main->Item<QTableWidget>(IDC_VARIABLE_LIST);
    list->selectRow(0);
    bool opened = false;
    WhenOpen(
        [](TemplateDialog& d) {
          TagField(d)->setText("B");
          ValuesBox(d)->setPlainText("x\nz");
          Press(d, IDOK);
        },
        &opened);
    emit list->cellDoubleClicked(0, 0);
    QVERIFY(opened);
    QCOMPARE(Rows(list), QStringList({"B"}));
    QCOMPARE(mainDialog.job().values, std::vector<std::string>{"x\r\nz"});
    main->close();
  }

  void cancel_after_a_refused_ok_leaves_the_variable_alone() {
    SaveSettings({"", "", 0, 1, {"KEEP"}, {"v"}});
    CRepeaterDlg mainDialog(desktop->services());
    const auto main = QtDialogHost::MakeWindow(mainDialog);
    main->show();
    main->Item<QTableWidget>(IDC_VARIABLE_LIST)->selectRow(0);
    bool opened = false;
    WhenOpen(
        [](TemplateDialog& d) {
          TagField(d)->clear();
          ValuesBox(d)->setPlainText("changed");
          Press(d, IDOK);
          Press(d, IDCANCEL);
        },
        &opened);
    main->Item<QPushButton>(IDC_EDIT_VARIABLE)->click();
    QVERIFY(opened);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Please enter a variable name"});
    QCOMPARE(mainDialog.job().tags, std::vector<std::string>{"KEEP"});
    QCOMPARE(mainDialog.job().values, std::vector<std::string>{"v"});
    QCOMPARE(Rows(main->Item<QTableWidget>(IDC_VARIABLE_LIST)), QStringList({"KEEP"}));
    main->close();
  }

  void add_appends_rows_and_cancel_adds_nothing() {
    CRepeaterDlg mainDialog(desktop->services());
    const auto main = QtDialogHost::MakeWindow(mainDialog);
    main->show();
    auto* list = main->Item<QTableWidget>(IDC_VARIABLE_LIST);
    bool opened = false;
    for (const char* values : {"1", "2"}) {
      WhenOpen(
          [values](TemplateDialog& d) {
            TagField(d)->setText("SAME");
            ValuesBox(d)->setPlainText(values);
            Press(d, IDOK);
          },
          &opened);
      main->Item<QPushButton>(IDC_ADD_VARIABLE)->click();
      QVERIFY(opened);
    }
    WhenOpen([](TemplateDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, &opened);
    main->Item<QPushButton>(IDC_ADD_VARIABLE)->click();
    QVERIFY(opened);
    QCOMPARE(Rows(list), QStringList({"SAME", "SAME"}));
    QCOMPARE(mainDialog.job().values, (std::vector<std::string>{"1", "2"}));
    main->close();
  }

  void edit_and_double_click_without_a_selection_do_nothing() {
    SaveSettings({"", "", 0, 1, {"A"}, {"1"}});
    CRepeaterDlg mainDialog(desktop->services());
    const auto main = QtDialogHost::MakeWindow(mainDialog);
    main->show();
    auto* list = main->Item<QTableWidget>(IDC_VARIABLE_LIST);
    list->clearSelection();
    // A dialog opened modally runs its own loop inside the calls below, where this timer closes
    // it; one opened without a loop would still be on screen after them. So no wait is needed.
    bool opened = false;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, &closer, [&opened] {
      if (auto* dialog = VariableWindow(QApplication::activeModalWidget())) {
        opened = true;
        dialog->close();
      }
    });
    closer.start();
    main->Item<QPushButton>(IDC_EDIT_VARIABLE)->click();
    mainDialog.OnVariableListDoubleClick();
    closer.stop();
    QVERIFY(!opened);
    for (QWidget* w : QApplication::topLevelWidgets()) {
      QVERIFY(!(VariableWindow(w) != nullptr && w->isVisible()));
    }
    QVERIFY(desktop->messages.shown.empty());
    main->close();
  }

  void an_added_variable_is_used_by_duplicate_and_saved_at_close() {
    test::TempDir dir;
    SaveSettings({"Hi <who>!\n", dir.File("out.txt"), 0, 2, {}, {}});
    CRepeaterDlg mainDialog(desktop->services());
    const auto main = QtDialogHost::MakeWindow(mainDialog);
    main->show();
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main.get()));
    bool opened = false;
    WhenOpen(
        [](TemplateDialog& d) {
          QTest::keyClicks(TagField(d), "<WHO>");
          ValuesBox(d)->setFocus();
          QTest::keyClicks(ValuesBox(d), "Ada");
          QTest::keyClick(ValuesBox(d), Qt::Key_Return);
          QTest::keyClicks(ValuesBox(d), "Bo");
          Press(d, IDOK);
        },
        &opened);
    QTest::keyClick(main.get(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(opened);
    main->Item<QPushButton>(IDOK)->click();
    QCOMPARE(test::ReadFile(dir.File("out.txt")), std::string("Hi Ada!\nHi Bo!\n"));
    main->Item<QPushButton>(IDCANCEL)->click();
    Job saved;
    LoadSettings(saved);
    QCOMPARE(saved.tags, std::vector<std::string>{"<WHO>"});
    QCOMPARE(saved.values, std::vector<std::string>{"Ada\nBo"});
  }
};

QTEST_MAIN(tst_CVariableDlg)
#include "tst_cvariabledlg.moc"
