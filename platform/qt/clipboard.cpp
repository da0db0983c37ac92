#include "platform/qt/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
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

// Each byte of UTF-8 gives at most one UTF-16 unit, so a buffer of as many units as bytes always
// has room; pieces end on whole characters, so each converts on its own.
class QtClipboardText : public ClipboardText {
 public:
  explicit QtClipboardText(std::uint64_t sizeHint) : text_(static_cast<qsizetype>(sizeHint), Qt::Uninitialized) {}

  void Append(std::string_view bytes) override {
    const auto needed = used_ + static_cast<qsizetype>(bytes.size());
    if (needed > text_.size()) {
      text_.resize(std::max(needed, text_.size() + text_.size() / 2));
    }
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QChar* end = decoder.appendToBuffer(text_.data() + used_,
                                              QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    used_ = end - text_.constData();
  }

  // The text; shrinking it keeps its buffer rather than copying it into a smaller one.
  QString Take() {
    text_.truncate(used_);
    return std::move(text_);
  }

 private:
  QString text_;
  qsizetype used_ = 0;
};

void PutText(const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  std::unique_ptr<QMimeData> data = CopyOtherFormats(clipboard->mimeData());
  data->setText(text);
  clipboard->setMimeData(data.release());  // the clipboard owns it now
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
  const QByteArray bytes = data->text().toUtf8();
  std::string block(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  block.push_back('\0');
  return block;
}

void QtClipboard::Empty() {
  QGuiApplication::clipboard()->clear();
}

bool QtClipboard::SetText(const std::string& text) {
  try {
    // fromUtf8, not fromLocal8Bit: the same conversion here, without its passing second copy.
    PutText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::unique_ptr<ClipboardText> QtClipboard::NewText(std::uint64_t sizeHint) {
  return std::make_unique<QtClipboardText>(sizeHint);
}

bool QtClipboard::SetPreparedText(std::unique_ptr<ClipboardText> text) {
  auto* prepared = dynamic_cast<QtClipboardText*>(text.get());
  if (prepared == nullptr) {
    return false;
  }
  try {
    PutText(prepared->Take());
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace kelvane
