#pragma once

#include <QtGlobal>

// Code page 950 bytes of every BMP character, built once from the codec's own table, so that writing a
// large document costs one lookup per character instead of a codec call.
class Cp950CharTable final
{
public:
    static const Cp950CharTable &instance();

    // Lead byte in the high half, trail byte in the low half; 0 when the character has no double-byte
    // form (ASCII included).
    quint16 doubleByteOf(char16_t unit) const { return m_bytes[unit]; }

private:
    Cp950CharTable();
    Q_DISABLE_COPY_MOVE(Cp950CharTable)

    quint16 m_bytes[0x10000] = {};
};
