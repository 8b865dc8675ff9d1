#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>

// An RTF document holding one picture of side × side pixels, shown at that size, in a few dozen bytes: a
// run-length bitmap of one colour that ends at once. What such a picture costs is what it shows.
inline QByteArray bigPictureRtf(int side)
{
    QByteArray dib;
    QDataStream out(&dib, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    // BITMAPINFOHEADER: 8 bits a pixel, BI_RLE8, one palette entry (green), then "end of bitmap".
    out << quint32(40) << qint32(side) << qint32(side) << quint16(1) << quint16(8) << quint32(1) << quint32(2)
        << qint32(0) << qint32(0) << quint32(1) << quint32(0) << quint32(0x0000ff00) << quint8(0) << quint8(1);
    const QByteArray twips = QByteArray::number(side * 15);
    return "{\\rtf1{\\pict\\dibitmap\\picwgoal" + twips + "\\pichgoal" + twips + " " + dib.toHex() + "}\\par}";
}
