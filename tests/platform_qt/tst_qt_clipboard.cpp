// QtClipboard against the application's clipboard: the bytes read and written, and the formats kept.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>

#include "platform/qt/clipboard.h"

using kelvane::QtClipboard;

namespace {

void PutOnClipboard(std::initializer_list<std::pair<QString, QByteArray>> formats) {
  auto* data = new QMimeData;
  for (const auto& [format, bytes] : formats) {
    data->setData(format, bytes);
  }
  QGuiApplication::clipboard()->setMimeData(data);
}

QImage SmallImage() {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(Qt::red);
  return image;
}

}  // namespace

class TestQtClipboard : public QObject {
  Q_OBJECT

 private slots:
  void init() { QGuiApplication::clipboard()->clear(); }

  void setTextRoundTripsUtf8_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("umlauts and CR LF") << QByteArray("Gr\303\274\303\237e\r\nzweite Zeile\r\n");
    QTest::newRow("ascii") << QByteArray("Dear Ada, you are number 001.\n");
    QTest::newRow("empty") << QByteArray("");
  }
  void setTextRoundTripsUtf8() {
    QFETCH(QByteArray, text);
    QtClipboard clipboard;
    QVERIFY(clipboard.SetText(text.toStdString()));
    // What other programs paste.
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8(text));
    const std::optional<std::string> block = clipboard.TextBlock();
    QVERIFY(block.has_value());
    QCOMPARE(QByteArray::fromStdString(*block), text + QByteArray(1, '\0'));
  }

  void textBlockReadsAnotherProgramsText() {
    QGuiApplication::clipboard()->setText(QStringLiteral("Stra\u00dfe\r\n"));
    const std::optional<std::string> block = QtClipboard().TextBlock();
    QVERIFY(block.has_value());
    QCOMPARE(QByteArray::fromStdString(*block), QByteArray("Stra\303\237e\r\n") + '\0');
  }

  void textBlockIsNothingWithoutText_data() {
    QTest::addColumn<int>("content");
    QTest::newRow("empty clipboard") << 0;
    QTest::newRow("an image only") << 1;
    QTest::newRow("a private format only") << 2;
  }
  void textBlockIsNothingWithoutText() {
    QFETCH(int, content);
    if (content == 1) {
      QGuiApplication::clipboard()->setImage(SmallImage());
    } else if (content == 2) {
      PutOnClipboard({{"application/x-kelvane-test", "payload"}});
    }
    QVERIFY(!QtClipboard().TextBlock().has_value());
  }

  void setTextKeepsOtherFormats() {
    auto* data = new QMimeData;
    data->setText(QStringLiteral("old"));
    data->setHtml(QStringLiteral("<b>old</b>"));
    data->setData("application/x-kelvane-test", "payload");
    data->setImageData(SmallImage());
    QGuiApplication::clipboard()->setMimeData(data);

    QVERIFY(QtClipboard().SetText("new"));

    const QMimeData* now = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(now->text(), QStringLiteral("new"));
    QCOMPARE(now->html(), QStringLiteral("<b>old</b>"));
    QCOMPARE(now->data("application/x-kelvane-test"), QByteArray("payload"));
    QVERIFY(now->hasImage());
    QCOMPARE(qvariant_cast<QImage>(now->imageData()), SmallImage());
  }

  void setTextLeavesNoCopyOfTheOldText() {
    PutOnClipboard({{"text/plain", "old"}, {"text/plain;charset=utf-8", "old"}, {"UTF8_STRING", "old"}});
    QVERIFY(QtClipboard().SetText("new"));
    const QMimeData* now = QGuiApplication::clipboard()->mimeData();
    for (const QString& format : now->formats()) {
      QVERIFY2(now->data(format) != "old", qPrintable(format));
    }
    QCOMPARE(now->text(), QStringLiteral("new"));
  }

  void emptyRemovesEveryFormat() {
    PutOnClipboard({{"text/plain", "text"}, {"application/x-kelvane-test", "payload"}});
    QtClipboard clipboard;
    clipboard.Empty();
    const QMimeData* now = QGuiApplication::clipboard()->mimeData();
    QVERIFY(now == nullptr || now->formats().isEmpty());
    QVERIFY(!clipboard.TextBlock().has_value());
  }
};

QTEST_MAIN(TestQtClipboard)
#include "tst_qt_clipboard.moc"
