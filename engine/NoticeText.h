#pragma once

#include <QByteArray>
#include <QStringView>

// Notices are RTF documents in one of two fixed frames, written the way the Windows rich-edit control
// writes them, so that every peer renders them alike: prefix, each line followed by \par, closing brace.
namespace NoticeText {

enum class Frame {
    SansSerif8, // "MS Sans Serif", 8 pt: every notice this host builds for its own notice window
    Ming10,     // "細明體", 10 pt: the answers to remote power-off requests and the default auto-reply
};

// How the bytes of a double-byte character are written. Whole characters escape both bytes; high bytes
// escape only bytes above 0x7F and write an ASCII trail byte as it is, as the profile's notices always were,
// except a trail byte \ { or }, which as a character would break the document and is escaped too.
enum class Escapes { WholeCharacters, HighBytes };

// The frame's RTF up to the text, ending in a control word.
QByteArray prefix(Frame frame);

// The RTF document for text; lines are split at '\n' ('\r' is dropped). Characters of code page 950
// become lower-case \'xx escapes of their bytes, others \uN?; ASCII stays, with \ { } escaped.
QByteArray build(QStringView text, Frame frame = Frame::SansSerif8, Escapes escapes = Escapes::WholeCharacters);

} // namespace NoticeText
