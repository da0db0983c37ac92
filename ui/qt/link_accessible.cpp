#include "ui/qt/link_accessible.h"

#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPointer>

#include "ui/hyperlink.h"
#include "ui/qt/qt_link_window.h"

namespace kelvane {

namespace {

// The field is a read-only line edit underneath; without this it reads as an unnamed text field.
constexpr char kLinkProperty[] = "kelvaneHyperLink";

class LinkAccessible : public QAccessibleWidget {
 public:
  LinkAccessible(QWidget* field, QtLinkWindow* window) : QAccessibleWidget(field, QAccessible::Link), window_(window) {}

  [[nodiscard]] QString text(QAccessible::Text kind) const override {
    if (const CHyperLink* link = Link(); (kind == QAccessible::Name || kind == QAccessible::Value) && link != nullptr) {
      return QString::fromUtf8(link->linkText().data(), static_cast<qsizetype>(link->linkText().size()));
    }
    return QAccessibleWidget::text(kind);
  }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    state.traversed = Link() != nullptr && Link()->visited();
    return state;
  }
  [[nodiscard]] QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (CHyperLink* link = Link(); action == pressAction() && link != nullptr) {
      link->OnOpen();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  [[nodiscard]] CHyperLink* Link() const { return window_ != nullptr ? window_->link() : nullptr; }

  QPointer<QtLinkWindow> window_;
};

QAccessibleInterface* LinkFactory(const QString& className, QObject* object) {
  auto* field = qobject_cast<QLineEdit*>(object);
  if (className != QLatin1String("QLineEdit") || field == nullptr) {
    return nullptr;
  }
  auto* window = dynamic_cast<QtLinkWindow*>(field->property(kLinkProperty).value<QObject*>());
  return window != nullptr ? new LinkAccessible(field, window) : nullptr;
}

}  // namespace

void MakeAccessibleAsLink(QLineEdit* field, QtLinkWindow* window) {
  static const bool installed = [] {
    QAccessible::installFactory(LinkFactory);
    return true;
  }();
  (void)installed;
  field->setProperty(kLinkProperty, QVariant::fromValue<QObject*>(window));
  // An interface made before the field became a link, or while it was one, is cached; drop it so
  // the next query is made for what the field is now.
  if (QAccessibleInterface* current = QAccessible::queryAccessibleInterface(field);
      current != nullptr && (current->role() == QAccessible::Link) != (window != nullptr)) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
  }
}

}  // namespace kelvane
