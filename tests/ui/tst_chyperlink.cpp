// The link as a user meets it: its colours on screen, its cursor, its menu and the files it saves.

#include <sys/stat.h>
#include <QAccessible>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "res/resource.h"
#include "ui/hyperlink.h"
#include "ui/qt/qt_link_window.h"
#include "ui/repeater_dlg.h"
#include "ui_fakes.h"

using namespace kelvane;

namespace {

const QColor kBlue(0, 0, 238);
const QColor kPurple(85, 26, 139);
const QColor kRed(255, 0, 0);
const QColor kButton(0, 200, 0);
const QColor kShadow(90, 90, 90);
const std::string kUrl = "https://www.orvalle.example/";

bool Shows(const QImage& image, const QColor& color) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == color) return true;
    }
  }
  return false;
}

bool Differs(const QImage& image, const QColor& background) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) != background) return true;
    }
  }
  return false;
}

// Which of the three link colours the field shows when painted; the underline carries it unblended.
QString TextColor(QWidget* field) {
  const QImage image = field->grab().toImage();
  QStringList shown;
  for (const auto& [name, color] : {std::pair{"blue", kBlue}, {"purple", kPurple}, {"red", kRed}}) {
    if (Shows(image, color)) shown << name;
  }
  return shown.join('+');
}

// Counts the events of some types that a widget receives.
class EventCounter : public QObject {
 public:
  EventCounter(QWidget* widget, std::initializer_list<QEvent::Type> types) : types_(types) {
    widget->installEventFilter(this);
  }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    count += types_.contains(event->type()) ? 1 : 0;
    return false;
  }

 private:
  QList<QEvent::Type> types_;
};

// Another field and the link's field in a window, with fakes and temporary folders behind the link.
struct LinkInWindow {
  QWidget window;
  QLineEdit* other = new QLineEdit(&window);
  QLineEdit* field = new QLineEdit(&window);
  test::FakeUrlOpener urls;
  MemoryClipboard clipboard;
  test::TempDir favorites;
  test::TempDir desktop;
  std::string desktopPath = desktop.path();
  CHyperLink link{urls, clipboard, {[this] { return favorites.path(); }, [this] { return desktopPath; }}};

  LinkInWindow() {
    window.setGeometry(40, 40, 700, 120);
    other->setGeometry(10, 10, 200, 24);
    field->setGeometry(20, 60, 150, 20);
    field->setReadOnly(true);
    field->setFrame(false);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Button, kButton);
    palette.setColor(QPalette::Dark, kShadow);
    field->setPalette(palette);
    link.SubclassWindow(new QtLinkWindow(field));
  }
  bool Show() {
    window.show();
    return QTest::qWaitForWindowExposed(&window);
  }
  void Hover() { QTest::mouseMove(&window, field->geometry().center()); }
  void Leave() { QTest::mouseMove(&window, QPoint(390, 110)); }
  void AskForMenu(QContextMenuEvent::Reason reason, QPoint at = QPoint(30, 4)) {
    QContextMenuEvent request(reason, at, field->mapToGlobal(at));
    QCoreApplication::sendEvent(field, &request);
  }
};

// Runs check on the popup menu as soon as it is open, then sends it key (Escape closes it).
class MenuWatcher {
 public:
  explicit MenuWatcher(std::function<void(QMenu*)> check, Qt::Key key = Qt::Key_Escape) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, check = std::move(check), key] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr || !menu->isVisible()) return;
      timer_.stop();
      seen = true;
      check(menu);
      QTest::keyClick(menu, key);
    });
    timer_.start(10);
  }
  bool seen = false;

 private:
  QTimer timer_;
};

}  // namespace

class tst_CHyperLink : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<LinkInWindow> w;

 private slots:
  void init() { w = std::make_unique<LinkInWindow>(); }
  // The pointer ends away from where the next test's field will be.
  void cleanup() {
    if (w->window.isVisible()) w->Leave();
    w.reset();
  }

  void hover_is_red_and_leaving_restores_the_colour_before_data() {
    QTest::addColumn<bool>("visited");
    QTest::addColumn<QString>("before");
    QTest::newRow("unvisited") << false << "blue";
    QTest::newRow("visited") << true << "purple";
  }
  void hover_is_red_and_leaving_restores_the_colour_before() {
    QFETCH(bool, visited);
    QFETCH(QString, before);
    w->link.SetLink(kUrl, "www.orvalle.example", false);
    QVERIFY(w->Show());
    if (visited) w->link.OnOpen();
    for (int twice = 0; twice < 2; ++twice) {
      QCOMPARE(TextColor(w->field), before);
      w->Hover();
      QCOMPARE(TextColor(w->field), QString("red"));
      w->Leave();
    }
    QCOMPARE(TextColor(w->field), before);
  }

  void an_open_shows_visited_at_the_next_repaint_and_a_failed_one_changes_nothing_data() {
    QTest::addColumn<bool>("works");
    QTest::addColumn<QString>("after");
    QTest::newRow("succeeds") << true << "purple";
    QTest::newRow("fails") << false << "blue";
  }
  void an_open_shows_visited_at_the_next_repaint_and_a_failed_one_changes_nothing() {
    QFETCH(bool, works);
    QFETCH(QString, after);
    w->link.SetLink(kUrl, "Orvalle", false);
    QVERIFY(w->Show());
    w->urls.works = works;
    EventCounter paints(w->field, {QEvent::Paint});
    w->link.OnOpen();
    QCoreApplication::processEvents();
    QCOMPARE(w->urls.opened, std::vector<std::string>{kUrl});
    QCOMPARE(paints.count, 0);
    QCOMPARE(TextColor(w->field), after);
    w->Hover();
    w->Leave();
    QCOMPARE(TextColor(w->field), after);
  }

  void the_link_waits_for_the_openers_answer_data() {
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("after");
    QTest::newRow("the browser opened it") << true << "purple";
    QTest::newRow("no browser") << false << "blue";
  }
  void the_link_waits_for_the_openers_answer() {
    QFETCH(bool, opened);
    QFETCH(QString, after);
    w->link.SetLink(kUrl, "Orvalle", false);
    QVERIFY(w->Show());
    w->urls.deferred = true;
    w->link.OnOpen();
    QCOMPARE(w->urls.pending.size(), size_t{1});
    w->field->repaint();
    QCOMPARE(TextColor(w->field), QString("blue"));  // nothing is known yet
    w->urls.Reply(opened);
    w->field->repaint();
    QCOMPARE(TextColor(w->field), after);
  }

  void an_answer_after_the_link_is_gone_is_dropped() {
    test::FakeUrlOpener urls;
    urls.deferred = true;
    MemoryClipboard clipboard;
    {
      CHyperLink link(urls, clipboard, {});
      link.SetLink(kUrl, "Orvalle", false);
      link.OnOpen();
    }
    urls.Reply(true);
    QVERIFY(urls.pending.empty());
  }

  void a_click_opens_after_the_press_without_taking_the_focus() {
    w->link.SetLink(kUrl, "Orvalle", false);
    QVERIFY(w->Show());
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), w->field->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->field, &press);
    QVERIFY(w->urls.opened.empty());  // posted, not run inside the press
    QTRY_COMPARE(w->urls.opened.size(), size_t{1});

    w->other->setFocus();
    EventCounter paints(w->field, {QEvent::Paint});
    w->Hover();
    QTRY_VERIFY(paints.count > 0);  // painted red
    QTest::mouseClick(w->field, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_COMPARE(w->urls.opened.size(), size_t{2});
    QVERIFY(w->other->hasFocus());
    // Leaving straight after: repainted as visited rather than left red.
    paints.count = 0;
    w->Leave();
    QTRY_VERIFY(paints.count > 0);
    QCOMPARE(TextColor(w->field), QString("purple"));
  }

  void the_keyboard_menu_opens_at_the_top_left_plus_five_with_hover_ended_data() {
    QTest::addColumn<bool>("menuKey");
    QTest::newRow("Menu key") << true;
    QTest::newRow("Shift+F10") << false;
  }
  void the_keyboard_menu_opens_at_the_top_left_plus_five_with_hover_ended() {
    QFETCH(bool, menuKey);
    w->link.SetLink(kUrl, "Orvalle", false);
    QVERIFY(w->Show());
    QCOMPARE(w->field->cursor().pixmap().size(), QSize(32, 32));
    QCOMPARE(w->field->cursor().hotSpot(), QPoint(8, 3));
    QCOMPARE(w->field->cursor().pixmap().toImage().pixelColor(8, 3).alpha(), 255);  // on the fingertip
    w->field->setFocus();
    w->Hover();
    QPoint at;
    QStringList items;
    QList<int> ids;
    QString colour;
    Qt::CursorShape cursor = Qt::BitmapCursor;
    MenuWatcher watcher([&](QMenu* menu) {
      at = menu->pos();
      for (const QAction* action : menu->actions()) {
        items << action->text();
        ids << action->data().toInt();
      }
      colour = TextColor(w->field);
      cursor = w->field->cursor().shape();
    });
    if (menuKey) {
      w->AskForMenu(QContextMenuEvent::Keyboard);  // what the platform makes of the Menu key
    } else {
      QTest::keyClick(w->field, Qt::Key_F10, Qt::ShiftModifier);
    }
    QVERIFY(watcher.seen);
    QCOMPARE(at, w->field->mapToGlobal(QPoint(5, 5)));
    QCOMPARE(items, QStringList({"&Open", "Copy Shor&tcut", "Add to &Favorites", "Add to &Desktop"}));
    QCOMPARE(ids, QList<int>({32776, 32771, 32774, 32775}));
    QCOMPARE(colour, QString("blue"));
    QCOMPARE(cursor, Qt::ArrowCursor);
    QCOMPARE(w->field->cursor().shape(), Qt::BitmapCursor);  // the hand again
    QVERIFY(w->urls.opened.empty());                         // Escape chose nothing
  }

  void each_menu_item_runs_its_command_data() {
    QTest::addColumn<int>("mnemonic");
    QTest::addColumn<QString>("effect");
    QTest::newRow("&Open") << int(Qt::Key_O) << "opened";
    QTest::newRow("Copy Shor&tcut") << int(Qt::Key_T) << "copied";
    QTest::newRow("Add to &Favorites") << int(Qt::Key_F) << "favorites";
    QTest::newRow("Add to &Desktop") << int(Qt::Key_D) << "desktop";
  }
  void each_menu_item_runs_its_command() {
    QFETCH(int, mnemonic);
    QFETCH(QString, effect);
    w->link.SetLink(kUrl, "Orvalle", false);
    QVERIFY(w->Show());
    QPoint at;
    MenuWatcher watcher([&](QMenu* menu) { at = menu->pos(); }, Qt::Key(mnemonic));
    w->AskForMenu(QContextMenuEvent::Mouse);
    QVERIFY(watcher.seen);
    QCOMPARE(at, w->field->mapToGlobal(QPoint(30, 4)));  // at the pointer
    QStringList effects;
    if (!w->urls.opened.empty()) effects << "opened";
    if (w->clipboard.formats.count("text/plain") != 0) effects << "copied";
    if (!test::ListDir(w->favorites.path()).empty()) effects << "favorites";
    if (!test::ListDir(w->desktop.path()).empty()) effects << "desktop";
    QCOMPARE(effects, QStringList{effect});
  }

  void shortcuts_are_named_after_the_display_text_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("file");
    QTest::newRow("host name") << "https://www.orvalle.example"
                               << "www.orvalle.example.URL";
    QTest::newRow("trailing /") << "https://www.orvalle.example/"
                                << ".URL";
    QTest::newRow(": then \\, kept in the name") << "C:\\Links\\Orvalle"
                                                 << "\\Links\\Orvalle.URL";
    QTest::newRow("no separator") << "Orvalle Software"
                                  << "Orvalle Software.URL";
    QTest::newRow("/ before a port's :") << "http://www.orvalle.example:8080"
                                         << "www.orvalle.example:8080.URL";
    QTest::newRow("multi-byte") << "https://www.orvalle.example/café"
                                << "café.URL";
  }
  void shortcuts_are_named_after_the_display_text() {
    QFETCH(QString, text);
    QFETCH(QString, file);
    const std::string url = "https://www.orvalle.example/?from=kelvane";
    const std::string bytes = "[InternetShortcut]\r\nURL=" + url + "\r\n";
    w->link.SetLink(url, text.toStdString(), false);
    w->link.OnAddToFavorites();
    QCOMPARE(test::ListDir(w->favorites.path()), std::vector<std::string>{file.toStdString()});
    QCOMPARE(test::ReadFile(w->favorites.File(file.toStdString())), bytes);
    QVERIFY(test::ListDir(w->desktop.path()).empty());
    w->link.OnAddToDesktop();
    QCOMPARE(test::ListDir(w->desktop.path()), std::vector<std::string>{file.toStdString()});
    QCOMPARE(test::ReadFile(w->desktop.File(file.toStdString())), bytes);
  }

  void a_shortcut_that_cannot_be_saved_writes_nothing_data() {
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("url");
    QTest::newRow("no desktop folder") << ""
                                       << "Orvalle" << QString::fromStdString(kUrl);
    QTest::newRow("missing folder") << "missing"
                                    << "Orvalle" << QString::fromStdString(kUrl);
    QTest::newRow("name too long") << "." << QString(300, 'n') << QString::fromStdString(kUrl);
    QTest::newRow("a folder of that name") << "."
                                           << "Taken" << QString::fromStdString(kUrl);
    QTest::newRow("line break in the URL") << "."
                                           << "Orvalle"
                                           << "https://a.example/\r\nURL=https://b.example/";
  }
  void a_shortcut_that_cannot_be_saved_writes_nothing() {
    QFETCH(QString, desktop);
    QFETCH(QString, text);
    QFETCH(QString, url);
    ::mkdir(w->desktop.File("Taken.URL").c_str(), 0700);
    w->desktopPath = desktop.isEmpty() ? "" : w->desktop.File(desktop.toStdString());
    w->link.SetLink(url.toStdString(), text.toStdString(), false);
    w->link.OnAddToDesktop();
    QCOMPARE(test::ListDir(w->desktop.path()), std::vector<std::string>{"Taken.URL"});
    QVERIFY(test::ListDir(w->desktop.File("Taken.URL")).empty());
  }

  void copy_shortcut_replaces_only_the_text_data() {
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("noMemory");
    QTest::addColumn<QString>("text");
    QTest::newRow("copied") << false << false << QString::fromStdString(kUrl);
    QTest::newRow("clipboard held elsewhere") << true << false << "old text";
    QTest::newRow("out of memory") << false << true << "old text";
  }
  void copy_shortcut_replaces_only_the_text() {
    QFETCH(bool, busy);
    QFETCH(bool, noMemory);
    QFETCH(QString, text);
    w->clipboard.formats = {{"text/plain", "old text"}, {"text/html", "<b>kept</b>"}};
    w->clipboard.busy = busy;
    w->clipboard.failAllocation = noMemory;
    w->link.SetLink(kUrl, "Orvalle", false);
    w->link.OnCopyShortcut();
    QCOMPARE(w->clipboard.formats.at("text/plain"), text.toStdString());
    QCOMPARE(w->clipboard.formats.at("text/html"), std::string("<b>kept</b>"));
    QCOMPARE(w->clipboard.openCount, 0);
  }

  void auto_size_makes_the_field_as_wide_as_its_painted_text_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("address") << QString::fromStdString(kUrl);
    QTest::newRow("short") << "Go";
    QTest::newRow("empty") << "";
  }
  void auto_size_makes_the_field_as_wide_as_its_painted_text() {
    QFETCH(QString, text);
    // A font of the field's own, unlike the one it would be measured in by default.
    QFont font = w->field->font();
    font.setPointSize(font.pointSize() * 2);
    font.setBold(true);
    w->field->setFont(font);
    QVERIFY(w->Show());
    // Painted in a field wide enough for it, the text ends where only the button-face fill follows.
    w->link.SetLink(kUrl, text.toStdString(), false);
    w->field->setGeometry(20, 60, 650, 20);
    const QImage wide = w->field->grab().toImage();
    int painted = wide.width();
    while (painted > 0 && !Differs(wide.copy(painted - 1, 0, 1, wide.height()), kButton)) --painted;
    w->link.SetLink(kUrl, text.toStdString(), true);
    QCOMPARE(w->field->geometry().topLeft(), QPoint(20, 60));
    QCOMPARE(w->field->height(), 20);
    QVERIFY2(std::abs(w->field->width() - painted) <= 1,
             qPrintable(QString("%1 for %2").arg(w->field->width()).arg(painted)));
    QCOMPARE(w->field->width() == 0, text.isEmpty());
    // Neither the same text again nor a new URL moves or resizes it.
    EventCounter changes(w->field, {QEvent::Move, QEvent::Resize});
    w->link.SetLinkText(text.toStdString());
    w->link.SetLinkURL("https://elsewhere.example/");
    QCOMPARE(changes.count, 0);
    QCOMPARE(w->field->text(), text);
  }

  void the_shadow_replaces_the_button_fill_while_hovering_data() {
    QTest::addColumn<bool>("shadow");
    QTest::addColumn<bool>("hover");
    QTest::newRow("no shadow, resting") << false << false;
    QTest::newRow("no shadow, hovering") << false << true;
    QTest::newRow("shadow, resting") << true << false;
    QTest::newRow("shadow, hovering") << true << true;
  }
  void the_shadow_replaces_the_button_fill_while_hovering() {
    QFETCH(bool, shadow);
    QFETCH(bool, hover);
    w->link.SetLink(kUrl, "Orvalle", false);
    w->link.SetShadow(shadow);
    QVERIFY(w->Show());
    if (hover) w->Hover();
    const QImage image = w->field->grab().toImage();
    const bool filled = !(shadow && hover);
    QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1) == kButton, filled);
    QCOMPARE(Shows(image, kShadow), !filled);
    QVERIFY(Shows(image, hover ? kRed : kBlue));
  }

  void handed_back_the_field_is_a_plain_field_again() {
    // A field with a cursor and focus policy of its own, taken over by the link.
    w->link.SubclassWindow(nullptr);
    w->field->setCursor(Qt::WhatsThisCursor);
    w->field->setFocusPolicy(Qt::StrongFocus);
    w->link.SubclassWindow(new QtLinkWindow(w->field));
    w->link.SetLink(kUrl, "Orvalle", false);
    QVERIFY(w->Show());
    QCOMPARE(w->field->cursor().shape(), Qt::BitmapCursor);  // the hand
    QCOMPARE(QAccessible::queryAccessibleInterface(w->field)->role(), QAccessible::Link);
    w->link.SubclassWindow(nullptr);
    QCOMPARE(w->field->cursor().shape(), Qt::WhatsThisCursor);
    QCOMPARE(w->field->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(QAccessible::queryAccessibleInterface(w->field)->role(), QAccessible::EditableText);
    QTest::mouseClick(w->field, Qt::LeftButton, {}, QPoint(3, 3));
    QCoreApplication::processEvents();
    QVERIFY(w->urls.opened.empty());
    QCOMPARE(TextColor(w->field), QString());  // drawn by the field itself, in none of the link's colours
  }

  void a_field_that_goes_away_takes_its_window_from_the_link() {
    w->link.SetLink(kUrl, "Orvalle", false);
    QVERIFY(w->Show());
    delete w->field;
    w->field = nullptr;
    QCOMPARE(w->link.window(), nullptr);
    // Nothing left to draw on or to show a menu from: the link carries on quietly.
    w->link.SetLink(kUrl, "Orvalle Software", true);
    w->link.OnContextMenu(std::nullopt);
    w->link.OnMouseMove(true);
    QCOMPARE(w->link.state(), 2);
  }

  void the_main_dialog_links_to_the_makers_address_without_a_shadow() {
    test::FakeDesktop desktop;
    CRepeaterDlg main(desktop.services());
    const auto window = QtDialogHost::MakeWindow(main);
    TemplateDialog& dialog = *window;
    auto* field = dialog.Item<QLineEdit>(IDC_LINK);
    const QRect laidOut = field->geometry();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(field->text(), QString("www.orvalle.example"));
    QCOMPARE(field->geometry().topLeft(), laidOut.topLeft());
    QVERIFY2(field->geometry().right() < dialog.width(), "the link runs past the dialog's edge");
    QCOMPARE(field->height(), laidOut.height());
    QFont underlined = field->font();
    underlined.setUnderline(true);
    QCOMPARE(field->width(), QFontMetrics(underlined, field).horizontalAdvance(field->text()));
    QCOMPARE(TextColor(field), QString("blue"));
    QTest::mouseMove(&dialog, field->geometry().center());
    const QImage hovered = field->grab().toImage();
    QCOMPARE(TextColor(field), QString("red"));
    QCOMPARE(hovered.pixelColor(hovered.width() - 1, hovered.height() - 1), field->palette().color(QPalette::Button));
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(3, 3));
    QTRY_COMPARE(desktop.urls.opened, std::vector<std::string>{"https://www.orvalle.example/"});
    QTest::mouseMove(&dialog, QPoint(5, 5));
    QCOMPARE(TextColor(field), QString("purple"));
  }
};

QTEST_MAIN(tst_CHyperLink)
#include "tst_chyperlink.moc"
