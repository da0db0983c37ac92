#include "ui/link_accessible.h"

#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPointer>

#include "ui/hyperlink.h"

namespace kelvane {

namespace {

// The field is a read-only line edit underneath; without this it reads as an unnamed text field.
constexpr char kLinkProperty[] = "kelvaneHyperLink";

class LinkAccessible : public QAccessibleWidget {
 public:
  LinkAccessible(QWidget* field, CHyperLink* link) : QAccessibleWidget(field, QAccessible::Link), link_(link) {}

  [[nodiscard]] QString text(QAccessible::Text kind) const override {
    if ((kind == QAccessible::Name || kind == QAccessible::Value) && link_ != nullptr) {
      return QString::fromLocal8Bit(link_->linkText().data(), static_cast<qsizetype>(link_->linkText().size()));
    }
    return QAccessibleWidget::text(kind);
  }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    state.traversed = link_ != nullptr && link_->visited();
    return state;
  }
  [[nodiscard]] QStringList actionNames() const override {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == pressAction() && link_ != nullptr) {
      link_->OnOpen();
      return;
    }
    QAccessibleWidget::doAction(action);
  }

 private:
  QPointer<CHyperLink> link_;
};

QAccessibleInterface* LinkFactory(const QString& className, QObject* object) {
  auto* field = qobject_cast<QLineEdit*>(object);
  if (className != QLatin1String("QLineEdit") || field == nullptr) {
    return nullptr;
  }
  auto* link = dynamic_cast<CHyperLink*>(field->property(kLinkProperty).value<QObject*>());
  return link != nullptr ? new LinkAccessible(field, link) : nullptr;
}

}  // namespace

void MakeAccessibleAsLink(QLineEdit* field, CHyperLink* link) {
  static const bool installed = [] {
    QAccessible::installFactory(LinkFactory);
    return true;
  }();
  (void)installed;
  field->setProperty(kLinkProperty, QVariant::fromValue<QObject*>(link));
  // An interface made before the field became a link is cached; drop it so the next query is ours.
  if (QAccessibleInterface* current = QAccessible::queryAccessibleInterface(field);
      current != nullptr && current->role() != QAccessible::Link) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
  }
}

}  // namespace kelvane
