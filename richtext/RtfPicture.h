#pragma once

#include "richtext/PixelBudget.h"

#include <QByteArrayView>
#include <QImage>
#include <QSizeF>
#include <optional>

// What an RTF picture group shows: its data decoded by the decoder of its kind, at the size the group asks
// for. Data that cannot be decoded still gives a grey placeholder of that size.
namespace RtfPicture {

enum class Kind { Unknown, Dib, DeviceBitmap, Metafile, Png, Jpeg, Emf };

// The group's size keywords as read (32-bit values; 0 when absent).
struct Description
{
    Kind kind = Kind::Unknown;
    qint32 width = 0;      // \picw: pixels for bitmaps, 0.01 mm for metafiles
    qint32 height = 0;     // \pich
    qint32 goalWidth = 0;  // \picwgoal, twips
    qint32 goalHeight = 0; // \pichgoal
    qint32 scaleX = 100;   // \picscalex, percent
    qint32 scaleY = 100;   // \picscaley
    qint32 widthBytes = 0; // \picwbmp / \wbmwidthbytes, device bitmaps only
    qint32 bitsPixel = 1;  // \picbpp / \wbmbitspixel
};

struct Shown
{
    QImage image;
    QSizeF displaySize; // logical pixels at 96 dpi
};

// Shown sizes are kept within this many pixels a side; RTF sizes are 32-bit and may be anything.
inline constexpr int MaxDisplaySide = 8192;

// Pixels the pictures of one text may unpack to together while being decoded, whatever is kept of them.
inline constexpr qint64 DecodedPixelsPerText = qint64(64) * 1024 * 1024;

// Nothing when neither the data nor the group tells a size. The image is kept at the shown size times the
// budget's device pixel ratio (never enlarged) and charged to budget; decoding draws on decodeAllowance. A
// picture whose header claims more than either has left is not decoded but shown as a placeholder.
std::optional<Shown> render(const Description &description, QByteArrayView data, PixelBudget &budget,
                            qint64 &decodeAllowance);
// The same with an allowance of its own, as for a text holding this one picture.
std::optional<Shown> render(const Description &description, QByteArrayView data, PixelBudget &budget);

// A grey box standing in for a picture that could not be decoded: one small image shared by all of them,
// shown stretched, so that any number of placeholders costs no memory.
QImage placeholder();

} // namespace RtfPicture
