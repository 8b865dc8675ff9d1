#include "engine/Cp950.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace cp950 {
namespace {

// "cp950" names a different IBM table in ICU; "windows-950" is the one Windows uses.
constexpr const char *CodecName = "windows-950";

// Qt 6.4's resetState() keeps the count of invalid characters, so one error would stick to every later
// call; these clear it as well.
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

class Encoder final : public QStringEncoder
{
public:
    Encoder() : QStringEncoder(CodecName, Flag::Stateless) {}
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

Encoder &encoder()
{
    thread_local Encoder e;
    return e;
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
    Encoder &e = encoder();
    QByteArray bytes = e.encode(text);
    const bool good = !e.hasError();
    e.clear();
    if (ok)
        *ok = good;
    return bytes;
}

QByteArray encodeChar(char32_t codePoint)
{
    const char32_t units[1] = {codePoint};
    const QString text = QString::fromUcs4(units, 1);
    bool ok = false;
    QByteArray bytes = encode(text, &ok);
    return ok ? bytes : QByteArray();
}

} // namespace cp950
