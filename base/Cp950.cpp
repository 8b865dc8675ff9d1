#include "base/Cp950.h"

#include <QStringDecoder>

#include <algorithm>
#include <unicode/ucnv.h>
#include <unicode/uset.h>

namespace cp950 {
namespace {

// "cp950" names a different IBM table in ICU; "windows-950" is the one Windows uses.
constexpr const char *CodecName = "windows-950";

// Qt 6.4's resetState() keeps the count of invalid characters, so one error would stick to every later
// call; this clears it as well.
class Decoder final : public QStringDecoder
{
public:
    Decoder() : QStringDecoder(CodecName, Flag::Stateless) {}
    void clear()
    {
        resetState();
        state.invalidChars = 0;
    }
};

Decoder &decoder()
{
    thread_local Decoder d;
    return d;
}

// How Windows writes each BMP character in code page 950. Where the code page lacks a character,
// Windows writes its best-fit substitute (é as e, ¢ as the full-width cent sign) and '?' only where
// its best-fit table has none. ICU's windows-950 data carries those very substitutes as its fallback
// mappings, so the table is read from it once.
class EncodeTable final
{
public:
    enum Kind : quint8 { None, Exact, BestFit };

    static const EncodeTable &instance()
    {
        static const EncodeTable table;
        return table;
    }

    Kind kind(char16_t unit) const { return Kind(m_kind[unit]); }
    // A single byte below 0x100; otherwise lead byte high, trail byte low.
    quint16 bytes(char16_t unit) const { return m_bytes[unit]; }

private:
    EncodeTable()
    {
        for (char16_t c = 0; c < 0x80; ++c)
            set(c, Exact, c);
        UErrorCode error = U_ZERO_ERROR;
        UConverter *converter = ucnv_open(CodecName, &error);
        if (U_FAILURE(error))
            return;
        USet *exact = uset_openEmpty();
        USet *mapped = uset_openEmpty();
        ucnv_getUnicodeSet(converter, exact, UCNV_ROUNDTRIP_SET, &error);
        ucnv_getUnicodeSet(converter, mapped, UCNV_ROUNDTRIP_AND_FALLBACK_SET, &error);
        ucnv_setFallback(converter, true);
        // Without a mapping, stop instead of substituting, so that "none" stays distinguishable from '?'.
        ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
        const int32_t ranges = U_SUCCESS(error) ? uset_getItemCount(mapped) : 0;
        for (int32_t r = 0; r < ranges; ++r) {
            UChar32 first = 0, last = 0;
            UErrorCode itemError = U_ZERO_ERROR;
            if (uset_getItem(mapped, r, &first, &last, nullptr, 0, &itemError) != 0)
                continue; // a string item, not a range
            for (UChar32 c = std::max<UChar32>(first, 0x80); c <= std::min<UChar32>(last, 0xFFFF); ++c) {
                if (QChar::isSurrogate(char32_t(c)))
                    continue;
                const UChar unit = UChar(c);
                char out[4];
                UErrorCode convertError = U_ZERO_ERROR;
                ucnv_resetFromUnicode(converter);
                const int32_t length = ucnv_fromUChars(converter, out, sizeof out, &unit, 1, &convertError);
                // ICU drops default-ignorable characters without a word; Windows writes '?' for them.
                if (U_FAILURE(convertError) || length < 1 || length > 2)
                    continue;
                const quint16 value = length == 1 ? quint8(out[0]) : quint16(quint8(out[0]) << 8 | quint8(out[1]));
                set(unit, uset_contains(exact, c) ? Exact : BestFit, value);
            }
        }
        uset_close(mapped);
        uset_close(exact);
        ucnv_close(converter);
    }

    void set(char16_t unit, Kind kind, quint16 bytes)
    {
        m_kind[unit] = kind;
        m_bytes[unit] = bytes;
    }

    quint16 m_bytes[0x10000] = {};
    quint8 m_kind[0x10000] = {};
};

void appendBytes(QByteArray &out, quint16 bytes)
{
    if (bytes > 0xFF)
        out.append(char(bytes >> 8));
    out.append(char(bytes & 0xFF));
}

// Length of the prefix that ends on a character boundary; a lead byte without its trail byte stays out.
qsizetype completeLength(QByteArrayView bytes)
{
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        if (isLeadByte(static_cast<unsigned char>(bytes[i]))) {
            if (i + 1 >= n)
                return i;
            i += 2;
        } else {
            ++i;
        }
    }
    return n;
}

} // namespace

QString decode(QByteArrayView bytes, bool *ok)
{
    Decoder &d = decoder();
    const qsizetype complete = completeLength(bytes);
    QString text = d.decode(bytes.first(complete));
    bool good = !d.hasError();
    d.clear();
    if (!text.isEmpty() && text.contains(QChar(ReplacementCharacter)))
        good = false;
    if (complete < bytes.size()) {
        text.append(QChar(ReplacementCharacter));
        good = false;
    }
    if (ok)
        *ok = good;
    return text;
}

QByteArray encode(QStringView text, bool *ok)
{
    const EncodeTable &table = EncodeTable::instance();
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    bool good = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isSurrogate(unit)) {
            // Nothing outside the BMP has a byte pair; a pair becomes one '?', as does a lone half.
            if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
            bytes.append('?');
            good = false;
            continue;
        }
        switch (table.kind(unit)) {
        case EncodeTable::Exact:
            appendBytes(bytes, table.bytes(unit));
            break;
        case EncodeTable::BestFit:
            appendBytes(bytes, table.bytes(unit));
            good = false;
            break;
        case EncodeTable::None:
            bytes.append('?');
            good = false;
            break;
        }
    }
    if (ok)
        *ok = good;
    return bytes;
}

QByteArray encodeChar(char32_t codePoint)
{
    if (codePoint > 0xFFFF)
        return {};
    const EncodeTable &table = EncodeTable::instance();
    const char16_t unit = char16_t(codePoint);
    if (table.kind(unit) != EncodeTable::Exact)
        return {};
    QByteArray bytes;
    appendBytes(bytes, table.bytes(unit));
    return bytes;
}

} // namespace cp950
