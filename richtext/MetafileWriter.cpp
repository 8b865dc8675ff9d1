#include "richtext/MetafileWriter.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace MetafileWriter {
namespace {

constexpr int HeaderBytes = 18;
constexpr quint16 MM_ANISOTROPIC = 8;
constexpr quint16 COLORONCOLOR = 3;
constexpr quint16 DIB_RGB_COLORS = 0;
constexpr qint64 StretchDibFixedBytes = 6 + 4 + 2 + 8 * 2; // record head, raster op, usage, 8 coordinates

class RecordStream final
{
public:
    explicit RecordStream(char *p) : m_p(p) {}

    void u16(quint16 v)
    {
        qToLittleEndian(v, m_p);
        m_p += 2;
    }
    void u32(quint32 v)
    {
        qToLittleEndian(v, m_p);
        m_p += 4;
    }
    // Copies the data and pads it to a whole word.
    void words(QByteArrayView data)
    {
        std::memcpy(m_p, data.data(), size_t(data.size()));
        m_p += data.size() + (data.size() & 1);
    }
    // A record of 16-bit parameters in stored order, which is the reverse of the GDI call's (y before x).
    void record(quint16 function, std::initializer_list<quint16> params)
    {
        u32(quint32(3 + params.size()));
        u16(function);
        for (const quint16 p : params)
            u16(p);
    }

private:
    char *m_p;
};

} // namespace

QByteArray stretchDib(QByteArrayView dib, QSize pixelSize)
{
    const int w = pixelSize.width();
    const int h = pixelSize.height();
    if (w <= 0 || h <= 0 || w > MaxDimension || h > MaxDimension || dib.isEmpty())
        return {};

    // Records are counted in words; a DIB is a whole number of them already, but an odd one is padded.
    const qint64 dibBytes = (dib.size() + 1) & ~qint64(1);
    const qint64 stretchBytes = StretchDibFixedBytes + dibBytes;
    const qint64 small = 4 * 2 + 5 * 2 + 5 * 2 + 4 * 2; // map mode, window origin, window extent, stretch mode
    const qint64 eofBytes = 6;
    const qint64 total = HeaderBytes + small + stretchBytes + eofBytes;
    if (stretchBytes / 2 > 0xFFFFFFFFLL || total > 0x7FFFFFFF)
        return {};

    QByteArray wmf(total, '\0');
    RecordStream out(wmf.data());
    out.u16(1);      // mtType: in memory
    out.u16(9);      // mtHeaderSize in words
    out.u16(0x0300); // mtVersion
    out.u32(quint32(total / 2));
    out.u16(0); // mtNoObjects
    out.u32(quint32(std::max<qint64>(stretchBytes / 2, 5)));
    out.u16(0); // mtNoParameters

    out.record(META_SETMAPMODE, {MM_ANISOTROPIC});
    out.record(META_SETWINDOWORG, {0, 0});
    out.record(META_SETWINDOWEXT, {quint16(h), quint16(w)});
    out.record(META_SETSTRETCHBLTMODE, {COLORONCOLOR});

    out.u32(quint32(stretchBytes / 2));
    out.u16(META_STRETCHDIB);
    out.u32(SRCCOPY);
    out.u16(DIB_RGB_COLORS);
    for (const int v : {h, w, 0, 0, h, w, 0, 0}) // source height, width, y, x; destination the same
        out.u16(quint16(v));
    out.words(dib);

    out.record(META_EOF, {});
    return wmf;
}

} // namespace MetafileWriter
