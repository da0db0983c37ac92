// QtClipboard against the application's clipboard: the bytes read and written, and the formats kept.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>
#include <memory>
#include <optional>
#include <string_view>

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

  void aPreparedTextArrivesAsFromUtf8Would_data() {
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("whole");
    QTest::newRow("one piece") << QList<QByteArray>{"Gr\303\274\303\237e\r\n"} << QByteArray("Gr\303\274\303\237e\r\n");
    QTest::newRow("characters in many pieces") << QList<QByteArray>{"a", "\342\202\254", "\360\235\204\236b", "\r\n"}
                                               << QByteArray("a\342\202\254\360\235\204\236b\r\n");
    QTest::newRow("bytes that are not UTF-8")
        << QList<QByteArray>{"x\377y", "\342\202"} << QByteArray("x\377y\342\202");
    QTest::newRow("more than the size told")
        << QList<QByteArray>{"0123456789", "abcdefghij"} << QByteArray("0123456789abcdefghij");
    QTest::newRow("nothing") << QList<QByteArray>{} << QByteArray();
  }
  void aPreparedTextArrivesAsFromUtf8Would() {
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, whole);
    PutOnClipboard({{"text/plain", "old"}});
    QtClipboard clipboard;
    std::unique_ptr<kelvane::ClipboardText> text = clipboard.NewText(static_cast<std::uint64_t>(whole.size() / 2));
    for (const QByteArray& piece : pieces) {
      text->Append(std::string_view(piece.constData(), static_cast<size_t>(piece.size())));
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("old"));  // nothing changes before it is put
    QVERIFY(clipboard.SetPreparedText(std::move(text)));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8(whole));
    QCOMPARE(clipboard.TextBlock(), std::optional<std::string>(QString::fromUtf8(whole).toUtf8().toStdString() + '\0'));
  }

  void onlyItsOwnPreparedTextsGoOnTheClipboard() {
    PutOnClipboard({{"text/plain", "old"}});
    kelvane::MemoryClipboard memory;
    QtClipboard clipboard;
    QVERIFY(!clipboard.SetPreparedText(memory.NewText(3)));
    QVERIFY(!clipboard.SetPreparedText(nullptr));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("old"));
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
