#include "messages/GraphicToRtf.h"
#include "richtext/DibEncoder.h"

#include <QRegularExpression>
#include <QTest>

class TestGraphicToRtf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lengths_data()
    {
        QTest::addColumn<QImage>("bitmap");
        QTest::addColumn<int>("length");
        QImage face(20, 20, QImage::Format_RGB32);
        face.fill(qRgb(0xAB, 0xCD, 0xEF));
        QImage dot(1, 1, QImage::Format_RGB888);
        dot.fill(qRgb(0xFE, 0xDC, 0xBA));
        QTest::newRow("20x20 at 32 bpp") << face << 3306;
        QTest::newRow("1x1 at 24 bpp") << dot << 114;
    }

    void lengths()
    {
        QFETCH(QImage, bitmap);
        QFETCH(int, length);
        const QByteArray text = GraphicToRtf(bitmap);
        QCOMPARE(text.size(), qsizetype(length));
        QVERIFY(text.startsWith("{\\rtf1 {\\pict\\dibitmap "));
        QVERIFY(text.endsWith(" }}"));
        const QByteArray hex = text.mid(23, text.size() - 26);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(QString::fromLatin1(hex)).hasMatch());
        QCOMPARE(QByteArray::fromHex(hex), DibEncoder::encode(bitmap));
    }

    void oneDotExactly()
    {
        QImage dot(1, 1, QImage::Format_RGB888);
        dot.setPixel(0, 0, qRgb(0xFE, 0xDC, 0xBA));
        // size, width, height, planes, bits, compression, image size, resolution x/y, colours, then blue-green-red
        QCOMPARE(GraphicToRtf(dot), QByteArray("{\\rtf1 {\\pict\\dibitmap "
                                               "28000000"
                                               "01000000"
                                               "01000000"
                                               "0100"
                                               "1800"
                                               "00000000"
                                               "04000000"
                                               "00000000"
                                               "00000000"
                                               "00000000"
                                               "00000000"
                                               "BADCFE00 }}"));
    }

    void nullBitmap() { QVERIFY(GraphicToRtf(QImage()).isEmpty()); }
};

QTEST_GUILESS_MAIN(TestGraphicToRtf)
#include "tst_graphictortf.moc"
