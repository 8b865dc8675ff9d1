#include "admin/FacePicture.h"

#include "richtext/DibDecoder.h"
#include "richtext/DibEncoder.h"
#include "richtext/JpegDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

namespace FacePicture {
namespace {

constexpr qsizetype FileHeaderSize = 14;
// A face is at most 30000 bytes, yet a header may claim any size: nothing larger than this is unpacked.
constexpr qint64 MaxFacePixels = qint64(1024) * 1024;
// Pictures are made small anyway; a file beyond this is no picture a user means as his face.
constexpr qint64 MaxPictureFileBytes = qint64(64) * 1024 * 1024;

Loaded failure(const QString &error)
{
    return Loaded{{}, {}, error};
}

QString openError(const QString &fileName, const QFile &file)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), file.errorString());
}

QImage readPicture(const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = openError(fileName, file);
        return {};
    }
    if (file.size() > MaxPictureFileBytes) {
        *error = QStringLiteral("The picture file is too large");
        return {};
    }
    const QByteArray bytes = file.readAll();
    // JPEG goes through libjpeg itself, at the smallest scale that still covers a face.
    if (bytes.startsWith("\xFF\xD8")) {
        const QImage jpeg = JpegDecoder::decode(bytes, JpegDecoder::MaxPixels, QSize(Side, Side));
        if (jpeg.isNull())
            *error = QStringLiteral("JPEG image is not valid");
        return jpeg;
    }
    if (bytes.startsWith("BM")) {
        const QImage bitmap = DibDecoder::decodeFile(bytes);
        if (bitmap.isNull())
            *error = QStringLiteral("Bitmap image is not valid");
        return bitmap;
    }
    QImage image;
    if (!image.loadFromData(bytes, "PNG"))
        *error = QStringLiteral("Unknown picture format (%1)").arg(QFileInfo(fileName).fileName());
    return image;
}

QImage squareFace(const QImage &picture)
{
    const QImage scaled = picture.scaled(Side, Side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QImage cropped = scaled.copy((scaled.width() - Side) / 2, (scaled.height() - Side) / 2, Side, Side);
    // Transparent parts become white, as on the lists' white background.
    QImage opaque(Side, Side, QImage::Format_RGB888);
    opaque.fill(Qt::white);
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            const QColor c = cropped.pixelColor(x, y);
            const double a = c.alphaF();
            opaque.setPixelColor(x, y,
                                 QColor::fromRgbF(c.redF() * a + 1 - a, c.greenF() * a + 1 - a, c.blueF() * a + 1 - a));
        }
    }
    return opaque;
}

} // namespace

QImage decode(const QByteArray &face)
{
    return DibDecoder::decodeFile(face, MaxFacePixels);
}

Loaded fromFaceFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return failure(openError(fileName, file));
    const QByteArray bytes = file.read(MaxBytes);
    const QImage image = decode(bytes);
    if (image.isNull())
        return failure(QStringLiteral("Bitmap image is not valid"));
    return Loaded{bytes, image, {}};
}

Loaded fromPicture(const QString &fileName)
{
    QString error;
    const QImage picture = readPicture(fileName, &error);
    if (picture.isNull())
        return failure(error.isEmpty() ? QStringLiteral("Invalid picture") : error);
    const QImage face = squareFace(picture);
    return Loaded{bitmapFile(face), face, {}};
}

QByteArray bitmapFile(const QImage &image)
{
    QByteArray dib = DibEncoder::encode(image.convertToFormat(QImage::Format_RGB888));
    if (dib.isEmpty())
        return {};
    const qsizetype pixelsAt = FileHeaderSize + DibEncoder::InfoHeaderSize;
    QByteArray file(FileHeaderSize, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(FileHeaderSize + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(quint32(pixelsAt), file.data() + 10);
    file.append(dib);
    for (qsizetype i = pixelsAt; i < file.size(); ++i) {
        if (file[i] == '\x08')
            file[i] = '\x09';
    }
    return file;
}

} // namespace FacePicture
