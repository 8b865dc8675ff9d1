#pragma once

#include <QByteArrayView>
#include <QImage>

// JPEG bytes into a QImage through libjpeg itself (not Qt's image plugins). Dimensions are checked
// against the caps below, and against what the data could plausibly carry, before any pixel buffer is
// allocated; corrupt or truncated data gives a null image or the part libjpeg could read.
namespace JpegDecoder {

inline constexpr int MaxDimension = 8192;
inline constexpr qint64 MaxPixels = qint64(64) * 1024 * 1024;

// Grayscale JPEGs give Format_Grayscale8, all others Format_RGB888.
QImage decode(QByteArrayView jpeg);

} // namespace JpegDecoder
