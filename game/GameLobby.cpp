#include "game/GameLobby.h"

#include "base/Cp950.h"
#include "engine/Packet.h"
#include "engine/WireTexts.h"

#include <charconv>

namespace GameLobby {

namespace {

using Packet::ExtractField;

QByteArray big5(const char16_t *text)
{
    return cp950::encode(QStringView(text));
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

QByteArray boundedText(const QByteArray &text, qsizetype maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    qsizetype end = 0;
    while (end < maxBytes) {
        const qsizetype width = cp950::isLeadByte(uchar(text[end])) ? 2 : 1;
        if (end + width > maxBytes)
            break;
        end += width;
    }
    return text.left(end);
}

std::optional<int> integerField(int n, const QByteArray &packet)
{
    const QByteArray field = ExtractField(n, packet);
    const char *begin = field.constData();
    const char *end = begin + field.size();
    if (begin != end && *begin == '+')
        ++begin;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (begin == end || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

QByteArray LobbyPacket::build() const
{
    QByteArrayList fields{address, nickname, number(GAME_KIND_FIVE), number(action), number(state)};
    if (action == GAME_ACTION_REPORT && state >= GAME_STATE_BLACK && state <= GAME_STATE_INVITED)
        fields << partnerAddress;
    if (playMarker)
        fields << QByteArray(PlayMarker);
    return Packet::build(Packet::CMD_GAME, fields);
}

std::optional<LobbyPacket> LobbyPacket::parse(const QByteArray &packet)
{
    const auto kind = integerField(4, packet);
    const auto action = integerField(5, packet);
    const auto state = integerField(6, packet);
    if (Packet::command(packet) != Packet::CMD_GAME || kind != GAME_KIND_FIVE || !state ||
        (action != GAME_ACTION_QUERY && action != GAME_ACTION_REPORT))
        return std::nullopt;
    LobbyPacket p;
    p.action = Action(*action);
    p.address = ExtractField(2, packet);
    p.nickname = ExtractField(3, packet);
    p.state = *state;
    int next = 7;
    if (p.action == GAME_ACTION_REPORT && p.state >= GAME_STATE_BLACK && p.state <= GAME_STATE_INVITED)
        p.partnerAddress = ExtractField(next++, packet);
    p.playMarker = ExtractField(next, packet) == PlayMarker;
    return p;
}

QByteArray PartnerText::build() const
{
    return Packet::build(Packet::CMD_GAME, {address, nickname, number(GAME_KIND_TEXT), text});
}

std::optional<PartnerText> PartnerText::parse(const QByteArray &packet)
{
    if (Packet::command(packet) != Packet::CMD_GAME || integerField(4, packet) != GAME_KIND_TEXT)
        return std::nullopt;
    return PartnerText{ExtractField(2, packet), ExtractField(3, packet), ExtractField(5, packet)};
}

QByteArray PlayPacket::build() const
{
    QByteArrayList fields{address, nickname, number(GAME_KIND_FIVE), number(action), number(state), number(game)};
    switch (action) {
    case GAME_ACTION_MOVE:
        fields << number(moveNumber) << number(column) << number(row);
        break;
    case GAME_ACTION_DRAW_OFFER:
        fields << number(moveNumber);
        break;
    case GAME_ACTION_DRAW_ANSWER:
        fields << number(moveNumber) << (agree ? "1" : "0");
        break;
    default:
        break;
    }
    return Packet::build(Packet::CMD_GAME, fields);
}

std::optional<PlayPacket> PlayPacket::parse(const QByteArray &packet)
{
    const auto action = integerField(5, packet);
    const auto state = integerField(6, packet);
    if (Packet::command(packet) != Packet::CMD_GAME || integerField(4, packet) != GAME_KIND_FIVE || !action ||
        *action < GAME_ACTION_INVITE || *action > GAME_ACTION_DRAW_ANSWER || !state)
        return std::nullopt;
    // The game's number is unsigned 32-bit; it does not fit the conversion of the older fields.
    const QByteArray gameField = ExtractField(7, packet);
    quint32 game = 0;
    const auto [end, ec] = std::from_chars(gameField.constData(), gameField.constData() + gameField.size(), game);
    if (gameField.isEmpty() || ec != std::errc() || end != gameField.constData() + gameField.size())
        return std::nullopt;

    PlayPacket p;
    p.action = Action(*action);
    p.address = ExtractField(2, packet);
    p.nickname = ExtractField(3, packet);
    p.state = *state;
    p.game = game;
    const auto field = [&](int n, int low, int high) -> std::optional<int> {
        const auto value = integerField(n, packet);
        if (!value || *value < low || *value > high)
            return std::nullopt;
        return value;
    };
    constexpr int maxMoves = 14 * 14;
    switch (p.action) {
    case GAME_ACTION_MOVE: {
        const auto moveNumber = field(8, 1, maxMoves);
        const auto column = field(9, 0, 13);
        const auto row = field(10, 0, 13);
        if (!moveNumber || !column || !row)
            return std::nullopt;
        p.moveNumber = *moveNumber;
        p.column = *column;
        p.row = *row;
        break;
    }
    case GAME_ACTION_DRAW_OFFER:
    case GAME_ACTION_DRAW_ANSWER: {
        const auto moveNumber = field(8, 0, maxMoves);
        if (!moveNumber)
            return std::nullopt;
        p.moveNumber = *moveNumber;
        if (p.action == GAME_ACTION_DRAW_ANSWER) {
            const QByteArray answer = ExtractField(9, packet);
            if (answer != "0" && answer != "1")
                return std::nullopt;
            p.agree = answer == "1";
        }
        break;
    }
    default:
        break;
    }
    return p;
}

QByteArray idleReport(const QByteArray &ownAddress, const QByteArray &ownNickname)
{
    return LobbyPacket{GAME_ACTION_REPORT, ownAddress, ownNickname, GAME_STATE_IDLE, {}, true}.build();
}

QByteArray refusalPacket()
{
    return Packet::build(Packet::CMD_NOTICE, {big5(wire::RemoteHostCaption), big5(wire::GameInvitationsOff)});
}

QByteArray leftText()
{
    return big5(wire::PartnerLeft);
}

QByteArray cancelledText()
{
    return big5(wire::PartnerCancelled);
}

QByteArray resignedText()
{
    return big5(wire::PartnerResigned);
}

QByteArray unknownGameText()
{
    return big5(u"收到不明遊戲數據，請聯絡作者！");
}

QByteArray unknownGameCaption()
{
    return big5(u"遊戲信息");
}

Route route(const QByteArray &packet, bool gameAgree, bool windowOpen)
{
    if (!gameAgree)
        return Route::Refuse;
    const auto kind = integerField(4, packet);
    if (!kind)
        return Route::Malformed;
    if (*kind == GAME_KIND_TEXT)
        // Only a partner sends these, and a partner exists only while the window is open.
        return windowOpen ? Route::ToWindow : Route::Ignore;
    if (*kind != GAME_KIND_FIVE)
        return Route::UnknownKindBox;
    const auto action = integerField(5, packet);
    if (!action)
        return Route::Malformed;
    if (*action == GAME_ACTION_QUERY)
        return windowOpen ? Route::ToWindow : Route::IdleReport;
    if (*action >= GAME_ACTION_REPORT && *action <= GAME_ACTION_DRAW_ANSWER && windowOpen)
        return Route::ToWindow;
    return Route::Ignore;
}

QByteArray PlayerList::caption(const QByteArray &nickname, int state)
{
    return nickname + (state == GAME_STATE_WAITING ? big5(u"(等待)") : big5(u"(空閒)"));
}

PlayerEntry *PlayerList::FindOrAddPlayer(const QByteArray &address)
{
    for (PlayerEntry &entry : m_entries) {
        if (entry.data.address == address)
            return &entry;
    }
    if (int(m_entries.size()) >= MaxEntries)
        return nullptr;
    return &m_entries.emplace_back();
}

const PlayerEntry *PlayerList::find(const QByteArray &address) const
{
    for (const PlayerEntry &entry : m_entries) {
        if (entry.data.address == address)
            return &entry;
    }
    return nullptr;
}

bool PlayerList::update(const LobbyPacket &packet)
{
    if (packet.state != GAME_STATE_WAITING && packet.state != GAME_STATE_IDLE)
        return false;
    PlayerEntry *entry = FindOrAddPlayer(packet.address);
    if (!entry)
        return false;
    entry->data.state = quint8(packet.state);
    entry->data.address = packet.address;
    entry->data.nickname = boundedText(packet.nickname, MaxNicknameBytes);
    entry->caption = caption(entry->data.nickname, packet.state);
    entry->playsParlune = packet.playMarker;
    return true;
}

} // namespace GameLobby
