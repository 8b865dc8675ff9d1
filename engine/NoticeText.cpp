#include "engine/NoticeText.h"

#include "base/Cp950.h"

namespace NoticeText {
namespace {

constexpr char SansSerif8Prefix[] =
    "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil\\fcharset136 MS Sans "
    "Serif;}}\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs16";
constexpr char Ming10Prefix[] =
    "{\\rtf1\\ansi\\ansicpg950\\deff0\\deflang1033\\deflangfe1028{\\fonttbl{\\f0\\fnil\\fcharset136 "
    "\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}\\viewkind4\\uc1\\pard\\lang1028\\f0\\fs20";

// A control word ends at the first byte that is not a letter or a digit; a space there is eaten as the
// delimiter, and '-' would start a negative parameter. Only then does it need a delimiting space.
bool needsDelimiter(char16_t next)
{
    return (next >= u'a' && next <= u'z') || (next >= u'A' && next <= u'Z') || (next >= u'0' && next <= u'9') ||
           next == u' ' || next == u'-';
}

void appendHexByte(QByteArray &out, unsigned char byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    out.append("\\'");
    out.append(digits[byte >> 4]);
    out.append(digits[byte & 0x0F]);
}

} // namespace

QByteArray prefix(Frame frame)
{
    return QByteArray(frame == Frame::Ming10 ? Ming10Prefix : SansSerif8Prefix);
}

QByteArray build(QStringView text, Frame frame, Escapes escapes)
{
    QByteArray out = prefix(frame);
    bool afterControlWord = true; // the prefix ends with \fs16 or \fs20
    auto appendControlWord = [&](const char *word) {
        out.append(word);
        afterControlWord = true;
    };

    // A final line break ends the last line; it opens no empty one.
    if (text.endsWith(u'\n'))
        text.chop(1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r')
            continue;
        if (c == u'\n') {
            appendControlWord("\\par");
            continue;
        }
        if (c == u'\t') {
            appendControlWord("\\tab");
            continue;
        }
        if (c < 0x20)
            continue;
        if (afterControlWord && needsDelimiter(c))
            out.append(' ');
        afterControlWord = false;
        if (c < 0x80) {
            if (c == u'\\' || c == u'{' || c == u'}')
                out.append('\\');
            out.append(static_cast<char>(c));
            continue;
        }
        char32_t codePoint = c;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            ++i;
        }
        const QByteArray bytes = cp950::encodeChar(codePoint);
        if (!bytes.isEmpty()) {
            for (char b : bytes) {
                const auto byte = static_cast<unsigned char>(b);
                const bool plain = escapes == Escapes::HighBytes && byte < 0x80 && b != '\\' && b != '{' && b != '}';
                if (plain)
                    out.append(b);
                else
                    appendHexByte(out, byte);
            }
            continue;
        }
        // Outside code page 950: \uN with N as a signed 16-bit number, then one fallback character.
        auto appendUnicode = [&](char16_t unit) {
            out.append("\\u");
            out.append(QByteArray::number(static_cast<int>(static_cast<qint16>(unit))));
            out.append('?');
        };
        if (codePoint > 0xFFFF) {
            appendUnicode(QChar::highSurrogate(codePoint));
            appendUnicode(QChar::lowSurrogate(codePoint));
        } else {
            appendUnicode(c);
        }
    }
    out.append("\\par}");
    return out;
}

} // namespace NoticeText
