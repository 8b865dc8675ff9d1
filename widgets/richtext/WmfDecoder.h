#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

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
};

Picture decode(QByteArrayView metafile);

} // namespace WmfDecoder
