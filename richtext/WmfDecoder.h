#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include "richtext/DibDecoder.h"

// Windows metafiles as RTF carries them (\wmetafile): only the bitmap records are drawn. The Windows
// rich-edit control saves every bitmap as a metafile holding one META_STRETCHDIB record, so that case
// gives the bitmap itself; several bitmap records are composed on a canvas of the window extent.
// A metafile with vector drawing only gives a null image: the caller shows a placeholder.
namespace WmfDecoder {

struct Picture
{
    QImage image;
    // The window extent in logical units (or the placeable header's frame), empty when unknown.
    QSize extent;
    // What its bitmaps unpacked to, the canvas they were composed on included: the work decoding took.
    qint64 decodedPixels = 0;
};

// maxPixels bounds the pixels of all bitmaps the records unpack together.
Picture decode(QByteArrayView metafile, qint64 maxPixels = DibDecoder::MaxPixels);

} // namespace WmfDecoder
