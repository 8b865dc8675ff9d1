#include "messages/GraphicToRtf.h"

#include "richtext/DibEncoder.h"
#include "richtext/HexText.h"

QByteArray GraphicToRtf(const QImage &bitmap)
{
    const QByteArray dib = DibEncoder::encode(bitmap);
    if (dib.isEmpty())
        return {};
    static constexpr char Opening[] = "{\\rtf1 {\\pict\\dibitmap ";
    static constexpr char Closing[] = " }}";
    QByteArray text;
    text.reserve(qsizetype(sizeof Opening - 1 + sizeof Closing - 1) + dib.size() * 2);
    text += Opening;
    HexText::append(text, dib, HexText::LetterCase::Upper);
    text += Closing;
    return text;
}
