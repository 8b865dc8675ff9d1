#include "richtext/WmfDecoder.h"

#include "richtext/DibDecoder.h"

#include <QPainter>
#include <QRect>
#include <cmath>
#include <optional>
#include <vector>

namespace WmfDecoder {
namespace {

constexpr quint32 PlaceableKey = 0x9AC6CDD7;
constexpr qsizetype PlaceableHeaderSize = 22;
constexpr qsizetype MetaHeaderSize = 18;
// Each bitmap record may unpack to the pixel cap; a handful is all a real picture uses.
constexpr int MaxBitmaps = 16;
constexpr double MaxCanvasPixels = 16.0 * 1024 * 1024;

enum Function : quint16 {
    MetaEof = 0x0000,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    DibBitBlt = 0x0940,
    DibStretchBlt = 0x0B41,
    SetDibToDev = 0x0D33,
    StretchDib = 0x0F43,
};

quint16 u16(QByteArrayView d, qsizetype at)
{
    return quint16(quint8(d[at]) | quint8(d[at + 1]) << 8);
}

qint16 s16(QByteArrayView d, qsizetype at)
{
    return qint16(u16(d, at));
}

quint32 u32(QByteArrayView d, qsizetype at)
{
    return quint32(u16(d, at)) | quint32(u16(d, at + 2)) << 16;
}

struct Blit
{
    QImage image;
    QRect source; // in bitmap pixels, top-down
    QRect target; // in logical units
};

// Parameters are stored last to first: word i of the record (after size and function) is at 6 + 2i.
qint16 param(QByteArrayView record, int i)
{
    return s16(record, 6 + 2 * i);
}

std::optional<Blit> readBlit(QByteArrayView record, quint16 function, qint64 maxPixels)
{
    // Word counts of the fixed parameters before the DIB (raster operation counted as two words).
    int fixed = 0;
    switch (function) {
    case StretchDib:
        fixed = 11;
        break; // rop(2) usage sh sw sy sx dh dw dy dx
    case DibStretchBlt:
        fixed = 10;
        break; // rop(2) sh sw sy sx dh dw dy dx
    case DibBitBlt:
        fixed = 8;
        break; // rop(2) sy sx h w dy dx
    case SetDibToDev:
        fixed = 9;
        break; // usage scans start ydib xdib h w dy dx
    default:
        return std::nullopt;
    }
    const qsizetype dibAt = 6 + 2 * qsizetype(fixed);
    if (record.size() <= dibAt)
        return std::nullopt; // the form without a bitmap (a pattern fill)
    Blit blit;
    blit.image = DibDecoder::decode(record.sliced(dibAt), maxPixels);
    if (blit.image.isNull())
        return std::nullopt;
    auto rect = [](int x, int y, int w, int h) { return QRect(x, y, w, h).normalized(); };
    switch (function) {
    case StretchDib:
        blit.target = rect(param(record, 10), param(record, 9), param(record, 8), param(record, 7));
        blit.source = rect(param(record, 6), param(record, 5), param(record, 4), param(record, 3));
        break;
    case DibStretchBlt:
        blit.target = rect(param(record, 9), param(record, 8), param(record, 7), param(record, 6));
        blit.source = rect(param(record, 5), param(record, 4), param(record, 3), param(record, 2));
        break;
    case DibBitBlt:
        blit.target = rect(param(record, 7), param(record, 6), param(record, 5), param(record, 4));
        blit.source = rect(param(record, 3), param(record, 2), param(record, 5), param(record, 4));
        break;
    case SetDibToDev:
        blit.target = rect(param(record, 8), param(record, 7), param(record, 6), param(record, 5));
        blit.source = rect(param(record, 4), param(record, 3), param(record, 6), param(record, 5));
        break;
    }
    // Source coordinates count from the bitmap's bottom-left corner.
    blit.source = QRect(blit.source.x(), blit.image.height() - blit.source.y() - blit.source.height(),
                        blit.source.width(), blit.source.height());
    blit.source = blit.source.intersected(blit.image.rect());
    if (blit.source.isEmpty())
        blit.source = blit.image.rect();
    return blit;
}

QImage compose(const std::vector<Blit> &blits, QRect window, qint64 maxPixels)
{
    QRect bounds = window;
    if (bounds.isEmpty()) {
        for (const Blit &b : blits)
            bounds |= b.target;
    }
    if (bounds.isEmpty())
        return {};
    // The canvas keeps the finest resolution any bitmap is drawn at, within the caps.
    double scale = 0;
    for (const Blit &b : blits) {
        if (!b.target.isEmpty())
            scale = qMax(scale, qMax(double(b.source.width()) / b.target.width(),
                                     double(b.source.height()) / b.target.height()));
    }
    if (scale <= 0)
        scale = 1;
    scale = qMin(scale, double(DibDecoder::MaxDimension) / qMax(bounds.width(), bounds.height()));
    scale =
        qMin(scale, std::sqrt(qMin(double(maxPixels), MaxCanvasPixels) / (double(bounds.width()) * bounds.height())));
    const int width = qMax(1, int(bounds.width() * scale));
    const int height = qMax(1, int(bounds.height() * scale));
    QImage canvas(width, height, QImage::Format_RGB32);
    if (canvas.isNull())
        return {};
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.scale(scale, scale);
    painter.translate(-bounds.topLeft());
    for (const Blit &b : blits)
        painter.drawImage(b.target, b.image, b.source);
    return canvas;
}

} // namespace

Picture decode(QByteArrayView wmf, qint64 maxPixels)
{
    Picture picture;
    qsizetype at = 0;
    if (wmf.size() >= PlaceableHeaderSize && u32(wmf, 0) == PlaceableKey) {
        const QRect frame = QRect(QPoint(s16(wmf, 6), s16(wmf, 8)), QPoint(s16(wmf, 10), s16(wmf, 12)));
        picture.extent = frame.normalized().size();
        at = PlaceableHeaderSize;
    }
    if (wmf.size() < at + MetaHeaderSize)
        return picture;
    const quint16 headerWords = u16(wmf, at + 2);
    at += qMax<qsizetype>(MetaHeaderSize, qsizetype(headerWords) * 2);

    QPoint windowOrg;
    QSize windowExt;
    std::vector<Blit> blits;
    qint64 used = 0;
    while (at + 6 <= wmf.size()) {
        const qint64 words = u32(wmf, at);
        const quint16 function = u16(wmf, at + 4);
        if (words < 3 || function == MetaEof)
            break;
        // A record cut short by the end of the data is read as far as it goes.
        const qsizetype length = qsizetype(qMin<qint64>(words * 2, wmf.size() - at));
        const QByteArrayView record = wmf.sliced(at, length);
        at += length;
        switch (function) {
        case SetWindowOrg:
            if (length >= 10)
                windowOrg = QPoint(param(record, 1), param(record, 0));
            break;
        case SetWindowExt:
            if (length >= 10)
                windowExt = QSize(param(record, 1), param(record, 0));
            break;
        case SetViewportOrg:
        case SetViewportExt:
            break; // the picture is scaled to its goal size anyway; only the window maps logical units
        default:
            if (blits.size() < size_t(MaxBitmaps) && used < maxPixels) {
                if (auto blit = readBlit(record, function, maxPixels - used)) {
                    used += qint64(blit->image.width()) * blit->image.height();
                    blits.push_back(std::move(*blit));
                }
            }
        }
    }
    const QRect window = QRect(windowOrg, windowExt).normalized();
    if (!window.isEmpty())
        picture.extent = window.size();
    if (blits.size() == 1) {
        const Blit &only = blits.front();
        picture.image = only.source == only.image.rect() ? only.image : only.image.copy(only.source);
    } else if (!blits.empty()) {
        picture.image = compose(blits, window, maxPixels);
        used += qint64(picture.image.width()) * picture.image.height();
    }
    picture.decodedPixels = used;
    return picture;
}

} // namespace WmfDecoder
