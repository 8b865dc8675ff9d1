#include "richtext/Cp950CharTable.h"

#include "base/Cp950.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace {

constexpr bool isTrailByte(int byte)
{
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xFE);
}

} // namespace

const Cp950CharTable &Cp950CharTable::instance()
{
    static const Cp950CharTable table;
    return table;
}

Cp950CharTable::Cp950CharTable()
{
    // Decoding one lead byte's whole row at a time is far cheaper than encoding 64K characters one by one.
    QList<char16_t> ambiguous;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        QByteArray row;
        QList<quint16> codes;
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (!isTrailByte(trail))
                continue;
            row.append(char(lead));
            row.append(char(trail));
            codes.append(quint16(lead << 8 | trail));
        }
        QString text = cp950::decode(row);
        if (text.size() != codes.size()) {
            // Some pair did not decode to exactly one unit; fall back to one pair at a time.
            text.clear();
            for (qsizetype i = 0; i < codes.size(); ++i) {
                const QString one = cp950::decode(row.mid(i * 2, 2));
                text.append(one.size() == 1 ? one.at(0) : QChar(cp950::ReplacementCharacter));
            }
        }
        for (qsizetype i = 0; i < codes.size(); ++i) {
            const char16_t unit = text.at(i).unicode();
            if (unit < 0x80 || unit == cp950::ReplacementCharacter || QChar::isSurrogate(unit))
                continue;
            if (m_bytes[unit] != 0)
                ambiguous.append(unit);
            else
                m_bytes[unit] = codes.at(i);
        }
    }
    // A few characters sit at two places of the table; the encoder knows which one Windows writes.
    for (const char16_t unit : std::as_const(ambiguous)) {
        const QByteArray bytes = cp950::encodeChar(unit);
        if (bytes.size() == 2)
            m_bytes[unit] = quint16(quint8(bytes[0]) << 8 | quint8(bytes[1]));
    }
}
