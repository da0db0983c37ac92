#include "ui/qt/template_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTableWidget>
#include <algorithm>

#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/qt/focus_frame.h"
#include "ui/qt/qt_link_window.h"

namespace kelvane {

namespace {

// A list view whose keyboard focus shows even when it has no rows to put a focus frame on.
class ListView : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QTableWidget::paintEvent(event);
    if (!hasFocus()) {
      return;
    }
    QPainter painter(viewport());
    DrawFocusFrame(painter, this, viewport()->rect().adjusted(1, 1, -1, -1), palette().color(QPalette::Base));
  }
  void focusInEvent(QFocusEvent* event) override {
    QTableWidget::focusInEvent(event);
    viewport()->update();
  }
  void focusOutEvent(QFocusEvent* event) override {
    QTableWidget::focusOutEvent(event);
    viewport()->update();
  }
};

QString WithoutMnemonic(QString text) {
  static const QRegularExpression ampersand(QStringLiteral("&(.)"));
  return text.replace(ampersand, QStringLiteral("\\1"));
}

}  // namespace

DialogUnits DialogUnits::ForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width of the Latin letters, rounded, as the dialog manager measures it.
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

int DialogUnits::X(int units) const {
  return (units * baseX + 2) / 4;
}

int DialogUnits::Y(int units) const {
  return (units * baseY + 4) / 8;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  return {X(x), Y(y), X(width), Y(height)};
}

TemplateDialog::TemplateDialog(CDialog& dialog, QWidget* parent)
    : QDialog(parent),
      dialog_(dialog),
      template_(res::LoadDialog(dialog.templateId())),
      units_(DialogUnits::ForFont(font())) {
  Build();
  dialog_.Attach(this);
}

TemplateDialog::~TemplateDialog() {
  if (dialog_.window() == this) {
    dialog_.Attach(nullptr);
  }
}

QWidget* TemplateDialog::CreateControl(const res::Control& control) {
  const QString text = QString::fromUtf8(control.text);
  if (control.className == "Static") {
    auto* label = new QLabel(text, this);
    // A one-line label stays on one line even where the desktop font runs wider than its box;
    // a box of several lines wraps as the template's text expects.
    label->setWordWrap(text.contains('\n') || control.height >= 16);
    label->setAlignment((control.Has("SS_CENTER")  ? Qt::AlignHCenter
                         : control.Has("SS_RIGHT") ? Qt::AlignRight
                                                   : Qt::AlignLeft) |
                        Qt::AlignTop);
    return label;
  }
  if (control.className == "Edit") {
    if (control.Has("ES_MULTILINE")) {
      auto* edit = new QPlainTextEdit(this);
      // Lines scroll instead of wrapping; Tab moves on to the next control as in any dialog.
      edit->setLineWrapMode(control.Has("ES_AUTOHSCROLL") ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
      edit->setTabChangesFocus(true);
      edit->installEventFilter(this);  // Ctrl+Tab types the tab that Tab no longer does
      edit->setVerticalScrollBarPolicy(control.Has("WS_VSCROLL") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      edit->setHorizontalScrollBarPolicy(control.Has("WS_HSCROLL") ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      edit->setReadOnly(control.Has("ES_READONLY"));
      if (!control.Has("WS_BORDER")) {
        edit->setFrameShape(QFrame::NoFrame);
      }
      return edit;
    }
    auto* edit = new QLineEdit(this);
    edit->setReadOnly(control.Has("ES_READONLY"));
    edit->setFrame(control.Has("WS_BORDER"));
    return edit;
  }
  if (control.className == "Button") {
    if (control.Has("BS_AUTOCHECKBOX")) {
      return new QCheckBox(text, this);
    }
    auto* button = new QPushButton(text, this);
    button->setDefault(control.Has("BS_DEFPUSHBUTTON"));
    button->setAutoDefault(true);  // a focused push button takes Enter itself
    const int id = control.id;
    connect(button, &QPushButton::clicked, this, [this, id] { dialog_.OnCommand(id); });
    // The "..." says nothing by itself; this is the name screen readers give it.
    if (id == IDC_BROWSE_OUTPUT_FILE) {
      button->setAccessibleName(QString::fromUtf8(res::LoadString(IDS_BROWSE_OUTPUT_FILE)));
    }
    return button;
  }
  if (control.className == "SysListView32") {
    auto* list = new ListView(0, 1, this);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->horizontalHeader()->setHighlightSections(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(control.Has("LVS_SINGLESEL") ? QAbstractItemView::SingleSelection
                                                        : QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->setWordWrap(false);
    list->setTabKeyNavigation(false);
    if (!control.Has("WS_BORDER")) {
      list->setFrameShape(QFrame::NoFrame);
    }
    const int id = control.id;
    connect(list, &QTableWidget::cellDoubleClicked, this,
            [this, id] { dialog_.OnNotify(id, Notification::DoubleClick); });
    return list;
  }
  auto* unknown = new QLabel(text, this);
  return unknown;
}

void TemplateDialog::Build() {
  setWindowTitle(QString::fromUtf8(template_.caption));
  // Title bar and close box, no minimise or maximise box, as the template's styles ask.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  // The template's size, fixed until SetAnchor() lets the dialog grow.
  templateSize_ = QSize(units_.X(template_.width), units_.Y(template_.height));
  setFixedSize(templateSize_);

  QWidget* previousStop = nullptr;
  std::vector<std::pair<QLabel*, size_t>> labels;
  const auto& controls = template_.controls;
  for (size_t i = 0; i < controls.size(); ++i) {
    const res::Control& control = controls[i];
    QWidget* widget = CreateControl(control);
    QRect geometry = units_.Rect(control.x, control.y, control.width, control.height);
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && !label->wordWrap()) {
      geometry.setWidth(std::max(geometry.width(), label->sizeHint().width()));
    }
    widget->setGeometry(geometry);
    templateGeometry_.push_back(geometry);
    widgets_.push_back(widget);
    widget->setObjectName(QStringLiteral("control%1").arg(control.id == IDC_STATIC ? -1 : control.id));
    widget->setVisible(control.Has("WS_VISIBLE"));
    if (control.Has("WS_TABSTOP")) {
      if (widget->focusPolicy() == Qt::NoFocus) {
        widget->setFocusPolicy(Qt::StrongFocus);
      }
      if (previousStop != nullptr) {
        setTabOrder(previousStop, widget);
      }
      previousStop = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && control.text.find('&') != std::string::npos) {
      labels.emplace_back(label, i);
    }
    // Screen readers name a field by the label just before it, as the desktop's own dialogs do.
    if (i > 0 && controls[i - 1].className == "Static" && control.className != "Static" &&
        control.className != "Button") {
      widget->setAccessibleName(WithoutMnemonic(QString::fromUtf8(controls[i - 1].text)));
    }
    if (control.id != IDC_STATIC) {
      controls_[control.id] = widget;
    }
  }
  // F1 is the Help command wherever the focus is in the dialog, as the Help button is.
  if (controls_.contains(ID_HELP)) {
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] { dialog_.OnCommand(ID_HELP); });
  }
  // A label's mnemonic moves the focus to the next tab stop after it.
  for (const auto& [label, index] : labels) {
    for (size_t next = index + 1; next < controls.size(); ++next) {
      if (controls[next].Has("WS_TABSTOP")) {
        label->setBuddy(controls_.at(controls[next].id));
        break;
      }
    }
  }
}

QWidget* TemplateDialog::GetDlgItem(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void TemplateDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (initialised_) {
    return;
  }
  initialised_ = true;
  if (dialog_.OnInitDialog()) {
    // The focus goes to the first tab stop.
    for (const res::Control& control : template_.controls) {
      if (control.Has("WS_TABSTOP")) {
        GetDlgItem(control.id)->setFocus(Qt::OtherFocusReason);
        break;
      }
    }
  }
}

void TemplateDialog::closeEvent(QCloseEvent* event) {
  // The dialog ends only through its commands; the close box asks for the close command.
  event->ignore();
  if (isVisible()) {
    dialog_.OnClose();
  }
}

void TemplateDialog::SetAnchor(int id, Anchor anchor) {
  anchors_[id] = anchor;
  setMinimumSize(templateSize_);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  LayOut();
}

void TemplateDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
  FitColumns();
}

// Every control is placed from its template position, so growing and shrinking again ends where it
// began. A control that does not grow keeps its own size (the link sizes itself to its text).
void TemplateDialog::LayOut() {
  if (anchors_.empty()) {
    return;
  }
  const int dx = std::max(0, width() - templateSize_.width());
  const int dy = std::max(0, height() - templateSize_.height());
  const auto& controls = template_.controls;
  for (size_t i = 0; i < controls.size() && i < widgets_.size(); ++i) {
    // A label goes with the control it names, the next one in template order that is not a label.
    size_t named = i;
    while (named < controls.size() && controls[named].className == "Static") {
      ++named;
    }
    const auto found = named < controls.size() ? anchors_.find(controls[named].id) : anchors_.end();
    if (found == anchors_.end()) {
      continue;
    }
    const Anchor& anchor = found->second;
    const QRect& base = templateGeometry_[i];
    const QPoint position(base.x() + static_cast<int>(anchor.moveX * dx),
                          base.y() + static_cast<int>(anchor.moveY * dy));
    QWidget* widget = widgets_[i];
    if (named != i || (anchor.growX == 0 && anchor.growY == 0)) {
      widget->move(position);
    } else {
      widget->setGeometry(QRect(position, QSize(base.width() + static_cast<int>(anchor.growX * dx),
                                                base.height() + static_cast<int>(anchor.growY * dy))));
    }
  }
}

bool TemplateDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    auto* edit = qobject_cast<QPlainTextEdit*>(watched);
    if (edit != nullptr && key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier &&
        !edit->isReadOnly()) {
      edit->insertPlainText(QStringLiteral("\t"));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TemplateDialog::accept() {
  dialog_.OnCommand(IDOK);
}

void TemplateDialog::reject() {
  dialog_.OnCommand(IDCANCEL);
}

}  // namespace kelvane
