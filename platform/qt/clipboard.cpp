#include "platform/qt/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <memory>
#include <new>

namespace kelvane {

namespace {

// The formats that carry the old text: text/plain with any charset, and the X11 text targets that
// Qt lists by their atom names. Kept, they would hand other programs the text that was replaced.
bool IsTextFormat(const QString& format) {
  static const QStringList x11Targets = {"UTF8_STRING", "STRING", "TEXT", "COMPOUND_TEXT"};
  return format.startsWith(QLatin1String("text/plain"), Qt::CaseInsensitive) ||
         x11Targets.contains(format, Qt::CaseInsensitive);
}

// Images and colours live in QMimeData as typed values that data() does not return as bytes.
constexpr QLatin1String kImageFormat("application/x-qt-image");
constexpr QLatin1String kColorFormat("application/x-color");

std::unique_ptr<QMimeData> CopyOtherFormats(const QMimeData* source) {
  auto copy = std::make_unique<QMimeData>();
  if (source == nullptr) {
    return copy;
  }
  if (source->hasImage()) {
    copy->setImageData(source->imageData());
  }
  if (source->hasColor()) {
    copy->setColorData(source->colorData());
  }
  for (const QString& format : source->formats()) {
    if (IsTextFormat(format) || format == kImageFormat || format == kColorFormat) {
      continue;
    }
    copy->setData(format, source->data(format));
  }
  return copy;
}

}  // namespace

bool QtClipboard::Open() {
  ++openCount_;
  return true;
}

void QtClipboard::Close() {
  if (openCount_ > 0) {
    --openCount_;
  }
}

std::optional<std::string> QtClipboard::TextBlock() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr || !data->hasText()) {
    return std::nullopt;
  }
  const QByteArray bytes = data->text().toLocal8Bit();
  std::string block(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  block.push_back('\0');
  return block;
}

void QtClipboard::Empty() {
  QGuiApplication::clipboard()->clear();
}

bool QtClipboard::SetText(const std::string& text) {
  try {
    QClipboard* clipboard = QGuiApplication::clipboard();
    std::unique_ptr<QMimeData> data = CopyOtherFormats(clipboard->mimeData());
    data->setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
    clipboard->setMimeData(data.release());  // the clipboard owns it now
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace kelvane
