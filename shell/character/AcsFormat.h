#pragma once

#include <QByteArray>
#include <QtGlobal>

// Layout facts shared by the character file's reader and writer.
namespace AcsFormat {

inline constexpr quint32 Signature = 0xABCDABC3;
// Files that are not single-file characters, told apart to give a helpful error.
inline constexpr quint32 SplitSignature = 0xABCDABC4;        // .acf, whose animations lie in .aca files
inline constexpr quint32 CompoundFileSignature = 0xE011CFD0; // the older format, an OLE compound file
inline constexpr quint32 HeaderBytes = 36;                   // signature and four locators

// Where a block lies in the file.
struct Locator
{
    quint64 offset = 0;
    quint64 size = 0;
};

// Stored rows of palette indices are padded to four bytes.
constexpr qsizetype stride(int width)
{
    return (qsizetype(width) + 3) & ~qsizetype(3);
}

// Stored rows run bottom-up, as in a Windows bitmap.
QByteArray topDown(const QByteArray &stored, int width, int height);
QByteArray bottomUp(const QByteArray &pixels, int width, int height);

} // namespace AcsFormat
