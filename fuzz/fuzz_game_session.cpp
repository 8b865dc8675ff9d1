// Game packets as a hostile host sends them, to a window in the middle of a game: lines of the input are
// packets from the partner's address, over a connection.

#include "engine/ConsoleValues.h"
#include "engine/PacketTransport.h"
#include "game/GameLobby.h"
#include "game/GameSession.h"

#include <cstddef>
#include <cstdint>

namespace {

class NullTransport final : public PacketTransport
{
public:
    int SendDirect(const QByteArray &, const QByteArray &packet) override { return int(packet.size()); }
    void SendBroadcast(const QByteArray &) override {}
};

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace GameLobby;
    ConsoleValues values;
    values.OwnAddress = "10.0.0.2";
    values.OwnNickname = "B";
    NullTransport transport;
    GameSession session(values, transport);
    session.open();
    // The partner shows itself in the lobby and invites; this host accepts and plays white.
    session.handlePacket(LobbyPacket{GAME_ACTION_QUERY, "10.0.0.1", "A", GAME_STATE_WAITING, {}, true}.build(), false);
    session.handlePacket(PlayPacket{GAME_ACTION_INVITE, "10.0.0.1", "A", GAME_STATE_INVITED, 7}.build(), true,
                         "10.0.0.1");
    session.answerInvitation(true);

    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &packet : input.split('\n')) {
        session.handlePacket(packet, true, "10.0.0.1");
        if (const auto lobby = LobbyPacket::parse(packet))
            check(LobbyPacket::parse(lobby->build()) == lobby);
        if (const auto play = PlayPacket::parse(packet))
            check(PlayPacket::parse(play->build()) == play);
        (void)route(packet, true, true);
    }

    int stones = 0;
    for (int column = 0; column < GobangBoard::Size; ++column) {
        for (int row = 0; row < GobangBoard::Size; ++row)
            stones += session.board().at(column, row) != GobangBoard::Empty;
    }
    check(stones == session.board().moveCount());
    check(session.ownState() <= GAME_STATE_IDLE);
    check(int(session.players().entries().size()) <= PlayerList::MaxEntries);
    return 0;
}
