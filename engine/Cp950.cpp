#include "engine/Cp950.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace cp950 {
namespace {

// "cp950" names a different IBM table in ICU; "windows-950" is the one Windows uses.
constexpr const char *CodecName = "windows-950";

QStringDecoder &decoder()
{
    thread_local QStringDecoder d(CodecName, QStringDecoder::Flag::Stateless);
    return d;
}

QStringEncoder &encoder()
{
    thread_local QStringEncoder e(CodecName, QStringEncoder::Flag::Stateless);
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
    QStringDecoder &d = decoder();
    const qsizetype complete = completeLength(bytes);
    QString text = d.decode(bytes.first(complete));
    bool good = !d.hasError();
    d.resetState();
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
    QStringEncoder &e = encoder();
    QByteArray bytes = e.encode(text);
    const bool good = !e.hasError();
    e.resetState();
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
