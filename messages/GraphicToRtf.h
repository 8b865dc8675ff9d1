#pragma once

#include <QByteArray>
#include <QImage>

// The picture group text that carries a bitmap inside a message: "{\rtf1 {\pict\dibitmap " + the packed
// DIB (information header, colour table or masks, bottom-up rows padded to 4 bytes) as upper-case hex + " }}".
// The bitmap keeps its own depth: 32-bit images stay 32 bits per pixel, RGB888 24, indexed 8 or fewer.
// Empty for a null image.
QByteArray GraphicToRtf(const QImage &bitmap);
