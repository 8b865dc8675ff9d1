#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Bytes as hexadecimal digits, the form pictures take inside RTF.
namespace HexText {

enum class LetterCase { Lower, Upper };

// Appends two digits per byte. With digitsPerLine > 0, CR LF follows every full line except the last.
void append(QByteArray &out, QByteArrayView bytes, LetterCase letterCase, qsizetype digitsPerLine = 0);

} // namespace HexText
