// QtMessageBox as the user sees it: caption, icon, buttons, text, and the answer to a click or key.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt/message_box.h"

using kelvane::MessageAnswer;
using kelvane::MessageButtons;
using kelvane::MessageIcon;
using kelvane::QtMessageBox;

Q_DECLARE_METATYPE(MessageButtons)
Q_DECLARE_METATYPE(MessageIcon)
Q_DECLARE_METATYPE(MessageAnswer)

namespace {

// How the user answers: a click on a button, or a key.
struct Press {
  QMessageBox::StandardButton button = QMessageBox::NoButton;
  Qt::Key key = Qt::Key_unknown;
};

QMessageBox* OpenMessageBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
      return box;
    }
  }
  return nullptr;
}

// Shows a box, lets inspect() look at it while it is open, then answers it with press.
MessageAnswer ShowAndAnswer(QtMessageBox& messages, const std::string& text, MessageButtons buttons, MessageIcon icon,
                            Press press, const std::function<void(QMessageBox&)>& inspect) {
  bool found = false;
  QTimer::singleShot(0, [&] {
    QMessageBox* box = OpenMessageBox();
    if (box == nullptr) {
      return;
    }
    found = true;
    inspect(*box);
    if (press.button != QMessageBox::NoButton) {
      box->button(press.button)->click();
    } else {
      QTest::keyClick(box, press.key);
    }
    // A key the box ignores would leave it open and hang the test.
    QTimer::singleShot(0, box, [box] { box->done(-1); });
  });
  const MessageAnswer answer = messages.Show(text, buttons, icon);
  [&] { QVERIFY2(found, "no message box was shown"); }();
  return answer;
}

}  // namespace

class TestQtMessageBox : public QObject {
  Q_OBJECT

 private slots:
  void showsTheBoxAndReturnsTheAnswer_data() {
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<int>("pressButton");
    QTest::addColumn<int>("pressKey");
    QTest::addColumn<int>("expectedButtons");
    QTest::addColumn<int>("expectedIcon");
    QTest::addColumn<MessageAnswer>("answer");

    const int none = QMessageBox::NoButton;
    const int noKey = Qt::Key_unknown;
    const int ok = QMessageBox::Ok;
    const int okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    const int yesNoCancel = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;

    QTest::newRow("Ok, no icon: exclamation; Enter")
        << MessageButtons::Ok << MessageIcon::None << none << int(Qt::Key_Return) << ok << int(QMessageBox::Warning)
        << MessageAnswer::Ok;
    QTest::newRow("Ok: Escape answers Ok")
        << MessageButtons::Ok << MessageIcon::Exclamation << none << int(Qt::Key_Escape) << ok
        << int(QMessageBox::Warning) << MessageAnswer::Ok;
    QTest::newRow("OkCancel, information: Enter is Ok")
        << MessageButtons::OkCancel << MessageIcon::Information << none << int(Qt::Key_Return) << okCancel
        << int(QMessageBox::Information) << MessageAnswer::Ok;
    QTest::newRow("OkCancel: Escape is Cancel")
        << MessageButtons::OkCancel << MessageIcon::None << none << int(Qt::Key_Escape) << okCancel
        << int(QMessageBox::Warning) << MessageAnswer::Cancel;
    QTest::newRow("YesNo, no icon: Enter is Yes")
        << MessageButtons::YesNo << MessageIcon::None << none << int(Qt::Key_Return) << yesNo
        << int(QMessageBox::Warning) << MessageAnswer::Yes;
    QTest::newRow("YesNo: click No") << MessageButtons::YesNo << MessageIcon::Question << int(QMessageBox::No) << noKey
                                     << yesNo << int(QMessageBox::Question) << MessageAnswer::No;
    QTest::newRow("YesNo: Escape is No") << MessageButtons::YesNo << MessageIcon::None << none << int(Qt::Key_Escape)
                                         << yesNo << int(QMessageBox::Warning) << MessageAnswer::No;
    QTest::newRow("YesNoCancel, stop: click No")
        << MessageButtons::YesNoCancel << MessageIcon::Stop << int(QMessageBox::No) << noKey << yesNoCancel
        << int(QMessageBox::Critical) << MessageAnswer::No;
    QTest::newRow("YesNoCancel: Escape is Cancel")
        << MessageButtons::YesNoCancel << MessageIcon::None << none << int(Qt::Key_Escape) << yesNoCancel
        << int(QMessageBox::Warning) << MessageAnswer::Cancel;
  }
  void showsTheBoxAndReturnsTheAnswer() {
    QFETCH(MessageButtons, buttons);
    QFETCH(MessageIcon, icon);
    QFETCH(int, pressButton);
    QFETCH(int, pressKey);
    QFETCH(int, expectedButtons);
    QFETCH(int, expectedIcon);
    QFETCH(MessageAnswer, answer);

    QWidget parent;
    parent.show();
    QtMessageBox messages(&parent);
    QString title;
    QMessageBox::StandardButtons shownButtons;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QWidget* shownParent = nullptr;
    const MessageAnswer got = ShowAndAnswer(
        messages, "Results were written to the clipboard", buttons, icon,
        {static_cast<QMessageBox::StandardButton>(pressButton), static_cast<Qt::Key>(pressKey)}, [&](QMessageBox& box) {
          title = box.windowTitle();
          shownButtons = box.standardButtons();
          shownIcon = box.icon();
          shownParent = box.parentWidget();
        });

    QCOMPARE(title, QStringLiteral("Kelvane"));
    QCOMPARE(int(shownButtons), expectedButtons);
    QCOMPARE(int(shownIcon), expectedIcon);
    QCOMPARE(shownParent, &parent);
    QCOMPARE(got, answer);
  }

  void showsTheTextAsTyped_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("a tag in angle brackets")
        << QByteArray("Variable <b> has 2 lines and the repeat value is 3.  Please correct.");
    QTest::newRow("UTF-8") << QByteArray("Are you sure you want to delete variable Gr\303\274\303\237e?");
  }
  void showsTheTextAsTyped() {
    QFETCH(QByteArray, text);
    QtMessageBox messages;
    QString shown;
    ShowAndAnswer(messages, text.toStdString(), MessageButtons::Ok, MessageIcon::None, {QMessageBox::Ok, {}},
                  [&](QMessageBox& box) {
                    // What the label displays: rich text would drop "<b>" and embolden the rest.
                    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
                    QVERIFY(label != nullptr);
                    QCOMPARE(label->textFormat(), Qt::PlainText);
                    shown = label->text();
                  });
    QCOMPARE(shown, QString::fromUtf8(text));
  }
};

QTEST_MAIN(TestQtMessageBox)
#include "tst_qt_message_box.moc"
