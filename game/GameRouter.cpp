#include "game/GameRouter.h"

#include "engine/ConsoleState.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"
#include "game/GameLobby.h"
#include "game/GameSession.h"

using namespace GameLobby;

GameRouter::GameRouter(ConsoleState &state, PacketTransport &transport, std::chrono::milliseconds unknownDataQuiet,
                       QObject *parent)
    : QObject(parent), m_state(state), m_transport(transport), m_unknownDataQuiet(unknownDataQuiet)
{
}

void GameRouter::setSession(GameSession *session)
{
    if (m_session)
        m_session->disconnect(this);
    m_session = session;
    // A closed window lives on until the event loop deletes it; packets meanwhile find no window.
    if (session)
        connect(session, &GameSession::closed, this, [this] { setSession(nullptr); });
}

bool GameRouter::RouteGamePacket(const QByteArray &packet, bool viaStream, const QByteArray &peerAddress)
{
    // Answers go through the reply queue: any host can name any address in field 2.
    const QByteArray sender = Packet::ExtractField(2, packet);
    switch (route(packet, m_state.gameAgree(), !m_session.isNull())) {
    case Route::Refuse:
        m_transport.SendReply(sender, refusalPacket(), PacketTransport::ReplyKind::Answer);
        return true;
    case Route::UnknownKindBox:
        if (m_unknownBoxOpen ||
            (m_unknownBoxClosedAt && std::chrono::steady_clock::now() - *m_unknownBoxClosedAt < m_unknownDataQuiet))
            return true;
        m_unknownBoxOpen = true;
        Q_EMIT unknownGameData();
        return true;
    case Route::ToWindow:
        return m_session->handlePacket(packet, viaStream, peerAddress);
    case Route::IdleReport:
        m_transport.SendReply(sender, idleReport(m_state.values().OwnAddress, m_state.values().OwnNickname),
                              PacketTransport::ReplyKind::Answer);
        return true;
    case Route::Ignore:
        return true;
    case Route::Malformed:
        return false;
    }
    return true;
}

void GameRouter::hostWentOffline(const QByteArray &address)
{
    if (m_session)
        m_session->partnerWentOffline(address);
}

void GameRouter::unknownGameBoxClosed()
{
    if (!m_unknownBoxOpen)
        return;
    m_unknownBoxOpen = false;
    m_unknownBoxClosedAt = std::chrono::steady_clock::now();
}
