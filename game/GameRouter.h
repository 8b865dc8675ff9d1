#pragma once

#include "game/GameSession.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <optional>

class ConsoleState;
class PacketTransport;

// Where every arriving CMD_GAME packet goes, with or without a game window open: a refusal while the game
// switch is off, an idle report to a query while no window is open, the open window's game otherwise.
class GameRouter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GameRouter)

public:
    // Any host can send unknown game data as fast as it likes: the user sees one box at a time, and none for
    // this long after closing one.
    static constexpr std::chrono::milliseconds DefaultUnknownDataQuiet{60000};

    // Reads "接受請求" and the console values afresh for every packet.
    GameRouter(ConsoleState &state, PacketTransport &transport,
               std::chrono::milliseconds unknownDataQuiet = DefaultUnknownDataQuiet, QObject *parent = nullptr);

    // The open game window's game; nullptr when none is open, or it has closed or gone.
    GameSession *session() const { return m_session; }

    // False when a field it needed is no number: the caller reports it as any packet it cannot read.
    // viaStream: it came over a connection; peerAddress: that connection's remote address.
    bool RouteGamePacket(const QByteArray &packet, bool viaStream, const QByteArray &peerAddress = {});

public Q_SLOTS:
    void setSession(GameSession *session);
    // The console heard a host go offline: a game with it is over.
    void hostWentOffline(const QByteArray &address);
    // The box that unknownGameData() asked for has been closed.
    void unknownGameBoxClosed();

Q_SIGNALS:
    // Show the modal box GameLobby::unknownGameText() under GameLobby::unknownGameCaption(), and call
    // unknownGameBoxClosed() when it closes.
    void unknownGameData();

private:
    ConsoleState &m_state;
    PacketTransport &m_transport;
    const std::chrono::milliseconds m_unknownDataQuiet;
    QPointer<GameSession> m_session;
    bool m_unknownBoxOpen = false;
    std::optional<std::chrono::steady_clock::time_point> m_unknownBoxClosedAt;
};
