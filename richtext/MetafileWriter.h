#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

// A Windows metafile (WMF, little-endian, sizes in 16-bit words) that draws one packed DIB, the form the
// Windows rich-edit control gives a bitmap it saves as \wmetafile8:
//   META_HEADER, SETMAPMODE(MM_ANISOTROPIC), SETWINDOWORG(0, 0), SETWINDOWEXT(width, height),
//   SETSTRETCHBLTMODE(COLORONCOLOR), STRETCHDIB(SRCCOPY, DIB_RGB_COLORS), META_EOF.
namespace MetafileWriter {

inline constexpr quint16 META_EOF = 0x0000;
inline constexpr quint16 META_SETMAPMODE = 0x0103;
inline constexpr quint16 META_SETSTRETCHBLTMODE = 0x0107;
inline constexpr quint16 META_SETWINDOWORG = 0x020B;
inline constexpr quint16 META_SETWINDOWEXT = 0x020C;
inline constexpr quint16 META_STRETCHDIB = 0x0F43;
inline constexpr quint32 SRCCOPY = 0x00CC0020;
inline constexpr int MaxDimension = 32767; // coordinates are signed 16-bit

// The metafile for a DIB of the given pixel size; empty when the size does not fit 16-bit coordinates.
QByteArray stretchDib(QByteArrayView dib, QSize pixelSize);

} // namespace MetafileWriter
