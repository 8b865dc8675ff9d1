#include "richtext/RtfPicture.h"

#include "richtext/DibDecoder.h"
#include "richtext/JpegDecoder.h"
#include "richtext/WmfDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QtMath>

namespace RtfPicture {
namespace {

constexpr double TwipsPerPixel = 15.0;
constexpr double HundredthsMmPerPixel = 2540.0 / 96.0;
constexpr int PlaceholderSide = 16;
// Smooth scaling reads every pixel of its source at 32 bits; a picture many times the size it is kept at is
// first sampled down to this many times that size, so the cost follows what is kept, not what was sent.
constexpr int CoarseFactor = 4;
// A PNG unpacks at 32 bits whatever size it is shown at, and a few kilobytes of it can claim the largest
// bitmap; like the largest 8-bit bitmap, it may take 64 MB while being decoded, no more.
constexpr qint64 MaxPngPixels = qint64(16) * 1024 * 1024;

qint64 area(QSize size)
{
    return size.isEmpty() ? 0 : qint64(size.width()) * size.height();
}

bool isMetafile(const Description &d)
{
    return d.kind == Kind::Metafile || d.kind == Kind::Emf;
}

// Read from the IHDR chunk itself: libpng wants more of the file before it tells the size.
QSize pngSize(QByteArrayView data)
{
    if (data.size() < 24 || !data.startsWith("\x89PNG\r\n\x1A\n") || data.sliced(12, 4) != "IHDR")
        return {};
    const auto u32 = [&](qsizetype at) {
        return quint32(quint8(data[at])) << 24 | quint32(quint8(data[at + 1])) << 16 |
               quint32(quint8(data[at + 2])) << 8 | quint32(quint8(data[at + 3]));
    };
    const quint32 width = u32(16);
    const quint32 height = u32(20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return {};
    return QSize(int(width), int(height));
}

// The size the data's header claims, read without decoding; empty where the size is only known once decoded.
QSize headerSize(const Description &d, QByteArrayView data)
{
    switch (d.kind) {
    case Kind::Dib:
        return DibDecoder::imageSize(data);
    case Kind::DeviceBitmap:
        return d.width > 0 && d.height > 0 ? QSize(d.width, d.height) : QSize();
    case Kind::Png:
        return pngSize(data);
    case Kind::Jpeg:
        return JpegDecoder::imageSize(data);
    default:
        return {};
    }
}

// The most a decoder that can sample while unpacking needs, so that shrinking to wanted still smooths.
QSize coarseSize(QSize wanted)
{
    return wanted.isEmpty() ? QSize() : wanted * CoarseFactor;
}

// The pixels decoding will unpack, as far as the header tells before decoding.
qint64 claimedPixels(const Description &d, QByteArrayView data, QSize header, QSize wanted)
{
    switch (d.kind) {
    case Kind::Jpeg:
        return area(JpegDecoder::decodedSize(header, wanted));
    case Kind::Dib:
        return area(DibDecoder::imageSize(data, coarseSize(wanted)));
    default:
        return area(header);
    }
}

struct Decoded
{
    QImage image;
    qint64 pixels = 0; // unpacked on the way, more than the image holds where a metafile composed several
};

QImage decodePng(QByteArrayView data, qint64 maxPixels)
{
    QByteArray bytes = QByteArray::fromRawData(data.data(), data.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAllocationLimit(int(MaxPngPixels * 4 / (1024 * 1024)));
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0 || size.width() > DibDecoder::MaxDimension ||
        size.height() > DibDecoder::MaxDimension || area(size) > qMin(maxPixels, MaxPngPixels))
        return {};
    return reader.read();
}

Decoded decode(const Description &d, QByteArrayView data, qint64 maxPixels, QSize wanted)
{
    Decoded decoded;
    switch (d.kind) {
    case Kind::Dib:
        decoded.image = DibDecoder::decode(data, maxPixels, coarseSize(wanted));
        break;
    case Kind::DeviceBitmap:
        decoded.image = DibDecoder::decodeDeviceBitmap(data, d.width, d.height, d.widthBytes, d.bitsPixel, maxPixels);
        break;
    case Kind::Metafile: {
        WmfDecoder::Picture picture = WmfDecoder::decode(data, maxPixels);
        decoded.image = std::move(picture.image);
        decoded.pixels = picture.decodedPixels;
        break;
    }
    case Kind::Png:
        decoded.image = decodePng(data, maxPixels);
        break;
    case Kind::Jpeg:
        decoded.image = JpegDecoder::decode(data, maxPixels, wanted);
        break;
    case Kind::Emf:
    case Kind::Unknown:
        break;
    }
    decoded.pixels = qMax(decoded.pixels, area(decoded.image.size()));
    return decoded;
}

// One side of the shown size: the goal when given, else the picture's own size in its unit, else its natural
// size (from its header, or once decoded).
double side(qint32 goal, qint32 own, bool metafile, int naturalSide, qint32 scale)
{
    double pixels = 0;
    if (goal > 0)
        pixels = goal / TwipsPerPixel;
    else if (own > 0)
        pixels = metafile ? own / HundredthsMmPerPixel : own;
    else
        pixels = naturalSide;
    if (scale > 0)
        pixels = pixels * scale / 100.0;
    return pixels <= 0 ? 0 : qBound(1.0, pixels, double(MaxDisplaySide));
}

QSizeF shownSize(const Description &d, QSize natural)
{
    const bool metafile = isMetafile(d);
    const QSizeF size(side(d.goalWidth, d.width, metafile, natural.width(), d.scaleX),
                      side(d.goalHeight, d.height, metafile, natural.height(), d.scaleY));
    return size.width() > 0 && size.height() > 0 ? size : QSizeF();
}

// The pixels that show the picture sharply at its shown size on the screen; empty while that size is unknown.
QSize keptSize(QSizeF shown, qreal devicePixelRatio)
{
    if (shown.isEmpty())
        return {};
    return QSize(qMax(1, qCeil(shown.width() * devicePixelRatio)), qMax(1, qCeil(shown.height() * devicePixelRatio)));
}

// Pictures are kept no larger than they are shown, never enlarged.
QImage shrink(QImage image, QSize kept)
{
    const QSize target = kept.boundedTo(image.size());
    if (target.isEmpty() || target == image.size())
        return image;
    const QSize coarse = (target * CoarseFactor).boundedTo(image.size());
    if (coarse != image.size())
        image = image.scaled(coarse, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

std::optional<Shown> render(const Description &description, QByteArrayView data, PixelBudget &budget,
                            qint64 &decodeAllowance)
{
    const QSize header = headerSize(description, data);
    QSizeF shown = shownSize(description, header);
    const QSize wanted = keptSize(shown, budget.devicePixelRatio());
    const QSize expected = header.isEmpty() ? wanted : wanted.isEmpty() ? header : wanted.boundedTo(header);
    const qint64 claimed = claimedPixels(description, data, header, wanted);
    QImage image;
    // Both checks come before decoding: a picture that would not be kept is not unpacked either.
    if (decodeAllowance > 0 && claimed <= decodeAllowance && budget.remaining() > 0 &&
        area(expected) <= budget.remaining()) {
        const Decoded decoded = decode(description, data, qMin(decodeAllowance, DibDecoder::MaxPixels), wanted);
        decodeAllowance -= qMax(claimed, decoded.pixels);
        if (!decoded.image.isNull()) {
            if (shown.isEmpty())
                shown = shownSize(description, decoded.image.size());
            image = shrink(decoded.image, keptSize(shown, budget.devicePixelRatio()));
            if (!budget.charge(area(image.size())))
                image = QImage();
        }
    }
    if (shown.isEmpty())
        return std::nullopt;
    if (image.isNull())
        image = placeholder();
    return Shown{image, shown};
}

std::optional<Shown> render(const Description &description, QByteArrayView data, PixelBudget &budget)
{
    qint64 decodeAllowance = DecodedPixelsPerText;
    return render(description, data, budget, decodeAllowance);
}

QImage placeholder()
{
    static const QImage image = [] {
        QImage box(PlaceholderSide, PlaceholderSide, QImage::Format_RGB32);
        box.fill(QColor(0xD4, 0xD4, 0xD4));
        const QRgb frame = qRgb(0x80, 0x80, 0x80);
        for (int i = 0; i < PlaceholderSide; ++i) {
            box.setPixel(i, 0, frame);
            box.setPixel(i, PlaceholderSide - 1, frame);
            box.setPixel(0, i, frame);
            box.setPixel(PlaceholderSide - 1, i, frame);
        }
        return box;
    }();
    return image;
}

} // namespace RtfPicture
