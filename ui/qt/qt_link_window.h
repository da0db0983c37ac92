// The link's window on Qt: a read-only line edit whose events go to CHyperLink once it takes the
// window over, painted as the link's state says.
#pragma once

#include <QCursor>
#include <QObject>
#include <QPointer>
#include <optional>

#include "ui/link_window.h"

class QFont;
class QLineEdit;
class QPainter;

namespace kelvane {

class QtLinkWindow : public QObject, public LinkWindow {
 public:
  // A child of field, so it goes with it; the link taken over lets go of it then.
  explicit QtLinkWindow(QLineEdit* field);
  ~QtLinkWindow() override;
  QtLinkWindow(const QtLinkWindow&) = delete;
  QtLinkWindow& operator=(const QtLinkWindow&) = delete;

  [[nodiscard]] QLineEdit* field() const { return field_; }
  // The link the events go to, or nullptr.
  [[nodiscard]] CHyperLink* link() const { return link_; }

  void RouteEventsTo(CHyperLink* link) override;
  void SetWindowText(std::string_view text) override;
  [[nodiscard]] bool HasParent() const override;
  [[nodiscard]] int MeasureTextWidth(std::string_view text) const override;
  [[nodiscard]] int Width() const override;
  void SetWidth(int width) override;
  void Invalidate() override;
  void UpdateWindow() override;
  void SetCapture() override;
  void ReleaseCapture() override;
  void SetCursor(LinkCursor cursor) override;
  void PostCommand(int id) override;
  [[nodiscard]] ScreenPoint ClientToScreen(ScreenPoint point) const override;
  int TrackPopupMenu(int menuId, ScreenPoint at) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Paint(QPainter& painter) const;
  [[nodiscard]] QFont LinkFont() const;

  QPointer<QLineEdit> field_;
  CHyperLink* link_ = nullptr;
  // What the field had before the link took it over.
  std::optional<QCursor> ownCursor_;
  Qt::FocusPolicy ownFocusPolicy_ = Qt::NoFocus;
};

}  // namespace kelvane
