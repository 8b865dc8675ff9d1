#include "richtext/HexText.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace HexText {
namespace {

using DigitTable = std::array<std::array<char, 2>, 256>;

constexpr DigitTable makeTable(const char *digits)
{
    DigitTable table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = {digits[byte >> 4], digits[byte & 0xF]};
    return table;
}

constexpr DigitTable LowerDigits = makeTable("0123456789abcdef");
constexpr DigitTable UpperDigits = makeTable("0123456789ABCDEF");

} // namespace

void append(QByteArray &out, QByteArrayView bytes, LetterCase letterCase, qsizetype digitsPerLine)
{
    if (bytes.isEmpty())
        return;
    const DigitTable &table = letterCase == LetterCase::Upper ? UpperDigits : LowerDigits;
    const qsizetype digits = bytes.size() * 2;
    const qsizetype bytesPerLine = digitsPerLine > 1 ? digitsPerLine / 2 : 0;
    const qsizetype breaks = bytesPerLine > 0 ? (bytes.size() - 1) / bytesPerLine : 0;
    const qsizetype start = out.size();
    out.resize(start + digits + breaks * 2);

    char *dst = out.data() + start;
    const auto *src = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype count = bytes.size();
    qsizetype i = 0;
    while (i < count) {
        const qsizetype lineEnd = bytesPerLine > 0 ? std::min(count, i + bytesPerLine) : count;
        for (; i < lineEnd; ++i) {
            std::memcpy(dst, table[src[i]].data(), 2);
            dst += 2;
        }
        if (i < count) {
            *dst++ = '\r';
            *dst++ = '\n';
        }
    }
}

} // namespace HexText
