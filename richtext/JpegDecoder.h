#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

// JPEG bytes into a QImage through libjpeg itself (not Qt's image plugins). Dimensions are checked
// against the caps below, and against what the data could plausibly carry, before any pixel buffer is
// allocated; corrupt or truncated data gives a null image or the part libjpeg could read.
namespace JpegDecoder {

inline constexpr int MaxDimension = 8192;
inline constexpr qint64 MaxPixels = qint64(64) * 1024 * 1024;

// Grayscale JPEGs give Format_Grayscale8, all others Format_RGB888. maxPixels lowers the pixel cap. With a
// wanted size, the picture is decoded at the smallest of its sizes 1/1, 1/2, 1/4 and 1/8 that still covers it.
QImage decode(QByteArrayView jpeg, qint64 maxPixels = MaxPixels, QSize wanted = {});

// The size decode() gives a picture of the full size when asked for the wanted size.
QSize decodedSize(QSize full, QSize wanted);

// The dimensions the frame header claims, read without decoding; empty when there is no readable header.
QSize imageSize(QByteArrayView jpeg);

} // namespace JpegDecoder
