#include "engine/InetAddr.h"

#include <QList>

namespace {

std::optional<quint32> parsePart(QByteArrayView part)
{
    if (part.isEmpty())
        return std::nullopt;
    int base = 10;
    qsizetype i = 0;
    if (part.size() > 1 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        base = 16;
        i = 2;
        if (part.size() == 2)
            return std::nullopt;
    } else if (part[0] == '0') {
        base = 8;
    }
    quint64 value = 0;
    for (; i < part.size(); ++i) {
        const char c = part[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        if (digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return quint32(value);
}

QList<QByteArrayView> splitAtDots(QByteArrayView text)
{
    QList<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            parts.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

} // namespace

std::optional<quint32> inetAddr(QByteArrayView text)
{
    const QList<QByteArrayView> parts = splitAtDots(text);
    if (parts.size() > 4)
        return std::nullopt;
    quint32 address = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const std::optional<quint32> value = parsePart(parts[i]);
        if (!value)
            return std::nullopt;
        const bool last = i == parts.size() - 1;
        // Leading parts are one byte each; the last one fills what is left.
        const int remainingBits = int(8 * (4 - i));
        if (!last) {
            if (*value > 0xFF)
                return std::nullopt;
            address |= *value << (remainingBits - 8);
        } else {
            if (remainingBits < 32 && *value >= (1u << remainingBits))
                return std::nullopt;
            address |= *value;
        }
    }
    if (address == 0xFFFFFFFFu)
        return std::nullopt;
    return address;
}
