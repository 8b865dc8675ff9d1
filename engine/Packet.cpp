#include "engine/Packet.h"

#include <charconv>

namespace Packet {

QByteArray ExtractField(int n, QByteArrayView packet)
{
    if (n < 1)
        return {};
    const char *data = packet.data();
    const qsizetype size = packet.size();
    qsizetype pos = 0;
    for (int passed = 0; passed < n; ++pos) {
        if (pos >= size)
            return {};
        if (data[pos] == Separator)
            ++passed;
    }
    const qsizetype end = packet.indexOf(Separator, pos);
    if (end < 0)
        return {};
    return packet.sliced(pos, end - pos).toByteArray();
}

QByteArray build(const QByteArrayList &fields)
{
    qsizetype size = 1;
    for (const QByteArray &f : fields)
        size += f.size() + 1;
    QByteArray packet;
    packet.reserve(size);
    packet.append(Separator);
    for (const QByteArray &f : fields) {
        packet.append(f);
        packet.append(Separator);
    }
    return packet;
}

QByteArray build(int command, const QByteArrayList &fields)
{
    QByteArrayList all;
    all.reserve(fields.size() + 1);
    all.append(QByteArray::number(command));
    all.append(fields);
    return build(all);
}

std::optional<int> command(QByteArrayView packet)
{
    const QByteArray field = ExtractField(1, packet);
    if (field.isEmpty())
        return std::nullopt;
    // Like an ordinary string-to-integer conversion: an optional sign, then digits only.
    const char *begin = field.constData();
    const char *end = begin + field.size();
    if (*begin == '+')
        ++begin;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || begin == end)
        return std::nullopt;
    return value;
}

} // namespace Packet
