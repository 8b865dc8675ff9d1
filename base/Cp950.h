#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Code page 950 (Big5 as Windows defines it) is the encoding of every text on the wire and in the
// settings. Texts stay QByteArray from socket to storage and pass through here only at the edge of a widget.
// Both directions are stateless and report errors instead of hiding them.
namespace cp950 {

inline constexpr char16_t ReplacementCharacter = 0xFFFD;

// Bytes into text. A byte pair that is not in the table, or a lead byte cut off at the end, becomes
// U+FFFD and clears *ok.
QString decode(QByteArrayView bytes, bool *ok = nullptr);

// Text into bytes, as Windows writes them: a character outside the table becomes its best-fit
// substitute (é as e), or '?' where it has none; either clears *ok, which so says whether the bytes
// read back as the same text.
QByteArray encode(QStringView text, bool *ok = nullptr);

// The code page 950 bytes of one character, or empty when the table has none (best fits do not count).
QByteArray encodeChar(char32_t codePoint);

// True for the bytes that begin a double-byte character.
constexpr bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

} // namespace cp950
