#include "admin/transfer/TransferPacket.h"

#include "engine/Packet.h"

#include <QRandomGenerator>

#include <charconv>

namespace TransferPacket {
namespace {

// Only plain decimal digits: no sign, no spaces, nothing a lenient conversion would let through.
std::optional<qint64> decimal(QByteArrayView text, qint64 max)
{
    if (text.isEmpty() || text.size() > 19)
        return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9')
            return std::nullopt;
    qint64 value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

QList<QByteArrayView> split(QByteArrayView text, char separator)
{
    QList<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype end; (end = text.indexOf(separator, start)) >= 0; start = end + 1)
        parts.append(text.sliced(start, end - start));
    parts.append(text.sliced(start));
    return parts;
}

bool isLowerHex(QByteArrayView text, qsizetype length)
{
    if (text.size() != length)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace

QByteArray build(const Message &message)
{
    QByteArrayList fields{message.address, message.nickname, QByteArray::number(int(message.kind)), message.offerId};
    if (message.kind == Kind::Offer) {
        fields.append(QByteArray::number(message.files.size()));
        for (const File &file : message.files)
            fields << file.name << QByteArray::number(file.size) << file.sha256;
    }
    return Packet::build(Packet::CMD_FILE_TRANSFER, fields);
}

std::optional<Message> parse(QByteArrayView packet, int maxFiles)
{
    // One split instead of a field lookup per field: an offer of many files stays linear.
    if (packet.size() < 2 || packet.front() != Packet::Separator || packet.back() != Packet::Separator)
        return std::nullopt;
    const QList<QByteArrayView> fields = split(packet.sliced(1, packet.size() - 2), Packet::Separator);
    if (fields.size() < 5 || fields[0] != QByteArray::number(Packet::CMD_FILE_TRANSFER))
        return std::nullopt;
    const std::optional<qint64> kind = decimal(fields[3], 4);
    if (!kind || *kind < 1 || !isOfferId(fields[4]))
        return std::nullopt;
    Message message{Kind(*kind), fields[1].toByteArray(), fields[2].toByteArray(), fields[4].toByteArray(), {}};
    if (message.kind != Kind::Offer)
        return fields.size() == 5 ? std::optional(message) : std::nullopt;
    const std::optional<qint64> count = fields.size() > 5 ? decimal(fields[5], maxFiles) : std::nullopt;
    if (!count || *count < 1 || fields.size() != 6 + 3 * *count)
        return std::nullopt;
    for (qsizetype i = 6; i < fields.size(); i += 3) {
        const std::optional<qint64> size = decimal(fields[i + 1], MaxFileSize);
        if (fields[i].isEmpty() || !size || !isLowerHex(fields[i + 2], 64))
            return std::nullopt;
        message.files.append({fields[i].toByteArray(), *size, fields[i + 2].toByteArray()});
    }
    return message;
}

QByteArray newOfferId()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
}

bool isOfferId(QByteArrayView text)
{
    return isLowerHex(text, 32);
}

QByteArray buildRequest(const FetchRequest &request)
{
    return "PLFETCH " + request.offerId + ' ' + QByteArray::number(request.index) + ' ' +
           QByteArray::number(request.offset) + '\n';
}

std::optional<FetchRequest> parseRequest(QByteArrayView line)
{
    const QList<QByteArrayView> words = split(line, ' ');
    if (words.size() != 4 || words[0] != "PLFETCH" || !isOfferId(words[1]))
        return std::nullopt;
    const std::optional<qint64> index = decimal(words[2], MaxFilesPerOffer - 1);
    const std::optional<qint64> offset = decimal(words[3], MaxFileSize);
    if (!index || !offset)
        return std::nullopt;
    return FetchRequest{words[1].toByteArray(), int(*index), *offset};
}

std::optional<qint64> parseAnswer(QByteArrayView line)
{
    if (!line.startsWith("OK "))
        return std::nullopt;
    return decimal(line.sliced(3), MaxFileSize);
}

} // namespace TransferPacket
