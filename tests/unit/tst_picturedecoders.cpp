#include "PictureBytes.h"

#include "richtext/DibDecoder.h"
#include "richtext/JpegDecoder.h"
#include "richtext/RtfPicture.h"
#include "richtext/WmfDecoder.h"

#include <QBuffer>
#include <QTest>

using namespace PictureBytes;

namespace {

const QRgb Red = qRgb(255, 0, 0);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Blue = qRgb(0, 0, 255);
const QRgb White = qRgb(255, 255, 255);
const QRgb Black = qRgb(0, 0, 0);

// 4x2 indexed bitmaps: palette {black, red, green, blue, ...}, top row 1 2 3 0, bottom row 0 0 0 1.
QByteArray indexedDib(int bpp)
{
    const int colours = 1 << bpp;
    QByteArray out = infoHeader(4, 2, bpp);
    const QRgb palette[4] = {Black, Red, Green, Blue};
    for (int i = 0; i < colours; ++i)
        out += bgr0(i < 4 ? palette[i] : White);
    auto row = [&](const int(&indices)[4]) {
        QByteArray bytes(4, '\0');
        for (int x = 0; x < 4; ++x) {
            const int bit = x * bpp;
            bytes[bit / 8] = char(quint8(bytes[bit / 8]) | (indices[x] & ((1 << bpp) - 1)) << (8 - bpp - bit % 8));
        }
        return bytes;
    };
    return out + row({0, 0, 0, 1}) + row({1, 2, 3, 0});
}

QByteArray withHeaderField(QByteArray dib, int offset, qint64 value)
{
    dib.replace(offset, 4, le32(value));
    return dib;
}

} // namespace

class TestPictureDecoders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void packedDib_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QRgb>("colour");

        const QImage image = pattern(5, 3);
        QTest::newRow("24 bpp bottom-up, top-left") << PictureBytes::dib(image) << QSize(5, 3) << QPoint(0, 0) << Green;
        QTest::newRow("24 bpp bottom-up, bottom-right")
            << PictureBytes::dib(image) << QSize(5, 3) << QPoint(4, 2) << Blue;
        QTest::newRow("24 bpp top-down") << PictureBytes::dib(image, 24, true) << QSize(5, 3) << QPoint(0, 0) << Green;
        QTest::newRow("32 bpp, zero alpha is opaque")
            << PictureBytes::dib(image, 32) << QSize(5, 3) << QPoint(1, 2) << Red;
        QTest::newRow("1 bpp") << indexedDib(1) << QSize(4, 2) << QPoint(0, 0) << Red;
        QTest::newRow("1 bpp second row") << indexedDib(1) << QSize(4, 2) << QPoint(3, 1) << Red;
        QTest::newRow("4 bpp") << indexedDib(4) << QSize(4, 2) << QPoint(2, 0) << Blue;
        QTest::newRow("8 bpp") << indexedDib(8) << QSize(4, 2) << QPoint(1, 0) << Green;
        QTest::newRow("8 bpp bottom row") << indexedDib(8) << QSize(4, 2) << QPoint(3, 1) << Red;

        // 16 bpp 5-5-5 and 5-6-5 bit fields: one pixel, pure red, row padded to 4 bytes.
        QTest::newRow("16 bpp 555") << infoHeader(1, 1, 16) + le16(0x7C00) + le16(0) << QSize(1, 1) << QPoint(0, 0)
                                    << Red;
        QTest::newRow("16 bpp 565 bit fields")
            << infoHeader(1, 1, 16, 3) + le32(0xF800) + le32(0x07E0) + le32(0x001F) + le16(0x07E0) + le16(0)
            << QSize(1, 1) << QPoint(0, 0) << Green;
        QTest::newRow("32 bpp bit fields")
            << infoHeader(1, 1, 32, 3) + le32(0xFF) + le32(0xFF00) + le32(0xFF0000) + le32(0x00FF0000) << QSize(1, 1)
            << QPoint(0, 0) << Blue;

        // RLE8: a run of 3 of index 1 then end of line; a literal row 2 3 then end of bitmap.
        const QByteArray palette = bgr0(Black) + bgr0(Red) + bgr0(Green) + bgr0(Blue);
        QTest::newRow("rle8 run") << infoHeader(3, 2, 8, 1, 4) + palette +
                                         QByteArray("\x03\x01\x00\x00\x00\x03\x02\x03\x02\x00\x00\x01", 12)
                                  << QSize(3, 2) << QPoint(2, 1) << Red;
        QTest::newRow("rle8 literal") << infoHeader(3, 2, 8, 1, 4) + palette +
                                             QByteArray("\x03\x01\x00\x00\x00\x03\x02\x03\x02\x00\x00\x01", 12)
                                      << QSize(3, 2) << QPoint(1, 0) << Blue;
        QTest::newRow("rle4 run alternates") << infoHeader(4, 1, 4, 2, 4) + palette + QByteArray("\x04\x12\x00\x01", 4)
                                             << QSize(4, 1) << QPoint(1, 0) << Green;
        QTest::newRow("core header") << le32(12) + le16(1) + le16(1) + le16(1) + le16(24) +
                                            QByteArray("\x00\x00\xFF\x00", 4)
                                     << QSize(1, 1) << QPoint(0, 0) << Red;
        // The last row may lack its padding.
        QTest::newRow("unpadded last row")
            << PictureBytes::dib(filled(1, 2, Red)).chopped(1) << QSize(1, 2) << QPoint(0, 0) << Red;
    }
    void packedDib()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QPoint, at);
        QFETCH(QRgb, colour);
        const QImage image = DibDecoder::decode(bytes);
        QCOMPARE(image.size(), size);
        QCOMPARE(QColor(image.pixel(at)), QColor(colour));
    }

    // Every header lie ends in a null image, and nothing is allocated for dimensions beyond the caps.
    void dibRejects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = PictureBytes::dib(filled(4, 4, Red));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only part") << good.first(20);
        QTest::newRow("header size beyond data") << withHeaderField(good, 0, 4000);
        QTest::newRow("header size nonsense") << withHeaderField(good, 0, 20);
        QTest::newRow("pixels missing") << good.first(40 + 16);
        QTest::newRow("header claims more rows") << withHeaderField(good, 8, 4000);
        QTest::newRow("zero width") << withHeaderField(good, 4, 0);
        QTest::newRow("negative width") << withHeaderField(good, 4, -4);
        QTest::newRow("width beyond cap") << withHeaderField(good, 4, 100000);
        QTest::newRow("most negative height") << withHeaderField(good, 8, qint64(0x80000000));
        QTest::newRow("height beyond cap") << infoHeader(8192, 8193, 8, 1, 2) + QByteArray(8, '\0');
        QTest::newRow("unsupported depth") << infoHeader(1, 1, 7) + QByteArray(4, '\0');
        QTest::newRow("unknown compression") << withHeaderField(good, 16, 9);
        QTest::newRow("rle8 at 24 bpp") << withHeaderField(good, 16, 1);
        QTest::newRow("colour table beyond data") << infoHeader(1, 1, 8, 0, 0x40000000) + QByteArray(8, '\0');
        QTest::newRow("bit fields without masks") << infoHeader(1, 1, 32, 3);
    }
    void dibRejects()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(DibDecoder::decode(bytes).isNull());
    }

    // Run-length data that points outside the bitmap is dropped there, never written past it.
    void dibRunLengthOutOfBounds()
    {
        const QByteArray palette = bgr0(Black) + bgr0(Red);
        const QByteArray moves("\x01\x01\x00\x02\xFF\xFF\xFF\x01\x00\x01", 10);
        const QImage image = DibDecoder::decode(infoHeader(2, 2, 8, 1, 2) + palette + moves);
        QCOMPARE(image.size(), QSize(2, 2));
        QCOMPARE(QColor(image.pixel(0, 1)), QColor(Red));

        // Runs beyond the row end, literal runs and moves far outside: clipped, the next row still right.
        const QByteArray runs("\xFF\x01\x00\x03\x01\x01\x00\x00\x00\x02\xFF\x00\x02\x01\x00\x01", 16);
        const QImage clipped = DibDecoder::decode(infoHeader(2, 2, 8, 1, 2) + palette + runs);
        QCOMPARE(QColor(clipped.pixel(0, 1)), QColor(Red));
        QCOMPARE(QColor(clipped.pixel(1, 1)), QColor(Red));
        QCOMPARE(QColor(clipped.pixel(0, 0)), QColor(Black));
        QCOMPARE(QColor(clipped.pixel(1, 0)), QColor(Black));
        const QByteArray fourBit("\xFF\x11\x00\x00\x03\x11\x10\x00\x00\x01", 10);
        const QImage nibbles = DibDecoder::decode(infoHeader(3, 2, 4, 2, 2) + palette + fourBit);
        for (int x = 0; x < 3; ++x) {
            QCOMPARE(QColor(nibbles.pixel(x, 1)), QColor(Red));
            QCOMPARE(QColor(nibbles.pixel(x, 0)), QColor(Red));
        }
        QCOMPARE(DibDecoder::imageSize(infoHeader(8192, -8192, 8, 1)), QSize(8192, 8192));

        // Unpacked straight to a smaller size, each pixel the nearest of the bitmap's: bottom row 1 1 2 2,
        // top row 3 3 3 3, with runs past the row end clipped.
        const QByteArray rows("\x02\x01\x02\x02\xFF\x01\x00\x00\x04\x03\x00\x01", 12);
        const QByteArray fourColours = bgr0(Black) + bgr0(Red) + bgr0(Green) + bgr0(Blue);
        const QByteArray bitmap = infoHeader(4, 2, 8, 1, 4) + fourColours + rows;
        QCOMPARE(DibDecoder::imageSize(bitmap, {2, 2}), QSize(2, 2));
        const QImage sampled = DibDecoder::decode(bitmap, DibDecoder::MaxPixels, {2, 2});
        QCOMPARE(sampled.size(), QSize(2, 2));
        QCOMPARE(QColor(sampled.pixel(0, 1)), QColor(Red));
        QCOMPARE(QColor(sampled.pixel(1, 1)), QColor(Green));
        QCOMPARE(QColor(sampled.pixel(1, 0)), QColor(Blue));
        const QImage oneRow = DibDecoder::decode(bitmap, DibDecoder::MaxPixels, {3, 1});
        QCOMPARE(oneRow.size(), QSize(3, 1));
        QCOMPARE(QColor(oneRow.pixel(0, 0)), QColor(Red));
        QCOMPARE(QColor(oneRow.pixel(2, 0)), QColor(Green));
        QCOMPARE(DibDecoder::decode(bitmap, DibDecoder::MaxPixels, {8, 8}).size(), QSize(4, 2));
    }

    void bitmapFile()
    {
        const QByteArray packed = PictureBytes::dib(pattern(3, 2));
        // A gap between the colour table and the pixels is allowed in files; the offset says where they start.
        const QByteArray file = "BM" + le32(14 + packed.size() + 2) + le32(0) + le32(14 + 40 + 2) + packed.first(40) +
                                QByteArray(2, '\x7F') + packed.sliced(40);
        const QImage image = DibDecoder::decodeFile(file);
        QCOMPARE(image.size(), QSize(3, 2));
        QCOMPARE(QColor(image.pixel(0, 0)), QColor(Green));
        QVERIFY(DibDecoder::decodeFile(packed).isNull());
        QVERIFY(DibDecoder::decodeFile("BM" + le32(0) + le32(0) + le32(2)).isNull());
    }

    void deviceBitmap_data()
    {
        QTest::addColumn<QByteArray>("bits");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("widthBytes");
        QTest::addColumn<int>("bpp");
        QTest::addColumn<QRgb>("firstPixel"); // null colour: decoding must fail
        QTest::newRow("monochrome") << QByteArray("\x80\x00\x00\x00", 4) << 2 << 2 << 2 << 1 << White;
        QTest::newRow("24 bpp top-down") << QByteArray("\x00\x00\xFF\x00\xFF\x00", 6) << 1 << 2 << 3 << 24 << Red;
        QTest::newRow("widthBytes computed")
            << QByteArray("\x00\xFF\x00\x00\x00\x00\x00\x00", 8) << 1 << 2 << 0 << 24 << Green;
        QTest::newRow("rows missing") << QByteArray("\x00\x00\xFF", 3) << 1 << 2 << 3 << 24 << QRgb(0);
        QTest::newRow("widthBytes too small") << QByteArray(64, '\0') << 4 << 2 << 1 << 24 << QRgb(0);
        QTest::newRow("huge width") << QByteArray(64, '\0') << 1 << 0x7FFFFFFF << 0 << 1 << QRgb(0);
    }
    void deviceBitmap()
    {
        QFETCH(QByteArray, bits);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, widthBytes);
        QFETCH(int, bpp);
        QFETCH(QRgb, firstPixel);
        const QImage image = DibDecoder::decodeDeviceBitmap(bits, width, height, widthBytes, bpp);
        if (firstPixel == 0) {
            QVERIFY(image.isNull());
            return;
        }
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(QColor(image.pixel(0, 0)), QColor(firstPixel));
    }

    void metafile_data()
    {
        QTest::addColumn<QByteArray>("wmf");
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<QSize>("extent");
        const QByteArray bitmap = PictureBytes::dib(pattern(4, 2));
        const QByteArray stretch = wmfStretchDib(bitmap, {4, 2}, {0, 0, 4, 2});
        QTest::newRow("one stretched bitmap") << stretch << QSize(4, 2) << QSize(4, 2);
        const QByteArray placeable =
            le32(0x9AC6CDD7) + le16(0) + le16(0) + le16(0) + le16(40) + le16(20) + le16(1440) + le32(0) + le16(0);
        QTest::newRow("placeable header") << placeable + stretch << QSize(4, 2) << QSize(4, 2);
        const QByteArray bitBlt = le32(0x00CC0020) + le16(0) + le16(0) + le16(2) + le16(4) + le16(0) + le16(0);
        QTest::newRow("dib bitblt") << wmfHeader() + wmfRecord(0x0940, bitBlt + bitmap) << QSize(4, 2) << QSize();
        const QByteArray toDevice =
            le16(0) + le16(2) + le16(0) + le16(0) + le16(0) + le16(2) + le16(4) + le16(0) + le16(0);
        QTest::newRow("set dib to device")
            << wmfHeader() + wmfRecord(0x0D33, toDevice + bitmap) << QSize(4, 2) << QSize();
        const QByteArray stretchBlt =
            le32(0x00CC0020) + le16(2) + le16(4) + le16(0) + le16(0) + le16(2) + le16(4) + le16(0) + le16(0);
        QTest::newRow("dib stretchblt") << wmfHeader() + wmfRecord(0x0B41, stretchBlt + bitmap) << QSize(4, 2)
                                        << QSize();
        const QByteArray lineTo = wmfRecord(0x0213, le16(10) + le16(10));
        QTest::newRow("vector only") << wmfHeader() + wmfRecord(0x020C, le16(100) + le16(200)) + lineTo << QSize()
                                     << QSize(200, 100);
        QTest::newRow("record of size zero stops")
            << wmfHeader() + le32(0) + le16(0x0F43) + stretch << QSize() << QSize();
        QTest::newRow("record claims more than present")
            << stretch.first(stretch.size() - 30) << QSize() << QSize(4, 2);
        QTest::newRow("header only") << wmfHeader() << QSize() << QSize();
        QTest::newRow("garbage") << QByteArray(7, '\xFF') << QSize() << QSize();
    }
    void metafile()
    {
        QFETCH(QByteArray, wmf);
        QFETCH(QSize, imageSize);
        QFETCH(QSize, extent);
        const WmfDecoder::Picture picture = WmfDecoder::decode(wmf);
        QCOMPARE(picture.image.size(), imageSize.isValid() ? imageSize : QSize(0, 0));
        if (extent.isValid())
            QCOMPARE(picture.extent, extent);
        if (!picture.image.isNull())
            QCOMPARE(QColor(picture.image.pixel(0, 0)), QColor(Green));
    }

    // Two bitmaps side by side in one window end up on one canvas, each in its place.
    void metafileComposesBitmaps()
    {
        auto stretch = [](const QByteArray &dibBytes, int x) {
            return wmfRecord(0x0F43, le32(0x00CC0020) + le16(0) + le16(2) + le16(2) + le16(0) + le16(0) + le16(2) +
                                         le16(2) + le16(0) + le16(x) + dibBytes);
        };
        const QByteArray wmf = wmfHeader() + wmfRecord(0x020C, le16(2) + le16(4)) +
                               stretch(PictureBytes::dib(filled(2, 2, Red)), 0) +
                               stretch(PictureBytes::dib(filled(2, 2, Blue)), 2);
        const QImage image = WmfDecoder::decode(wmf).image;
        QCOMPARE(image.width(), 2 * image.height());
        QCOMPARE(QColor(image.pixel(0, 0)), QColor(Red));
        QCOMPARE(QColor(image.pixel(image.width() - 1, image.height() - 1)), QColor(Blue));
    }

    void jpeg_data()
    {
        QTest::addColumn<bool>("gray");
        QTest::newRow("colour") << false;
        QTest::newRow("gray") << true;
    }
    void jpeg()
    {
        QFETCH(bool, gray);
        const QImage source = filled(24, 16, gray ? qRgb(128, 128, 128) : qRgb(200, 30, 30));
        const QImage image = JpegDecoder::decode(PictureBytes::jpeg(source, gray));
        QCOMPARE(image.size(), QSize(24, 16));
        QCOMPARE(image.format(), gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        QVERIFY(near(image.pixel(5, 5), source.pixel(5, 5), 6));
    }

    void jpegRejects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = PictureBytes::jpeg(filled(16, 16, Red));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a jpeg") << QByteArray("GIF89a and more bytes");
        QTest::newRow("header only") << good.first(20);
        // Frame header (SOF0) dimensions set to 60000 x 60000 and to 8000 x 8000 with a few hundred bytes.
        const qsizetype sof = good.indexOf("\xFF\xC0");
        QByteArray enormous = good;
        enormous.replace(sof + 5, 4, QByteArray("\xEA\x60\xEA\x60", 4));
        QTest::newRow("enormous dimensions") << enormous;
        QByteArray decoy = good;
        decoy.replace(sof + 5, 4, QByteArray("\x1F\x40\x1F\x40", 4));
        QTest::newRow("dimensions the data cannot carry") << decoy;
    }
    void jpegRejects()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(JpegDecoder::decode(bytes).isNull());
    }

    // A truncated file shows what libjpeg could read instead of nothing.
    void jpegTruncated()
    {
        QImage noisy(64, 64, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                noisy.setPixel(x, y, (seed = seed * 1103515245u + 12345u) >> 8);
        const QByteArray good = PictureBytes::jpeg(noisy);
        const QImage image = JpegDecoder::decode(good.first(good.size() * 2 / 3));
        QCOMPARE(image.size(), QSize(64, 64));
    }

    void shownSize_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("sizes"); // picw, pich, goalw, goalh, scalex, scaley
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSizeF>("shown"); // empty: no picture at all
        QTest::addColumn<bool>("decoded");
        const QByteArray bitmap = PictureBytes::dib(filled(10, 20, Red));
        const int dibKind = int(RtfPicture::Kind::Dib);
        const int wmfKind = int(RtfPicture::Kind::Metafile);
        const int emfKind = int(RtfPicture::Kind::Emf);
        QTest::newRow("own size") << dibKind << QList<int>{0, 0, 0, 0, 100, 100} << bitmap << QSizeF(10, 20) << true;
        QTest::newRow("goal in twips") << dibKind << QList<int>{10, 20, 300, 450, 100, 100} << bitmap << QSizeF(20, 30)
                                       << true;
        QTest::newRow("scaled") << dibKind << QList<int>{10, 20, 0, 0, 50, 200} << bitmap << QSizeF(5, 40) << true;
        QTest::newRow("metafile in hundredths of mm")
            << wmfKind << QList<int>{2540, 1270, 0, 0, 100, 100} << QByteArray() << QSizeF(96, 48) << false;
        QTest::newRow("emf placeholder") << emfKind << QList<int>{0, 0, 1500, 750, 100, 100} << QByteArray("x")
                                         << QSizeF(100, 50) << false;
        QTest::newRow("undecodable without size")
            << dibKind << QList<int>{0, 0, 0, 0, 100, 100} << QByteArray("junk") << QSizeF() << false;
        QTest::newRow("size beyond 32 bits is capped") << dibKind << QList<int>{0x7FFFFFFF, 0x7FFFFFFF, 0, 0, 100, 100}
                                                       << QByteArray() << QSizeF(8192, 8192) << false;
        QTest::newRow("negative sizes ignored")
            << dibKind << QList<int>{-5, -5, -300, -300, -100, -100} << bitmap << QSizeF(10, 20) << true;
    }
    void shownSize()
    {
        QFETCH(int, kind);
        QFETCH(QList<int>, sizes);
        QFETCH(QByteArray, data);
        QFETCH(QSizeF, shown);
        QFETCH(bool, decoded);
        RtfPicture::Description d;
        d.kind = RtfPicture::Kind(kind);
        d.width = sizes[0];
        d.height = sizes[1];
        d.goalWidth = sizes[2];
        d.goalHeight = sizes[3];
        d.scaleX = sizes[4];
        d.scaleY = sizes[5];
        PixelBudget budget;
        const auto result = RtfPicture::render(d, data, budget);
        QCOMPARE(result.has_value(), !shown.isEmpty());
        if (!result)
            return;
        QCOMPARE(result->displaySize, shown);
        // A placeholder is grey and never larger than a small box, whatever size it is shown at.
        QCOMPARE(QColor(result->image.pixel(result->image.width() / 2, result->image.height() / 2)) == QColor(Red),
                 decoded);
        QVERIFY(result->image.width() <= 16 || decoded);
    }

    void png()
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(pattern(6, 4).save(&buffer, "PNG"));
        RtfPicture::Description d;
        d.kind = RtfPicture::Kind::Png;
        PixelBudget budget;
        const auto result = RtfPicture::render(d, bytes, budget);
        QVERIFY(result);
        QCOMPARE(result->image.size(), QSize(6, 4));
        QCOMPARE(QColor(result->image.pixel(0, 0)), QColor(Green));
        QCOMPARE(budget.spent(), 24);
    }

    // Once a document's pictures have used the budget, the next ones are not decoded but still shown.
    void pixelBudget_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<qint64>("pixels");
        QTest::newRow("dib") << int(RtfPicture::Kind::Dib) << PictureBytes::dib(filled(8, 4, Red)) << qint64(32);
        QTest::newRow("metafile") << int(RtfPicture::Kind::Metafile)
                                  << wmfStretchDib(PictureBytes::dib(filled(8, 4, Red)), {8, 4}, {0, 0, 8, 4})
                                  << qint64(32);
        QTest::newRow("jpeg") << int(RtfPicture::Kind::Jpeg) << PictureBytes::jpeg(filled(8, 4, Red)) << qint64(32);
    }
    void pixelBudget()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, data);
        QFETCH(qint64, pixels);
        RtfPicture::Description d;
        d.kind = RtfPicture::Kind(kind);
        PixelBudget budget(pixels);
        auto first = RtfPicture::render(d, data, budget);
        QVERIFY(first);
        QCOMPARE(first->image.size(), QSize(8, 4));
        QCOMPARE(budget.remaining(), 0);
        d.goalWidth = 120;
        d.goalHeight = 60;
        auto second = RtfPicture::render(d, data, budget);
        QVERIFY(second);
        QCOMPARE(second->image, RtfPicture::placeholder());
        QCOMPARE(second->displaySize, QSizeF(8, 4));
        QVERIFY(DibDecoder::decode(PictureBytes::dib(filled(8, 4, Red)), 31).isNull());
        QVERIFY(JpegDecoder::decode(PictureBytes::jpeg(filled(8, 4, Red)), 31).isNull());
        QCOMPARE(JpegDecoder::imageSize(PictureBytes::jpeg(filled(8, 4, Red))), QSize(8, 4));
    }

    // Decoding is paid for by what it unpacks, kept or not, and refused before it starts when the header
    // claims more than is left.
    void decodeAllowance_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<qint64>("unpacked");
        QTest::addColumn<QSize>("kept");
        QTest::newRow("metafile drawing one pixel of a larger bitmap")
            << int(RtfPicture::Kind::Metafile)
            << wmfStretchDib(PictureBytes::dib(filled(64, 64, Red)), {1, 1}, {0, 0, 1, 1}) << qint64(64 * 64 + 0)
            << QSize(1, 1);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(pattern(200, 100).save(&buffer, "PNG"));
        QTest::newRow("truncated png") << int(RtfPicture::Kind::Png) << png.first(60) << qint64(200 * 100) << QSize();
        QTest::newRow("run-length bitmap unpacked near its shown size")
            << int(RtfPicture::Kind::Dib) << infoHeader(8192, 8192, 8, 1, 1) + bgr0(Red) + QByteArray("\x00\x01", 2)
            << qint64(32 * 32) << QSize(8, 8);
        QTest::newRow("jpeg decoded at an eighth")
            << int(RtfPicture::Kind::Jpeg) << PictureBytes::jpeg(filled(64, 64, Red)) << qint64(8 * 8) << QSize(8, 8);
    }
    void decodeAllowance()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, data);
        QFETCH(qint64, unpacked);
        QFETCH(QSize, kept);
        RtfPicture::Description d;
        d.kind = RtfPicture::Kind(kind);
        d.goalWidth = 120;
        d.goalHeight = 120;
        PixelBudget budget;
        qint64 allowance = 1000000;
        const auto shown = RtfPicture::render(d, data, budget, allowance);
        QVERIFY(shown);
        QCOMPARE(1000000 - allowance, unpacked);
        if (kept.isEmpty())
            QCOMPARE(shown->image, RtfPicture::placeholder());
        else
            QCOMPARE(shown->image.size(), kept);
        QCOMPARE(budget.spent(), kept.isEmpty() ? 0 : qint64(kept.width()) * kept.height());

        allowance = unpacked - 1;
        const auto refused = RtfPicture::render(d, data, budget, allowance);
        QVERIFY(refused);
        QCOMPARE(refused->image, RtfPicture::placeholder());
        QCOMPARE(refused->displaySize, QSizeF(8, 8));
    }

    // A PNG of a few kilobytes may claim a bitmap of hundreds of megabytes: beyond 64 MB it is not unpacked.
    void pngBomb()
    {
        QImage flat(8192, 2049, QImage::Format_Mono);
        flat.fill(0);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(flat.save(&buffer, "PNG"));
        QVERIFY(png.size() < 100000);
        RtfPicture::Description d;
        d.kind = RtfPicture::Kind::Png;
        d.goalWidth = 150;
        d.goalHeight = 150;
        PixelBudget budget;
        const auto shown = RtfPicture::render(d, png, budget);
        QVERIFY(shown);
        QCOMPARE(shown->image, RtfPicture::placeholder());
        QCOMPARE(budget.spent(), 0);
    }

    // Pictures are kept at the size they are shown on the screen, never larger than they came.
    void keptAtShownSize_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QSize>("kept");
        const QByteArray bitmap = PictureBytes::dib(filled(300, 150, Red));
        QTest::newRow("bitmap") << int(RtfPicture::Kind::Dib) << bitmap << 1.0 << QSize(40, 20);
        QTest::newRow("dense screen") << int(RtfPicture::Kind::Dib) << bitmap << 2.0 << QSize(80, 40);
        QTest::newRow("device bitmap") << int(RtfPicture::Kind::DeviceBitmap) << QByteArray(300 * 150 * 3, '\x7F')
                                       << 1.0 << QSize(40, 20);
        QTest::newRow("metafile") << int(RtfPicture::Kind::Metafile)
                                  << wmfStretchDib(bitmap, {300, 150}, {0, 0, 300, 150}) << 1.0 << QSize(40, 20);
        QTest::newRow("jpeg") << int(RtfPicture::Kind::Jpeg) << PictureBytes::jpeg(filled(300, 150, Red)) << 1.5
                              << QSize(60, 30);
        QTest::newRow("not enlarged") << int(RtfPicture::Kind::Dib) << PictureBytes::dib(filled(30, 15, Red)) << 2.0
                                      << QSize(30, 15);
    }
    void keptAtShownSize()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, data);
        QFETCH(qreal, ratio);
        QFETCH(QSize, kept);
        RtfPicture::Description d;
        d.kind = RtfPicture::Kind(kind);
        d.width = 300;
        d.height = 150;
        d.widthBytes = 900;
        d.bitsPixel = 24;
        d.goalWidth = 600;
        d.goalHeight = 300;
        PixelBudget budget(PixelBudget::DocumentPixels, ratio);
        const auto shown = RtfPicture::render(d, data, budget);
        QVERIFY(shown);
        QCOMPARE(shown->displaySize, QSizeF(40, 20));
        QCOMPARE(shown->image.size(), kept);
        QCOMPARE(budget.spent(), qint64(kept.width()) * kept.height());
        QVERIFY(near(shown->image.pixel(kept.width() / 2, kept.height() / 2),
                     kind == int(RtfPicture::Kind::DeviceBitmap) ? qRgb(0x7F, 0x7F, 0x7F) : Red, 8));
    }
};

QTEST_MAIN(TestPictureDecoders)
#include "tst_picturedecoders.moc"
