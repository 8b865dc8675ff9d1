#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

// Windows device-independent bitmaps into QImage. Every size in a header is checked against the bytes
// present and against the caps below before anything is allocated; bad input gives a null image.
namespace DibDecoder {

inline constexpr int MaxDimension = 8192;
inline constexpr qint64 MaxPixels = qint64(64) * 1024 * 1024;

// maxPixels lowers the pixel cap, e.g. to what is left of a document's budget.

// A packed DIB: BITMAPINFO (information header, then colour table or masks) immediately followed by the
// pixels, as RTF \dibitmap groups and metafile bitmap records hold it. 1, 4, 8, 16, 24 and 32 bits per
// pixel; BI_RGB, BI_BITFIELDS, BI_RLE8 and BI_RLE4; bottom-up and top-down rows.
// Run-length coded bitmaps are unpacked straight to within atMost, when given (nearest pixels).
QImage decode(QByteArrayView packedDib, qint64 maxPixels = MaxPixels, QSize atMost = {});

// The size a packed DIB's header claims, read without decoding; empty when there is no readable header. With
// atMost, the size decode() unpacks it to.
QSize imageSize(QByteArrayView packedDib, QSize atMost = {});

// A bitmap file: the 14-byte "BM" file header, then a DIB whose pixels start at the header's offset.
QImage decodeFile(QByteArrayView bmpFile, qint64 maxPixels = MaxPixels);

// A device-dependent bitmap (RTF \wbitmap): top-down rows of widthBytes bytes (0: rows padded to 16 bits).
// 1 bit per pixel is black and white; 4 and 8 bits use the standard VGA colours and a grey ramp.
QImage decodeDeviceBitmap(QByteArrayView bits, int width, int height, int widthBytes, int bitsPixel,
                          qint64 maxPixels = MaxPixels);

} // namespace DibDecoder
