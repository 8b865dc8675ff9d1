#include "richtext/DibEncoder.h"

#include <QImage>
#include <QtEndian>

#include <cstring>

namespace DibEncoder {
namespace {

struct Layout
{
    int bitCount = 32;
    quint32 compression = BI_RGB;
    int colourEntries = 0; // colour table entries written (always the full 2^bitCount, as GDI does)
    QImage image;          // converted to the format whose rows are copied
};

Layout layoutFor(const QImage &source)
{
    switch (source.format()) {
    case QImage::Format_Mono:
        return {1, BI_RGB, 2, source};
    case QImage::Format_MonoLSB:
        return {1, BI_RGB, 2, source.convertToFormat(QImage::Format_Mono)};
    case QImage::Format_Indexed8:
        if (source.colorCount() <= 16)
            return {4, BI_RGB, 16, source};
        return {8, BI_RGB, 256, source};
    case QImage::Format_Grayscale8:
        return {8, BI_RGB, 256, source};
    case QImage::Format_Grayscale16:
        return {8, BI_RGB, 256, source.convertToFormat(QImage::Format_Grayscale8)};
    case QImage::Format_RGB555:
        return {16, BI_RGB, 0, source};
    case QImage::Format_RGB444:
    case QImage::Format_ARGB4444_Premultiplied:
        return {16, BI_RGB, 0, source.convertToFormat(QImage::Format_RGB555)};
    case QImage::Format_RGB16:
        return {16, BI_BITFIELDS, 0, source};
    case QImage::Format_BGR888:
        return {24, BI_RGB, 0, source};
    case QImage::Format_RGB888:
    case QImage::Format_RGB666:
    case QImage::Format_ARGB6666_Premultiplied:
    case QImage::Format_ARGB8555_Premultiplied:
    case QImage::Format_ARGB8565_Premultiplied:
        return {24, BI_RGB, 0, source.convertToFormat(QImage::Format_BGR888)};
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return {32, BI_RGB, 0, source};
    default:
        return {32, BI_RGB, 0, source.convertToFormat(QImage::Format_ARGB32)};
    }
}

void putLE16(char *&p, quint16 v)
{
    qToLittleEndian(v, p);
    p += 2;
}

void putLE32(char *&p, quint32 v)
{
    qToLittleEndian(v, p);
    p += 4;
}

// The colour the image shows for index i; images without a table use Qt's white-on-0 convention.
QList<QRgb> colourTableOf(const QImage &image, int entries)
{
    QList<QRgb> table;
    if (image.format() == QImage::Format_Grayscale8) {
        for (int i = 0; i < entries; ++i)
            table.append(qRgb(i, i, i));
        return table;
    }
    table = image.colorTable();
    if (table.isEmpty() && image.format() == QImage::Format_Mono)
        table = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
    table.resize(entries, qRgb(0, 0, 0));
    return table;
}

void copyRow(const Layout &layout, const uchar *src, char *dst, int width)
{
    switch (layout.bitCount) {
    case 1:
        std::memcpy(dst, src, (width + 7) / 8);
        break;
    case 4:
        for (int x = 0; x < width; x += 2) {
            const int high = src[x] & 0x0F;
            const int low = x + 1 < width ? src[x + 1] & 0x0F : 0;
            dst[x / 2] = char(high << 4 | low);
        }
        break;
    case 8:
        std::memcpy(dst, src, width);
        break;
    case 16: {
        const auto *pixels = reinterpret_cast<const quint16 *>(src);
        for (int x = 0; x < width; ++x)
            qToLittleEndian(pixels[x], dst + x * 2);
        break;
    }
    case 24:
        std::memcpy(dst, src, size_t(width) * 3); // BGR888 is already blue, green, red in memory
        break;
    default: {
        const auto *pixels = reinterpret_cast<const quint32 *>(src);
        for (int x = 0; x < width; ++x)
            qToLittleEndian(pixels[x], dst + x * 4); // 0xAARRGGBB little-endian: blue, green, red, alpha
        break;
    }
    }
}

} // namespace

QByteArray encode(const QImage &source)
{
    if (source.isNull())
        return {};
    const Layout layout = layoutFor(source);
    const QImage &image = layout.image;
    if (image.isNull())
        return {};

    const int width = image.width();
    const int height = image.height();
    const qint64 stride = ((qint64(width) * layout.bitCount + 31) / 32) * 4;
    const qint64 pixelBytes = stride * height;
    const int maskBytes = layout.compression == BI_BITFIELDS ? 12 : 0;
    const qint64 total = InfoHeaderSize + qint64(layout.colourEntries) * 4 + maskBytes + pixelBytes;
    if (pixelBytes > 0x7FFFFFFF || total > 0x7FFFFFFF)
        return {};

    QByteArray dib(total, '\0');
    char *p = dib.data();
    putLE32(p, InfoHeaderSize);
    putLE32(p, quint32(width));
    putLE32(p, quint32(height)); // positive: bottom-up rows
    putLE16(p, 1);
    putLE16(p, quint16(layout.bitCount));
    putLE32(p, layout.compression);
    putLE32(p, quint32(pixelBytes));
    putLE32(p, 0); // resolution left at 0, as GDI gives it for a screen bitmap
    putLE32(p, 0);
    putLE32(p, 0); // colours used: 0 means the full table
    putLE32(p, 0);

    for (const QRgb rgb : colourTableOf(image, layout.colourEntries)) {
        *p++ = char(qBlue(rgb));
        *p++ = char(qGreen(rgb));
        *p++ = char(qRed(rgb));
        *p++ = 0;
    }
    if (maskBytes) {
        putLE32(p, 0xF800);
        putLE32(p, 0x07E0);
        putLE32(p, 0x001F);
    }

    for (int y = 0; y < height; ++y)
        copyRow(layout, image.constScanLine(height - 1 - y), p + y * stride, width);
    return dib;
}

} // namespace DibEncoder
