#pragma once

#include <QString>

// Fonts whose bytes stand for pictures of their own rather than letters of a code page: the Symbol font
// (Greek, arrows, mathematics; list bullets as the Windows rich-edit control writes them) and Wingdings.
// Their bytes are read as the Unicode characters these fonts draw.
namespace SymbolFonts {

enum class Encoding { None, Symbol, Wingdings };

// What a font table entry's name and \fcharset (2: symbol; -1: none given) make of its bytes.
Encoding encodingOf(const QString &fontName, int charset);

// The character a byte of the font draws; 0 where there is no character for it.
char16_t toUnicode(Encoding encoding, quint8 byte);

// Symbol fonts' private-use code points (U+F020 to U+F0FF, as \uN writes them) as the characters drawn;
// under a font that is no symbol font, as the Symbol font's.
char16_t fromPrivateUse(Encoding encoding, char16_t unit);

} // namespace SymbolFonts
