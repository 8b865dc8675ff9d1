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
constexpr int MaxPlaceholderSide = 256;

QImage decodePng(QByteArrayView data)
{
    QByteArray bytes = QByteArray::fromRawData(data.data(), data.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAllocationLimit(256);
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0 || size.width() > DibDecoder::MaxDimension ||
        size.height() > DibDecoder::MaxDimension || qint64(size.width()) * size.height() > DibDecoder::MaxPixels)
        return {};
    return reader.read();
}

QImage decode(const Description &d, QByteArrayView data)
{
    switch (d.kind) {
    case Kind::Dib:
        return DibDecoder::decode(data);
    case Kind::DeviceBitmap:
        return DibDecoder::decodeDeviceBitmap(data, d.width, d.height, d.widthBytes, d.bitsPixel);
    case Kind::Metafile:
        return WmfDecoder::decode(data).image;
    case Kind::Png:
        return decodePng(data);
    case Kind::Jpeg:
        return JpegDecoder::decode(data);
    case Kind::Emf:
    case Kind::Unknown:
        break;
    }
    return {};
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

std::optional<Shown> render(const Description &description, QByteArrayView data)
{
    QImage image = decode(description, data);
    const bool metafile = description.kind == Kind::Metafile || description.kind == Kind::Emf;
    const QSizeF size(side(description.goalWidth, description.width, metafile, image.width(), description.scaleX),
                      side(description.goalHeight, description.height, metafile, image.height(), description.scaleY));
    if (size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    if (image.isNull())
        image = placeholder(size);
    return Shown{image, size};
}

QImage placeholder(QSizeF displaySize)
{
    const int width = qBound(1, qRound(displaySize.width()), MaxPlaceholderSide);
    const int height = qBound(1, qRound(displaySize.height()), MaxPlaceholderSide);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0xD4, 0xD4, 0xD4));
    const QRgb frame = qRgb(0x80, 0x80, 0x80);
    for (int x = 0; x < width; ++x) {
        image.setPixel(x, 0, frame);
        image.setPixel(x, height - 1, frame);
    }
    for (int y = 0; y < height; ++y) {
        image.setPixel(0, y, frame);
        image.setPixel(width - 1, y, frame);
    }
    return image;
}

} // namespace RtfPicture
