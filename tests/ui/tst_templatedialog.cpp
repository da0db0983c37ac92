// What both dialogs share as a user meets them: F1, Ctrl+Tab in the multi-line boxes, the captions.

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "res/resource.h"
#include "settings/settings.h"
#include "ui/repeater_dlg.h"
#include "ui/variable_dlg.h"
#include "ui_fakes.h"

using namespace kelvane;

namespace {

enum class Which { Main, Variable };

std::unique_ptr<CDialog> Make(Which which, test::FakeDesktop& desktop) {
  if (which == Which::Main) {
    return std::make_unique<CRepeaterDlg>(desktop.services());
  }
  return std::make_unique<CVariableDlg>(desktop.services(), nullptr);
}

}  // namespace

class tst_TemplateDialog : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::FakeDesktop> desktop;
  std::unique_ptr<CDialog> logic;
  std::unique_ptr<TemplateDialog> dialog;  // logic's window, shown without a modal loop

  void Open(Which which) {
    dialog.reset();
    logic = Make(which, *desktop);
    dialog = QtDialogHost::MakeWindow(*logic);
    dialog->show();
    dialog->activateWindow();
    QVERIFY2(QTest::qWaitForWindowExposed(dialog.get()), "dialog not shown");
  }
  static QString FocusName() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none";
  }

 private slots:
  void init() { desktop = std::make_unique<test::FakeDesktop>(); }
  void cleanup() {
    dialog.reset();
    logic.reset();
    desktop.reset();
    for (QWidget* w : QApplication::topLevelWidgets()) {
      QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
  }

  void f1_is_help_wherever_the_focus_is_data() {
    QTest::addColumn<Which>("which");
    QTest::addColumn<int>("focus");
    QTest::addColumn<unsigned>("context");
    QTest::newRow("main: block text") << Which::Main << IDC_BLOCK_TEXT << 0x20066u;
    QTest::newRow("main: repeat count") << Which::Main << IDC_REPEAT_COUNT << 0x20066u;
    QTest::newRow("main: variable list") << Which::Main << IDC_VARIABLE_LIST << 0x20066u;
    QTest::newRow("main: the link") << Which::Main << IDC_LINK << 0x20066u;
    QTest::newRow("main: Close") << Which::Main << IDCANCEL << 0x20066u;
    QTest::newRow("setup: tag") << Which::Variable << IDC_VARIABLE_TAG << 0x20081u;
    QTest::newRow("setup: values") << Which::Variable << IDC_VARIABLE_VALUES << 0x20081u;
    QTest::newRow("setup: OK") << Which::Variable << IDOK << 0x20081u;
  }
  void f1_is_help_wherever_the_focus_is() {
    QFETCH(Which, which);
    QFETCH(int, focus);
    QFETCH(unsigned, context);
    Open(which);
    QWidget* control = dialog->GetDlgItem(focus);
    control->setFocus();
    QTRY_COMPARE(FocusName(), control->objectName());
    QTest::keyClick(control, Qt::Key_F1);
    QCOMPARE(desktop->help.contexts, std::vector<unsigned>{context});
    QVERIFY(desktop->messages.shown.empty());
    QVERIFY(dialog->isVisible());
    QCOMPARE(FocusName(), control->objectName());
  }

  void a_help_that_fails_later_says_so_then_data() {
    QTest::addColumn<Which>("which");
    QTest::newRow("main") << Which::Main;
    QTest::newRow("setup") << Which::Variable;
  }
  void a_help_that_fails_later_says_so_then() {
    QFETCH(Which, which);
    desktop->help.deferred = true;
    Open(which);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QCOMPARE(desktop->help.contexts.size(), size_t{1});
    // The window keeps working while the opener runs.
    QVERIFY(desktop->messages.shown.empty());
    desktop->help.Reply(false);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Failed to launch help."});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    desktop->help.Reply(true);
    QCOMPARE(desktop->messages.texts().size(), size_t{1});
  }

  void a_help_answer_after_the_dialog_closed_still_reports() {
    desktop->help.deferred = true;
    Open(Which::Variable);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    dialog.reset();
    desktop->help.Reply(false);
    QCOMPARE(desktop->messages.texts(), std::vector<std::string>{"Failed to launch help."});
  }

  void ctrl_tab_types_a_tab_and_tab_moves_on_data() {
    QTest::addColumn<Which>("which");
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("next");
    QTest::newRow("block text") << Which::Main << IDC_BLOCK_TEXT << "control1001";
    QTest::newRow("values") << Which::Variable << IDC_VARIABLE_VALUES << "control1";
  }
  void ctrl_tab_types_a_tab_and_tab_moves_on() {
    QFETCH(Which, which);
    QFETCH(int, box);
    QFETCH(QString, next);
    Open(which);
    auto* edit = dialog->Item<QPlainTextEdit>(box);
    edit->setPlainText(QString());
    edit->setFocus();
    QTRY_COMPARE(FocusName(), edit->objectName());
    QTest::keyClicks(edit, "name");
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClicks(edit, "value");
    QCOMPARE(edit->toPlainText(), QString("name\tvalue"));
    QCOMPARE(FocusName(), edit->objectName());
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(FocusName(), next);
    QCOMPARE(edit->toPlainText(), QString("name\tvalue"));
  }

  void captions_are_the_templates_own_data() {
    QTest::addColumn<Which>("which");
    QTest::addColumn<QString>("caption");
    QTest::newRow("main") << Which::Main << "Kelvane";
    QTest::newRow("setup") << Which::Variable << "Variable Setup";
  }
  void captions_are_the_templates_own() {
    QFETCH(Which, which);
    QFETCH(QString, caption);
    Open(which);
    QCOMPARE(dialog->windowTitle(), caption);
    QCOMPARE(dialog->windowHandle()->title(), caption);
  }

  void screen_readers_get_a_name_and_role_for_every_control_data() {
    QTest::addColumn<Which>("which");
    QTest::addColumn<int>("id");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("name");
    QTest::newRow("block text") << Which::Main << IDC_BLOCK_TEXT << QAccessible::EditableText << "Text to duplicate:";
    QTest::newRow("output file") << Which::Main << IDC_OUTPUT_FILE << QAccessible::EditableText << "Output File:";
    QTest::newRow("...") << Which::Main << IDC_BROWSE_OUTPUT_FILE << QAccessible::Button
                         << "Browse for the output file";
    QTest::newRow("append") << Which::Main << IDC_APPEND << QAccessible::CheckBox << "Append data";
    QTest::newRow("list") << Which::Main << IDC_VARIABLE_LIST << QAccessible::Table << "Variables";
    QTest::newRow("add") << Which::Main << IDC_ADD_VARIABLE << QAccessible::Button << "Add";
    QTest::newRow("edit") << Which::Main << IDC_EDIT_VARIABLE << QAccessible::Button << "Edit";
    QTest::newRow("delete") << Which::Main << IDC_DELETE_VARIABLE << QAccessible::Button << "Delete";
    QTest::newRow("main help") << Which::Main << ID_HELP << QAccessible::Button << "Help";
    QTest::newRow("repeat count") << Which::Main << IDC_REPEAT_COUNT << QAccessible::EditableText << "Repeat block";
    QTest::newRow("link") << Which::Main << IDC_LINK << QAccessible::Link << "www.orvalle.example";
    QTest::newRow("duplicate") << Which::Main << IDOK << QAccessible::Button << "Duplicate";
    QTest::newRow("close") << Which::Main << IDCANCEL << QAccessible::Button << "Close";
    QTest::newRow("tag") << Which::Variable << IDC_VARIABLE_TAG << QAccessible::EditableText << "Variable tag:";
    QTest::newRow("values") << Which::Variable << IDC_VARIABLE_VALUES << QAccessible::EditableText
                            << "Values (one per line):";
    QTest::newRow("ok") << Which::Variable << IDOK << QAccessible::Button << "OK";
    QTest::newRow("cancel") << Which::Variable << IDCANCEL << QAccessible::Button << "Cancel";
    QTest::newRow("setup help") << Which::Variable << ID_HELP << QAccessible::Button << "Help";
  }
  void screen_readers_get_a_name_and_role_for_every_control() {
    QFETCH(Which, which);
    QFETCH(int, id);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, name);
    Open(which);
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(dialog->GetDlgItem(id));
    QVERIFY(control != nullptr);
    QCOMPARE(control->role(), role);
    QCOMPARE(control->text(QAccessible::Name), name);
    QVERIFY(!control->state().invisible);
  }

  void every_focusable_control_is_in_the_table_above() {
    int named = 0;
    for (const Which which : {Which::Main, Which::Variable}) {
      Open(which);
      for (const auto& control : dialog->dialogTemplate().controls) {
        if (control.id == IDC_STATIC) continue;
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(dialog->GetDlgItem(control.id));
        QVERIFY2(!item->text(QAccessible::Name).isEmpty(), qPrintable(QString::number(control.id)));
        ++named;
      }
      dialog.reset();
    }
    QCOMPARE(named, 18);
  }

  void the_links_press_action_opens_it() {
    Open(Which::Main);
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(dialog->GetDlgItem(IDC_LINK));
    QVERIFY(link->actionInterface() != nullptr);
    QVERIFY(link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    QVERIFY(!link->state().traversed);
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(desktop->urls.opened, std::vector<std::string>{"https://www.orvalle.example/"});
    QVERIFY(link->state().traversed);
  }

  void keyboard_focus_shows_on_the_link_and_on_an_empty_list_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("link") << IDC_LINK;
    QTest::newRow("empty list") << IDC_VARIABLE_LIST;
  }
  void keyboard_focus_shows_on_the_link_and_on_an_empty_list() {
    QFETCH(int, id);
    Open(Which::Main);
    QWidget* control = dialog->GetDlgItem(id);
    QTRY_VERIFY(!control->hasFocus());
    const QImage without = control->grab().toImage();
    control->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(control->hasFocus());
    const QImage with = control->grab().toImage();
    QVERIFY2(with != without, "focus changes nothing on screen");
    dialog->GetDlgItem(IDC_BLOCK_TEXT)->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!control->hasFocus());
    QCOMPARE(control->grab().toImage(), without);
  }

  void larger_than_the_template_the_text_boxes_and_the_list_grow_data() {
    QTest::addColumn<Which>("which");
    QTest::addColumn<int>("id");
    // The change of x, y, width and height per 100 pixels of extra width and extra height.
    QTest::addColumn<QRect>("change");
    QTest::newRow("block text") << Which::Main << IDC_BLOCK_TEXT << QRect(0, 0, 100, 50);
    QTest::newRow("output file") << Which::Main << IDC_OUTPUT_FILE << QRect(0, 50, 100, 0);
    QTest::newRow("...") << Which::Main << IDC_BROWSE_OUTPUT_FILE << QRect(100, 50, 0, 0);
    QTest::newRow("list") << Which::Main << IDC_VARIABLE_LIST << QRect(0, 50, 100, 50);
    QTest::newRow("add") << Which::Main << IDC_ADD_VARIABLE << QRect(100, 50, 0, 0);
    QTest::newRow("link") << Which::Main << IDC_LINK << QRect(100, 50, 0, 0);
    QTest::newRow("help") << Which::Main << ID_HELP << QRect(100, 100, 0, 0);
    QTest::newRow("close") << Which::Main << IDCANCEL << QRect(100, 100, 0, 0);
    QTest::newRow("values") << Which::Variable << IDC_VARIABLE_VALUES << QRect(0, 0, 100, 100);
    QTest::newRow("tag") << Which::Variable << IDC_VARIABLE_TAG << QRect(0, 0, 0, 0);
    QTest::newRow("ok") << Which::Variable << IDOK << QRect(100, 0, 0, 0);
  }
  void larger_than_the_template_the_text_boxes_and_the_list_grow() {
    QFETCH(Which, which);
    QFETCH(int, id);
    QFETCH(QRect, change);
    Open(which);
    const QSize smallest = dialog->size();
    QCOMPARE(dialog->minimumSize(), smallest);
    QWidget* control = dialog->GetDlgItem(id);
    const QRect before = control->geometry();
    dialog->resize(smallest + QSize(200, 100));
    QTRY_COMPARE(dialog->size(), smallest + QSize(200, 100));
    const QRect after = control->geometry();
    QCOMPARE(QRect(after.x() - before.x(), after.y() - before.y(), after.width() - before.width(),
                   after.height() - before.height()),
             QRect(change.x() * 2, change.y(), change.width() * 2, change.height()));
    // Back to the template size, everything is where it began; smaller is not allowed.
    dialog->resize(smallest - QSize(50, 50));
    QTRY_COMPARE(dialog->size(), smallest);
    QCOMPARE(control->geometry(), before);
  }

  void a_label_moves_with_the_field_it_names() {
    Open(Which::Main);
    auto* label = dialog->findChildren<QLabel*>().first();
    for (QLabel* candidate : dialog->findChildren<QLabel*>()) {
      if (candidate->text() == "&Repeat block") label = candidate;
    }
    QCOMPARE(label->text(), QString("&Repeat block"));
    const QPoint labelBefore = label->pos();
    const QPoint fieldBefore = dialog->GetDlgItem(IDC_REPEAT_COUNT)->pos();
    dialog->resize(dialog->size() + QSize(120, 80));
    QTRY_COMPARE(label->pos() - labelBefore, dialog->GetDlgItem(IDC_REPEAT_COUNT)->pos() - fieldBefore);
    QCOMPARE(label->pos() - labelBefore, QPoint(120, 40));
  }

  void the_main_windows_size_is_kept_for_the_next_start() {
    Open(Which::Main);
    const QSize smallest = dialog->size();
    const int blockWidth = dialog->GetDlgItem(IDC_BLOCK_TEXT)->width();
    dialog->resize(smallest + QSize(150, 90));
    QTRY_COMPARE(dialog->size(), smallest + QSize(150, 90));
    QTest::keyClick(dialog.get(), Qt::Key_Escape);  // Close saves the job and the size
    QVERIFY(!dialog->isVisible());
    Job job;
    WindowSize saved;
    LoadSettings(job, saved);
    QCOMPARE(QSize(saved.width, saved.height), smallest + QSize(150, 90));

    Open(Which::Main);
    QCOMPARE(dialog->size(), smallest + QSize(150, 90));
    QCOMPARE(dialog->GetDlgItem(IDC_BLOCK_TEXT)->width(), blockWidth + 150);
  }

  void a_stored_size_below_the_template_or_none_gives_the_template_size_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("none, as in older files") << 0 << 0;
    QTest::newRow("smaller than the template") << 100 << 80;
  }
  void a_stored_size_below_the_template_or_none_gives_the_template_size() {
    QFETCH(int, width);
    QFETCH(int, height);
    Open(Which::Main);
    const QSize smallest = dialog->size();
    dialog.reset();
    SaveSettings(Job{}, WindowSize{width, height});
    Open(Which::Main);
    QCOMPARE(dialog->size(), smallest);
  }
};

QTEST_MAIN(tst_TemplateDialog)
#include "tst_templatedialog.moc"
