#include "game/GameSession.h"

#include "engine/ConsoleValues.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"

#include <QHostAddress>
#include <QRandomGenerator>

using namespace GameLobby;

namespace {

bool sameHost(const QByteArray &a, const QByteArray &b)
{
    // A connection's remote address may read as an IPv4-mapped IPv6 one.
    return QHostAddress(QString::fromLatin1(a))
        .isEqual(QHostAddress(QString::fromLatin1(b)), QHostAddress::ConvertV4MappedToIPv4);
}

bool isResultText(const QByteArray &text)
{
    return text == leftText() || text == cancelledText() || text == resignedText();
}

} // namespace

GameSession::GameSession(ConsoleValues &values, PacketTransport &transport, QObject *parent)
    : QObject(parent), m_values(values), m_transport(transport)
{
}

LobbyPacket GameSession::lobbyPacket(Action action, int state) const
{
    LobbyPacket p;
    p.action = action;
    p.address = m_values.OwnAddress;
    p.nickname = m_values.OwnNickname;
    p.state = state;
    p.partnerAddress = m_partnerAddress;
    p.playMarker = true;
    return p;
}

PlayPacket GameSession::playPacket(Action action) const
{
    PlayPacket p;
    p.action = action;
    p.address = m_values.OwnAddress;
    p.nickname = m_values.OwnNickname;
    p.state = m_ownState;
    p.game = m_game;
    p.moveNumber = m_board.moveCount();
    return p;
}

int GameSession::sendToPartner(const QByteArray &packet)
{
    return m_transport.SendDirect(m_partnerAddress, packet);
}

void GameSession::sendPartnerText(const QByteArray &text)
{
    if (!m_partnerAddress.isEmpty())
        sendToPartner(PartnerText{m_values.OwnAddress, m_values.OwnNickname, text}.build());
}

void GameSession::open()
{
    m_ownState = GAME_STATE_WAITING;
    refresh();
}

void GameSession::refresh()
{
    m_transport.SendBroadcast(lobbyPacket(GAME_ACTION_QUERY, m_ownState).build());
}

void GameSession::close()
{
    m_transport.SendBroadcast(lobbyPacket(GAME_ACTION_REPORT, GAME_STATE_IDLE).build());
    sendPartnerText(leftText());
    if (!m_partnerAddress.isEmpty())
        endGame(m_phase == Phase::Playing ? std::optional(Outcome::Resigned) : std::nullopt);
    m_ownState = GAME_STATE_IDLE;
    Q_EMIT closed();
}

void GameSession::cancel()
{
    if (m_partnerAddress.isEmpty())
        return;
    sendPartnerText(cancelledText());
    endGame(Outcome::Cancelled);
}

void GameSession::resign()
{
    if (m_partnerAddress.isEmpty())
        return;
    sendPartnerText(resignedText());
    endGame(m_phase == Phase::Playing ? std::optional(Outcome::Resigned) : std::optional(Outcome::Cancelled));
}

bool GameSession::invite(const QByteArray &address)
{
    const PlayerEntry *entry = m_players.find(address);
    if (m_phase != Phase::Lobby || m_ownState != GAME_STATE_WAITING || !entry || !entry->playsParlune ||
        entry->data.state != GAME_STATE_WAITING || address == m_values.OwnAddress)
        return false;
    m_partnerAddress = address;
    m_partnerNickname = entry->data.nickname;
    m_game = QRandomGenerator::global()->generate();
    m_ownState = GAME_STATE_INVITED;
    m_phase = Phase::Inviting;
    if (sendToPartner(playPacket(GAME_ACTION_INVITE).build()) < 0) {
        endGame(std::nullopt);
        return false;
    }
    return true;
}

bool GameSession::answerInvitation(bool accept)
{
    if (m_phase != Phase::Invited)
        return false;
    if (!accept) {
        sendToPartner(playPacket(GAME_ACTION_DECLINE).build());
        endGame(std::nullopt);
        return true;
    }
    m_ownState = GAME_STATE_WHITE;
    if (sendToPartner(playPacket(GAME_ACTION_ACCEPT).build()) < 0) {
        endGame(std::nullopt);
        return false;
    }
    startGame(GobangBoard::White);
    return true;
}

GameSession::MoveResult GameSession::play(int column, int row)
{
    if (m_phase != Phase::Playing)
        return MoveResult::NoGame;
    const int number = m_board.nextMoveNumber();
    switch (m_board.check(m_colour, number, column, row)) {
    case GobangBoard::MoveError::None:
        break;
    case GobangBoard::MoveError::OffBoard:
        return MoveResult::OffBoard;
    case GobangBoard::MoveError::Occupied:
        return MoveResult::Occupied;
    case GobangBoard::MoveError::GameOver:
        return MoveResult::NoGame;
    case GobangBoard::MoveError::WrongTurn:
    case GobangBoard::MoveError::WrongNumber:
        return MoveResult::WrongTurn;
    }
    PlayPacket move = playPacket(GAME_ACTION_MOVE);
    move.moveNumber = number;
    move.column = column;
    move.row = row;
    // A move the partner never received would split the two boards: it only counts once sent.
    if (sendToPartner(move.build()) < 0)
        return MoveResult::SendFailed;
    m_board.play(m_colour, number, column, row);
    m_ownDrawOffer.reset();
    m_partnerDrawOffer.reset();
    Q_EMIT stonePlaced(column, row, m_colour);
    if (m_board.finished())
        endGame(m_board.drawn() ? Outcome::Drawn : Outcome::Won);
    return MoveResult::Played;
}

bool GameSession::offerDraw()
{
    if (m_phase != Phase::Playing || m_ownDrawOffer == m_board.moveCount())
        return false;
    if (sendToPartner(playPacket(GAME_ACTION_DRAW_OFFER).build()) < 0)
        return false;
    m_ownDrawOffer = m_board.moveCount();
    return true;
}

bool GameSession::answerDraw(bool agree)
{
    if (m_phase != Phase::Playing || m_partnerDrawOffer != m_board.moveCount())
        return false;
    PlayPacket answer = playPacket(GAME_ACTION_DRAW_ANSWER);
    answer.agree = agree;
    m_partnerDrawOffer.reset();
    if (sendToPartner(answer.build()) < 0)
        return false;
    if (agree)
        endGame(Outcome::Drawn);
    return true;
}

bool GameSession::sendChat(const QByteArray &text)
{
    if (m_partnerAddress.isEmpty() || isResultText(text))
        return false;
    return sendToPartner(PartnerText{m_values.OwnAddress, m_values.OwnNickname, text}.build()) >= 0;
}

void GameSession::partnerWentOffline(const QByteArray &address)
{
    if (!m_partnerAddress.isEmpty() && sameHost(address, m_partnerAddress))
        endGame(Outcome::PartnerLeft);
}

bool GameSession::fromPartner(const QByteArray &address, bool viaStream, const QByteArray &peerAddress) const
{
    return viaStream && !m_partnerAddress.isEmpty() && address == m_partnerAddress &&
           (peerAddress.isEmpty() || sameHost(peerAddress, address));
}

bool GameSession::handlePacket(const QByteArray &packet, bool viaStream, const QByteArray &peerAddress)
{
    const QByteArray sender = Packet::ExtractField(2, packet);
    const auto kind = integerField(4, packet);
    if (kind == GAME_KIND_TEXT) {
        if (fromPartner(sender, viaStream, peerAddress))
            handlePartnerText(Packet::ExtractField(5, packet));
        return true;
    }
    if (kind != GAME_KIND_FIVE)
        return kind.has_value();
    const auto action = integerField(5, packet);
    if (!action)
        return false;
    if (action == GAME_ACTION_QUERY || action == GAME_ACTION_REPORT)
        return handleLobby(packet);
    const auto play = PlayPacket::parse(packet);
    if (!play || !viaStream || (!peerAddress.isEmpty() && !sameHost(peerAddress, sender)))
        return true;
    // An invitation is the one play packet that may come from a host that is not the partner.
    if (play->action == GAME_ACTION_INVITE || fromPartner(sender, viaStream, peerAddress))
        handlePlay(*play);
    return true;
}

bool GameSession::handleLobby(const QByteArray &packet)
{
    const QByteArray sender = Packet::ExtractField(2, packet);
    // The answer to a query goes out whatever its state field holds.
    if (integerField(5, packet) == GAME_ACTION_QUERY)
        m_transport.SendReply(sender, lobbyPacket(GAME_ACTION_REPORT, m_ownState).build(),
                              PacketTransport::ReplyKind::Answer);
    const auto lobby = LobbyPacket::parse(packet);
    if (!lobby)
        return false;
    if (m_players.update(*lobby))
        Q_EMIT playersChanged();
    return true;
}

void GameSession::handlePlay(const PlayPacket &p)
{
    if (p.action == GAME_ACTION_INVITE) {
        // A Parlune inviter is always in the list: it queried or answered this window's query.
        const PlayerEntry *inviter = m_players.find(p.address);
        if (!inviter || !inviter->playsParlune)
            return;
        if (m_phase == Phase::Lobby && m_ownState == GAME_STATE_WAITING && p.address != m_values.OwnAddress) {
            m_partnerAddress = p.address;
            m_partnerNickname = boundedText(p.nickname, PlayerList::MaxNicknameBytes);
            m_game = p.game;
            m_ownState = GAME_STATE_INVITED;
            m_phase = Phase::Invited;
            Q_EMIT invited(m_partnerAddress, m_partnerNickname);
        } else if (!(m_phase == Phase::Invited && p.address == m_partnerAddress && p.game == m_game)) {
            // Busy: one answer per invitation, which an older host would drop unread.
            PlayPacket decline = playPacket(GAME_ACTION_DECLINE);
            decline.game = p.game;
            m_transport.SendReply(p.address, decline.build(), PacketTransport::ReplyKind::Answer);
        }
        return;
    }
    if (p.game != m_game)
        return;
    switch (p.action) {
    case GAME_ACTION_ACCEPT:
        if (m_phase == Phase::Inviting) {
            m_ownState = GAME_STATE_BLACK;
            startGame(GobangBoard::Black);
        }
        break;
    case GAME_ACTION_DECLINE:
        if (m_phase == Phase::Inviting) {
            endGame(std::nullopt);
            Q_EMIT invitationDeclined();
        }
        break;
    case GAME_ACTION_MOVE: {
        const GobangBoard::Stone stone = GobangBoard::opponent(m_colour);
        if (m_phase != Phase::Playing ||
            m_board.play(stone, p.moveNumber, p.column, p.row) != GobangBoard::MoveError::None)
            break;
        m_ownDrawOffer.reset();
        m_partnerDrawOffer.reset();
        Q_EMIT stonePlaced(p.column, p.row, stone);
        if (m_board.finished())
            endGame(m_board.drawn() ? Outcome::Drawn : Outcome::Lost);
        break;
    }
    case GAME_ACTION_DRAW_OFFER:
        if (m_phase == Phase::Playing && p.moveNumber == m_board.moveCount() && !m_partnerDrawOffer) {
            m_partnerDrawOffer = p.moveNumber;
            Q_EMIT drawOffered();
        }
        break;
    case GAME_ACTION_DRAW_ANSWER:
        if (m_phase != Phase::Playing || m_ownDrawOffer != p.moveNumber || p.moveNumber != m_board.moveCount())
            break;
        m_ownDrawOffer.reset();
        if (p.agree)
            endGame(Outcome::Drawn);
        else
            Q_EMIT drawDeclined();
        break;
    default:
        break;
    }
}

void GameSession::handlePartnerText(const QByteArray &text)
{
    if (text == resignedText())
        endGame(m_phase == Phase::Playing ? Outcome::PartnerResigned : Outcome::PartnerCancelled);
    else if (text == cancelledText())
        endGame(Outcome::PartnerCancelled);
    else if (text == leftText())
        endGame(Outcome::PartnerLeft);
    else
        Q_EMIT chatReceived(boundedText(text, MaxChatBytes));
}

void GameSession::startGame(GobangBoard::Stone colour)
{
    m_board.clear();
    m_colour = colour;
    m_phase = Phase::Playing;
    m_ownDrawOffer.reset();
    m_partnerDrawOffer.reset();
    m_outcome.reset();
    Q_EMIT gameStarted(colour);
}

void GameSession::endGame(std::optional<Outcome> outcome)
{
    // The final position stays on the board until the next game starts.
    m_partnerAddress.clear();
    m_partnerNickname.clear();
    m_phase = Phase::Lobby;
    m_ownState = GAME_STATE_WAITING;
    m_ownDrawOffer.reset();
    m_partnerDrawOffer.reset();
    if (outcome) {
        m_outcome = outcome;
        Q_EMIT gameEnded(*outcome);
    }
}
