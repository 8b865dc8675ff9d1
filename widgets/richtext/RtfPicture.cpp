#include "widgets/richtext/RtfPicture.h"

#include "widgets/richtext/DibDecoder.h"
#include "widgets/richtext/JpegDecoder.h"
#include "widgets/richtext/WmfDecoder.h"

#include <QBuffer>
#include <QImageReader>

namespace RtfPicture {
namespace {

constexpr double TwipsPerPixel = 15.0;
constexpr double HundredthsMmPerPixel = 2540.0 / 96.0;
constexpr int PlaceholderSide = 16;

QImage decodePng(QByteArrayView data, qint64 maxPixels)
{
    QByteArray bytes = QByteArray::fromRawData(data.data(), data.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAllocationLimit(256);
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0 || size.width() > DibDecoder::MaxDimension ||
        size.height() > DibDecoder::MaxDimension || qint64(size.width()) * size.height() > maxPixels)
        return {};
    return reader.read();
}

QImage decode(const Description &d, QByteArrayView data, qint64 maxPixels)
{
    switch (d.kind) {
    case Kind::Dib:
        return DibDecoder::decode(data, maxPixels);
    case Kind::DeviceBitmap:
        return DibDecoder::decodeDeviceBitmap(data, d.width, d.height, d.widthBytes, d.bitsPixel, maxPixels);
    case Kind::Metafile:
        return WmfDecoder::decode(data, maxPixels).image;
    case Kind::Png:
        return decodePng(data, maxPixels);
    case Kind::Jpeg:
        return JpegDecoder::decode(data, maxPixels);
    case Kind::Emf:
    case Kind::Unknown:
        break;
    }
    return {};
}

// What an attempt may cost even when it fails: the decoders that can fail after allocating charge their claim.
qint64 claimedPixels(const Description &d, QByteArrayView data)
{
    if (d.kind == Kind::Jpeg) {
        const QSize size = JpegDecoder::imageSize(data);
        return qint64(size.width()) * size.height();
    }
    return 0;
}

// One side of the shown size: the goal when given, else the picture's own size in its unit, else the image's.
double side(qint32 goal, qint32 own, bool metafile, int imageSide, qint32 scale)
{
    double pixels = 0;
    if (goal > 0)
        pixels = goal / TwipsPerPixel;
    else if (own > 0)
        pixels = metafile ? own / HundredthsMmPerPixel : own;
    else
        pixels = imageSide;
    if (scale > 0)
        pixels = pixels * scale / 100.0;
    return pixels <= 0 ? 0 : qBound(1.0, pixels, double(MaxDisplaySide));
}

} // namespace

std::optional<Shown> render(const Description &description, QByteArrayView data, PixelBudget &budget)
{
    QImage image;
    const qint64 claimed = claimedPixels(description, data);
    if (budget.remaining() > 0 && claimed <= budget.remaining()) {
        image = decode(description, data, budget.remaining());
        budget.charge(image.isNull() ? claimed : qMax(claimed, qint64(image.width()) * image.height()));
    }
    const bool metafile = description.kind == Kind::Metafile || description.kind == Kind::Emf;
    const QSizeF size(side(description.goalWidth, description.width, metafile, image.width(), description.scaleX),
                      side(description.goalHeight, description.height, metafile, image.height(), description.scaleY));
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    if (image.isNull())
        image = placeholder();
    return Shown{image, size};
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
