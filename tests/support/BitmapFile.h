#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

// A 24-bit bitmap file of one colour, as faces and picture files come.
inline QByteArray bitmapFile(QColor colour, int side = 32)
{
    QImage image(side, side, QImage::Format_RGB888);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}
