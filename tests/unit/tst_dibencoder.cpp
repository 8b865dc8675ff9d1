#include "richtext/DibEncoder.h"
#include "richtext/MetafileWriter.h"

#include <QImage>
#include <QTest>
#include <QtEndian>

namespace {

quint16 u16At(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 u32At(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

// A picture with a different colour in every corner, so row order and channel order both show.
QImage cornersImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(qRgb(10, 20, 30));
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(w - 1, 0, qRgb(0, 255, 0));
    image.setPixel(0, h - 1, qRgb(0, 0, 255));
    image.setPixel(w - 1, h - 1, qRgb(255, 255, 255));
    return image;
}

QImage indexedImage(int colours)
{
    QImage image(5, 3, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(qRgb(i * 6, 255 - i * 6, i * 3));
    image.setColorTable(table);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, uint((x * 3 + y * 7) % colours));
    return image;
}

// What any BMP reader makes of the DIB once the 14-byte file header is put in front.
QImage viaBmpReader(const QByteArray &dib)
{
    const quint32 offBits = u32At(dib, 0) + (u16At(dib, 14) <= 8 ? (1u << u16At(dib, 14)) * 4 : 0) +
                            (u32At(dib, 16) == DibEncoder::BI_BITFIELDS ? 12 : 0);
    QByteArray file("BM");
    file.resize(14);
    qToLittleEndian<quint32>(quint32(14 + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(0, file.data() + 6);
    qToLittleEndian<quint32>(14 + offBits, file.data() + 10);
    return QImage::fromData(file + dib, "BMP");
}

struct WmfRecord
{
    quint16 function;
    qsizetype offset; // of the record's first byte
    quint32 words;
};

QList<WmfRecord> recordsOf(const QByteArray &wmf)
{
    QList<WmfRecord> records;
    qsizetype at = 18;
    while (at + 6 <= wmf.size()) {
        const quint32 words = u32At(wmf, at);
        records.append({u16At(wmf, at + 4), at, words});
        if (words < 3)
            break;
        at += qsizetype(words) * 2;
    }
    return records;
}

} // namespace

class TestDibEncoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layouts_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("bitCount");
        QTest::addColumn<int>("compression");
        QTest::addColumn<int>("pixelOffset"); // header + colour table or masks
        QTest::addColumn<int>("stride");

        const QImage argb = cornersImage(5, 3);
        QTest::newRow("ARGB32 stays 32") << argb << 32 << 0 << 40 << 20;
        QTest::newRow("RGB32 stays 32") << argb.convertToFormat(QImage::Format_RGB32) << 32 << 0 << 40 << 20;
        QTest::newRow("premultiplied is 32")
            << argb.convertToFormat(QImage::Format_ARGB32_Premultiplied) << 32 << 0 << 40 << 20;
        QTest::newRow("RGBA8888 is 32") << argb.convertToFormat(QImage::Format_RGBA8888) << 32 << 0 << 40 << 20;
        QTest::newRow("RGB888 is 24, padded") << argb.convertToFormat(QImage::Format_RGB888) << 24 << 0 << 40 << 16;
        QTest::newRow("BGR888 is 24") << argb.convertToFormat(QImage::Format_BGR888) << 24 << 0 << 40 << 16;
        QTest::newRow("RGB555 is 16") << argb.convertToFormat(QImage::Format_RGB555) << 16 << 0 << 40 << 12;
        QTest::newRow("RGB16 is 16 with masks") << argb.convertToFormat(QImage::Format_RGB16) << 16 << 3 << 52 << 12;
        QTest::newRow("Indexed8 of 40 colours is 8") << indexedImage(40) << 8 << 0 << 40 + 1024 << 8;
        QTest::newRow("Indexed8 of 16 colours is 4") << indexedImage(16) << 4 << 0 << 40 + 64 << 4;
        QTest::newRow("Indexed8 of 2 colours is 4") << indexedImage(2) << 4 << 0 << 40 + 64 << 4;
        QTest::newRow("Grayscale8 is 8") << argb.convertToFormat(QImage::Format_Grayscale8) << 8 << 0 << 40 + 1024 << 8;
        QTest::newRow("Mono is 1") << argb.convertToFormat(QImage::Format_Mono) << 1 << 0 << 40 + 8 << 4;
        QTest::newRow("MonoLSB is 1") << argb.convertToFormat(QImage::Format_MonoLSB) << 1 << 0 << 40 + 8 << 4;
        QTest::newRow("wide mono row pads to 8 bytes")
            << cornersImage(33, 2).convertToFormat(QImage::Format_Mono) << 1 << 0 << 40 + 8 << 8;
    }

    void layouts()
    {
        QFETCH(QImage, image);
        QFETCH(int, bitCount);
        QFETCH(int, compression);
        QFETCH(int, pixelOffset);
        QFETCH(int, stride);

        const QByteArray dib = DibEncoder::encode(image);
        QCOMPARE(u32At(dib, 0), 40u);
        QCOMPARE(int(u32At(dib, 4)), image.width());
        QCOMPARE(int(u32At(dib, 8)), image.height()); // positive: bottom-up
        QCOMPARE(u16At(dib, 12), quint16(1));
        QCOMPARE(int(u16At(dib, 14)), bitCount);
        QCOMPARE(int(u32At(dib, 16)), compression);
        QCOMPARE(int(u32At(dib, 20)), stride * image.height());
        QCOMPARE(u32At(dib, 24), 0u);
        QCOMPARE(u32At(dib, 32), 0u); // full colour table
        QCOMPARE(dib.size(), qsizetype(pixelOffset + stride * image.height()));

        // Every pixel survives a BMP reader, which also proves row order, channel order and padding.
        const QImage back = viaBmpReader(dib);
        QVERIFY(!back.isNull());
        QCOMPARE(back.size(), image.size());
        // Qt's BMP reader widens 5-bit channels by shifting, without repeating the high bits.
        const int tolerance = bitCount == 16 ? 7 : 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb got = back.pixel(x, y);
                const QRgb want = image.pixel(x, y);
                const int diff = std::max({std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                                           std::abs(qBlue(got) - qBlue(want))});
                if (diff > tolerance)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 instead of %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(QColor(got).name(), QColor(want).name())));
            }
        }
    }

    void nullImageGivesNothing() { QVERIFY(DibEncoder::encode(QImage()).isEmpty()); }

    void metafileRecords_data()
    {
        QTest::addColumn<QByteArray>("dib");
        QTest::addColumn<QSize>("size");
        QTest::newRow("small 32 bpp") << DibEncoder::encode(cornersImage(3, 2)) << QSize(3, 2);
        QTest::newRow("odd length is padded") << QByteArray("\x28\0\0\0abcde", 9) << QSize(1, 1);
        QTest::newRow("largest coordinate") << QByteArray(44, 'x') << QSize(32767, 1);
    }

    void metafileRecords()
    {
        QFETCH(QByteArray, dib);
        QFETCH(QSize, size);
        const QByteArray wmf = MetafileWriter::stretchDib(dib, size);

        QCOMPARE(u16At(wmf, 0), quint16(1));
        QCOMPARE(u16At(wmf, 2), quint16(9));
        QCOMPARE(u16At(wmf, 4), quint16(0x0300));
        QCOMPARE(qsizetype(u32At(wmf, 6)) * 2, wmf.size());
        QCOMPARE(u16At(wmf, 10), quint16(0));

        const QList<WmfRecord> records = recordsOf(wmf);
        QList<quint16> functions;
        quint32 largest = 0;
        for (const WmfRecord &r : records) {
            functions.append(r.function);
            largest = std::max(largest, r.words);
        }
        using namespace MetafileWriter;
        QCOMPARE(functions, (QList<quint16>{META_SETMAPMODE, META_SETWINDOWORG, META_SETWINDOWEXT,
                                            META_SETSTRETCHBLTMODE, META_STRETCHDIB, META_EOF}));
        QCOMPARE(u32At(wmf, 12), largest);
        // The records exactly fill the file, ending with the 3-word EOF.
        QCOMPARE(records.last().offset + 6, wmf.size());
        QCOMPARE(records.last().words, 3u);

        QCOMPARE(u16At(wmf, records[0].offset + 6), quint16(8)); // MM_ANISOTROPIC
        const qsizetype ext = records[2].offset + 6;
        QCOMPARE(int(u16At(wmf, ext)), size.height());
        QCOMPARE(int(u16At(wmf, ext + 2)), size.width());

        const qsizetype s = records[4].offset + 6;
        QCOMPARE(u32At(wmf, s), SRCCOPY);
        QCOMPARE(u16At(wmf, s + 4), quint16(0)); // DIB_RGB_COLORS
        const QList<int> coordinates = {size.height(), size.width(), 0, 0, size.height(), size.width(), 0, 0};
        for (int i = 0; i < coordinates.size(); ++i)
            QCOMPARE(int(u16At(wmf, s + 6 + i * 2)), coordinates[i]);
        QCOMPARE(wmf.mid(s + 22, dib.size()), dib);
        QCOMPARE(qsizetype(records[4].words) * 2, 28 + dib.size() + (dib.size() & 1));
    }

    void metafileRefusesWhatCoordinatesCannotHold()
    {
        const QByteArray dib(44, 'x');
        QVERIFY(MetafileWriter::stretchDib(dib, QSize(32768, 1)).isEmpty());
        QVERIFY(MetafileWriter::stretchDib(dib, QSize(0, 1)).isEmpty());
        QVERIFY(MetafileWriter::stretchDib(QByteArray(), QSize(1, 1)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDibEncoder)
#include "tst_dibencoder.moc"
