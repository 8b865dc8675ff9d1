#include "richtext/DibDecoder.h"

#include <QList>
#include <array>
#include <optional>

namespace DibDecoder {
namespace {

enum Compression : quint32 { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiAlphaBitfields = 6 };

quint16 u16(QByteArrayView d, qsizetype at)
{
    return quint16(quint8(d[at]) | quint8(d[at + 1]) << 8);
}

quint32 u32(QByteArrayView d, qsizetype at)
{
    return quint32(quint8(d[at])) | quint32(quint8(d[at + 1])) << 8 | quint32(quint8(d[at + 2])) << 16 |
           quint32(quint8(d[at + 3])) << 24;
}

bool sizeAllowed(qint64 width, qint64 height, qint64 maxPixels)
{
    return width > 0 && height > 0 && width <= MaxDimension && height <= MaxDimension &&
           width * height <= qMin(maxPixels, MaxPixels);
}

bool depthSupported(int bpp)
{
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// One colour channel of a bit-field pixel, widened or narrowed to 8 bits.
struct Channel
{
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(quint32 m = 0) : mask(m)
    {
        if (!m)
            return;
        while (!(m & 1u)) {
            m >>= 1;
            ++shift;
        }
        while (m & 1u) {
            m >>= 1;
            ++bits;
        }
    }

    int value(quint32 pixel, int fallback) const
    {
        if (!bits)
            return fallback;
        const quint32 v = (pixel & mask) >> shift;
        if (bits >= 8)
            return int(v >> (bits - 8));
        return int(v * 255u / ((1u << bits) - 1u));
    }
};

struct Layout
{
    qint64 width = 0;
    qint64 height = 0;
    int bpp = 0;
    bool topDown = false;
    std::array<QRgb, 256> palette{};
    std::array<Channel, 4> masks; // red, green, blue, alpha
};

qint64 minimumRowBytes(const Layout &l)
{
    return (l.width * l.bpp + 7) / 8;
}

QImage newImage(const Layout &l, QImage::Format format, QSize size = {})
{
    if (size.isEmpty())
        size = QSize(int(l.width), int(l.height));
    QImage image(size, format);
    if (image.isNull())
        return {};
    if (format == QImage::Format_Indexed8) {
        image.setColorTable(QList<QRgb>(l.palette.begin(), l.palette.end()));
        image.fill(0);
    }
    return image;
}

// Rows of raw pixels (stride bytes apart, enough of them checked by the caller) into an image.
QImage unpackRows(const Layout &l, const uchar *rows, qint64 stride)
{
    const bool indexed = l.bpp <= 8;
    const bool alpha = !indexed && l.masks[3].bits > 0;
    QImage image = newImage(l, indexed ? QImage::Format_Indexed8
                               : alpha ? QImage::Format_ARGB32
                                       : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    bool anyAlpha = false;
    for (qint64 y = 0; y < l.height; ++y) {
        const uchar *src = rows + y * stride;
        uchar *line = image.scanLine(int(l.topDown ? y : l.height - 1 - y));
        if (indexed) {
            const int perByte = 8 / l.bpp;
            const int mask = (1 << l.bpp) - 1;
            for (qint64 x = 0; x < l.width; ++x) {
                const int shift = 8 - l.bpp * int(x % perByte + 1);
                line[x] = uchar((src[x / perByte] >> shift) & mask);
            }
            continue;
        }
        auto *out = reinterpret_cast<QRgb *>(line);
        for (qint64 x = 0; x < l.width; ++x) {
            quint32 pixel = 0;
            if (l.bpp == 24) {
                const uchar *p = src + x * 3;
                out[x] = qRgb(p[2], p[1], p[0]);
                continue;
            }
            if (l.bpp == 16) {
                const uchar *p = src + x * 2;
                pixel = quint32(p[0]) | quint32(p[1]) << 8;
            } else {
                const uchar *p = src + x * 4;
                pixel = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
            }
            const int a = l.masks[3].value(pixel, 255);
            anyAlpha = anyAlpha || a != 0;
            out[x] = qRgba(l.masks[0].value(pixel, 0), l.masks[1].value(pixel, 0), l.masks[2].value(pixel, 0), a);
        }
    }
    // Many writers leave the alpha bytes at zero; such a bitmap is meant opaque, not invisible.
    if (alpha && !anyAlpha) {
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] |= 0xFF000000u;
        }
        image.reinterpretAsFormat(QImage::Format_RGB32);
    }
    return image;
}

QImage decodeUncompressed(const Layout &l, QByteArrayView pixels)
{
    const qint64 stride = ((l.width * l.bpp + 31) / 32) * 4;
    // The last row may lack its padding; anything shorter is a truncated bitmap.
    const qint64 needed = stride * (l.height - 1) + minimumRowBytes(l);
    if (pixels.size() < needed)
        return {};
    return unpackRows(l, reinterpret_cast<const uchar *>(pixels.data()), stride);
}

// Run-length encoded 8 or 4 bit pixels; always bottom-up. Pixels outside the bitmap are dropped: runs and
// moves are clipped to the bitmap in one step, so codes pointing far outside cost nothing per pixel. A few
// bytes of codes can describe the largest bitmap, so it is unpacked straight into an image of size out,
// each of whose pixels takes the nearest pixel of the bitmap: the work follows out, not the bitmap.
QImage decodeRunLength(const Layout &l, QByteArrayView data, QSize out)
{
    if (l.topDown)
        return {};
    QImage image = newImage(l, QImage::Format_Indexed8, out);
    if (image.isNull())
        return {};
    const qint64 outWidth = out.width();
    const qint64 outHeight = out.height();
    // The first output column or row whose nearest source column or row is at or after the given one.
    const auto firstColumnFrom = [&](qint64 x) { return qMin(outWidth, (x * outWidth + l.width - 1) / l.width); };
    const auto outRowOf = [&](qint64 y) {
        const qint64 row = (y * outHeight + l.height - 1) / l.height;
        return row < outHeight && row * l.height / outHeight == y ? row : qint64(-1);
    };
    const bool four = l.bpp == 4;
    qint64 x = 0;
    qint64 y = 0;
    qint64 outRow = outRowOf(0);
    // The pixels of a run that land in the image, given the index of the run's k-th pixel.
    auto fill = [&](int count, auto indexOf) {
        if (outRow >= 0 && x < l.width) {
            uchar *line = image.scanLine(int(outHeight - 1 - outRow));
            const qint64 end = firstColumnFrom(qMin(l.width, x + count));
            for (qint64 column = firstColumnFrom(x); column < end; ++column)
                line[column] = uchar(indexOf(int(column * l.width / outWidth - x)));
        }
        x += count;
    };
    qsizetype i = 0;
    const qsizetype n = data.size();
    while (i + 1 < n && y < l.height) {
        const int count = quint8(data[i]);
        const int value = quint8(data[i + 1]);
        i += 2;
        if (count > 0) {
            fill(count, [&](int k) { return four ? (k % 2 == 0 ? value >> 4 : value & 0x0F) : value; });
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            outRow = outRowOf(++y);
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and up
            if (i + 1 >= n)
                break;
            x += quint8(data[i]);
            y += quint8(data[i + 1]);
            outRow = outRowOf(y);
            i += 2;
        } else { // literal pixels, padded to 16 bits
            const qsizetype bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > n)
                break;
            const char *literal = data.data() + i;
            fill(value, [&](int k) {
                const int byte = quint8(literal[four ? k / 2 : k]);
                return four ? (k % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte;
            });
            i += (bytes + 1) & ~qsizetype(1);
        }
    }
    return image;
}

// The size a bitmap is unpacked to: its own, or for run-length codes, within atMost.
QSize unpackedSize(qint64 width, qint64 height, quint32 compression, QSize atMost)
{
    QSize size(int(qMin<qint64>(width, 0x7FFFFFFF)), int(qMin<qint64>(height, 0x7FFFFFFF)));
    if ((compression == BiRle8 || compression == BiRle4) && !atMost.isEmpty())
        size = size.boundedTo(atMost);
    return size;
}

// pixelsOffset < 0: the pixels follow the colour table (packed DIB).
QImage decodeInfo(QByteArrayView dib, qint64 pixelsOffset, qint64 maxPixels, QSize atMost = {})
{
    if (dib.size() < 4)
        return {};
    const quint32 headerSize = u32(dib, 0);
    Layout l;
    quint32 compression = BiRgb;
    qint64 colours = 0;
    int entrySize = 4;
    qint64 tableOffset = headerSize;
    if (headerSize == 12) { // BITMAPCOREHEADER
        if (dib.size() < 12)
            return {};
        l.width = u16(dib, 4);
        l.height = u16(dib, 6);
        l.bpp = u16(dib, 10);
        entrySize = 3;
        colours = l.bpp <= 8 ? (1 << l.bpp) : 0;
    } else if (headerSize >= 40 && headerSize <= quint32(dib.size())) {
        l.width = qint32(u32(dib, 4));
        l.height = qint32(u32(dib, 8));
        l.bpp = u16(dib, 14);
        compression = u32(dib, 16);
        colours = u32(dib, 32);
        if (colours == 0 && l.bpp <= 8)
            colours = qint64(1) << l.bpp;
    } else {
        return {};
    }
    if (l.height < 0) {
        l.topDown = true;
        l.height = -l.height;
    }
    // The bitmap's own size within the caps, and what it unpacks to within what is left.
    const QSize out = unpackedSize(l.width, l.height, compression, atMost);
    if (!sizeAllowed(l.width, l.height, MaxPixels) || !sizeAllowed(out.width(), out.height(), maxPixels) ||
        !depthSupported(l.bpp))
        return {};

    if (compression == BiBitfields || compression == BiAlphaBitfields) {
        if (l.bpp != 16 && l.bpp != 32)
            return {};
        const int count = compression == BiAlphaBitfields ? 4 : 3;
        qint64 at = 40;
        if (headerSize < 52) { // masks follow the header
            at = headerSize;
            tableOffset += count * 4;
        }
        const int readable = headerSize >= 56 ? 4 : count;
        if (at + readable * 4 > dib.size())
            return {};
        for (int c = 0; c < readable; ++c)
            l.masks[c] = Channel(u32(dib, at + c * 4));
    } else if (compression == BiRgb) {
        if (l.bpp == 16)
            l.masks = {Channel(0x7C00), Channel(0x03E0), Channel(0x001F), Channel(0)};
        else if (l.bpp == 32)
            l.masks = {Channel(0x00FF0000), Channel(0x0000FF00), Channel(0x000000FF), Channel(0)};
    } else if (!((compression == BiRle8 && l.bpp == 8) || (compression == BiRle4 && l.bpp == 4))) {
        return {};
    }

    const qint64 tableBytes = colours * entrySize;
    if (tableOffset + tableBytes > dib.size())
        return {};
    const qint64 readColours = qMin<qint64>(colours, 256);
    for (qint64 c = 0; c < readColours; ++c) {
        const qint64 at = tableOffset + c * entrySize;
        l.palette[c] = qRgb(quint8(dib[at + 2]), quint8(dib[at + 1]), quint8(dib[at]));
    }
    if (l.bpp == 1 && colours == 0)
        l.palette[1] = qRgb(255, 255, 255);

    if (pixelsOffset < 0)
        pixelsOffset = tableOffset + tableBytes;
    if (pixelsOffset > dib.size())
        return {};
    const QByteArrayView pixels = dib.sliced(pixelsOffset);
    if (compression == BiRle8 || compression == BiRle4)
        return decodeRunLength(l, pixels, out);
    return decodeUncompressed(l, pixels);
}

} // namespace

QSize imageSize(QByteArrayView packedDib, QSize atMost)
{
    if (packedDib.size() < 4)
        return {};
    const quint32 headerSize = u32(packedDib, 0);
    qint64 width = 0;
    qint64 height = 0;
    quint32 compression = BiRgb;
    if (headerSize == 12 && packedDib.size() >= 12) {
        width = u16(packedDib, 4);
        height = u16(packedDib, 6);
    } else if (headerSize >= 40 && packedDib.size() >= 40) {
        width = qint32(u32(packedDib, 4));
        height = qAbs(qint64(qint32(u32(packedDib, 8))));
        compression = u32(packedDib, 16);
    }
    if (width <= 0 || height <= 0)
        return {};
    return unpackedSize(width, height, compression, atMost);
}

QImage decode(QByteArrayView packedDib, qint64 maxPixels, QSize atMost)
{
    return decodeInfo(packedDib, -1, maxPixels, atMost);
}

QImage decodeFile(QByteArrayView bmpFile, qint64 maxPixels)
{
    constexpr qsizetype FileHeaderSize = 14;
    if (bmpFile.size() < FileHeaderSize || bmpFile[0] != 'B' || bmpFile[1] != 'M')
        return {};
    const qint64 pixelsOffset = qint64(u32(bmpFile, 10)) - FileHeaderSize;
    if (pixelsOffset < 0)
        return {};
    return decodeInfo(bmpFile.sliced(FileHeaderSize), pixelsOffset, maxPixels);
}

QImage decodeDeviceBitmap(QByteArrayView bits, int width, int height, int widthBytes, int bitsPixel, qint64 maxPixels)
{
    Layout l;
    l.width = width;
    l.height = height;
    l.bpp = bitsPixel;
    l.topDown = true;
    if (!sizeAllowed(l.width, l.height, maxPixels) || !depthSupported(l.bpp))
        return {};
    const qint64 stride = widthBytes > 0 ? qint64(widthBytes) : ((l.width * l.bpp + 15) / 16) * 2;
    if (stride < minimumRowBytes(l) || bits.size() < stride * (l.height - 1) + minimumRowBytes(l))
        return {};
    if (l.bpp == 1) {
        l.palette[1] = qRgb(255, 255, 255);
    } else if (l.bpp == 4) {
        static constexpr std::array<QRgb, 16> Vga = {
            0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
            0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
        std::copy(Vga.begin(), Vga.end(), l.palette.begin());
    } else if (l.bpp == 8) {
        for (int i = 0; i < 256; ++i)
            l.palette[i] = qRgb(i, i, i);
    } else if (l.bpp == 16) {
        l.masks = {Channel(0x7C00), Channel(0x03E0), Channel(0x001F), Channel(0)};
    } else if (l.bpp == 32) {
        l.masks = {Channel(0x00FF0000), Channel(0x0000FF00), Channel(0x000000FF), Channel(0)};
    }
    return unpackRows(l, reinterpret_cast<const uchar *>(bits.data()), stride);
}

} // namespace DibDecoder
