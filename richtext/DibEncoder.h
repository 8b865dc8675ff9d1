#pragma once

#include <QByteArray>

class QImage;

// A QImage as a packed device-independent bitmap, the form GDI hands out for a bitmap: the 40-byte
// information header, the colour table (8 bits per pixel or fewer) or the three masks (5-6-5 pixels),
// then the rows bottom-up, each padded to 4 bytes. The image keeps its own depth:
//   32-bit and deeper formats -> 32 bpp, 24-bit formats -> 24 bpp,
//   RGB555 / RGB444 / ARGB4444 -> 16 bpp (5-5-5), RGB16 -> 16 bpp (5-6-5 bit fields),
//   Indexed8 -> 8 bpp, or 4 bpp with 16 colours or fewer (a 4-bit bitmap loads that way),
//   Grayscale8/16 -> 8 bpp with a grey ramp, Mono/MonoLSB -> 1 bpp.
namespace DibEncoder {

inline constexpr int InfoHeaderSize = 40;
inline constexpr quint32 BI_RGB = 0;
inline constexpr quint32 BI_BITFIELDS = 3;

// Empty for a null image.
QByteArray encode(const QImage &image);

} // namespace DibEncoder
