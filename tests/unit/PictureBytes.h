#pragma once

// Builders for the picture bytes the decoder tests feed in: packed DIBs, metafiles and JPEGs.

#include <QByteArray>
#include <QImage>
#include <QRect>

#include <cstdio>
#include <jpeglib.h>

namespace PictureBytes {

inline QByteArray le16(int v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char((v >> 8) & 0xFF);
    return b;
}

inline QByteArray le32(qint64 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// BITMAPINFOHEADER (40 bytes).
inline QByteArray infoHeader(qint32 width, qint32 height, int bpp, quint32 compression = 0, quint32 colours = 0)
{
    return le32(40) + le32(width) + le32(height) + le16(1) + le16(bpp) + le32(compression) + le32(0) + le32(2835) +
           le32(2835) + le32(colours) + le32(0);
}

inline QByteArray bgr0(QRgb c)
{
    QByteArray b(4, '\0');
    b[0] = char(qBlue(c));
    b[1] = char(qGreen(c));
    b[2] = char(qRed(c));
    return b;
}

// A packed bottom-up DIB of the image at 24 or 32 bits per pixel.
inline QByteArray dib(const QImage &image, int bpp = 24, bool topDown = false)
{
    QByteArray out = infoHeader(image.width(), topDown ? -image.height() : image.height(), bpp);
    const int stride = ((image.width() * bpp + 31) / 32) * 4;
    for (int r = 0; r < image.height(); ++r) {
        const int y = topDown ? r : image.height() - 1 - r;
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
            if (bpp == 32)
                row.append(char(0));
        }
        row.append(QByteArray(stride - row.size(), '\0'));
        out.append(row);
    }
    return out;
}

inline QImage filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A two-colour test image: left half red, right half blue, the top-left pixel green.
inline QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    image.setPixel(0, 0, qRgb(0, 255, 0));
    return image;
}

// A metafile record: size in words, function, parameters.
inline QByteArray wmfRecord(quint16 function, const QByteArray &parameters)
{
    return le32(3 + parameters.size() / 2) + le16(function) + parameters;
}

inline QByteArray wmfHeader()
{
    return le16(1) + le16(9) + le16(0x0300) + le32(0) + le16(0) + le32(0) + le16(0);
}

// What the Windows rich-edit control writes for a bitmap: window origin and extent, one META_STRETCHDIB.
inline QByteArray wmfStretchDib(const QByteArray &dibBytes, QSize source, QRect target)
{
    QByteArray stretch = le32(0x00CC0020) + le16(0) + le16(source.height()) + le16(source.width()) + le16(0) +
                         le16(0) + le16(target.height()) + le16(target.width()) + le16(target.y()) + le16(target.x());
    return wmfHeader() + wmfRecord(0x020B, le16(0) + le16(0)) +
           wmfRecord(0x020C, le16(target.height()) + le16(target.width())) +
           wmfRecord(0x0F43, stretch + dibBytes) + wmfRecord(0x0000, {});
}

// JPEG bytes through libjpeg itself.
inline QByteArray jpeg(const QImage &source, bool gray = false)
{
    const QImage image = source.convertToFormat(gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = gray ? 1 : 3;
    info.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

// Colours compared with a tolerance for lossy codecs.
inline bool near(QRgb a, QRgb b, int tolerance = 0)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace PictureBytes
