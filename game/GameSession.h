#pragma once

#include "game/GameLobby.h"
#include "game/GobangBoard.h"

#include <QByteArray>
#include <QObject>
#include <optional>

struct ConsoleValues;
class PacketTransport;

// The game behind the five-in-a-row window: the lobby's player list, one game with one partner, the board,
// and every packet the window sends or is handed. Anything that arrives out of turn, for another game, or
// from any host but the partner changes nothing, so a third host can neither move nor end a game.
class GameSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GameSession)

public:
    enum class Phase {
        Lobby,    // no partner
        Inviting, // this host invited PartnerAddress and waits for the answer
        Invited,  // PartnerAddress invited this host
        Playing,
    };
    Q_ENUM(Phase)

    // How a game ended, as this host's user sees it.
    enum class Outcome {
        Won,
        Lost,
        Drawn,
        PartnerResigned,
        Resigned,
        PartnerCancelled,
        Cancelled,
        PartnerLeft,
    };
    Q_ENUM(Outcome)

    enum class MoveResult { Played, NoGame, WrongTurn, OffBoard, Occupied, SendFailed };
    Q_ENUM(MoveResult)

    // What a partner can make this host keep of one chat text.
    static constexpr int MaxChatBytes = 2000;

    GameSession(ConsoleValues &values, PacketTransport &transport, QObject *parent = nullptr);

    // The window's events.
    void open();    // OwnState waiting, the query broadcast
    void refresh(); // the query again
    void close();   // the leaving report, and the closing text to a partner
    void cancel();  // "取消": the text to a partner; ends an invitation or a game
    void resign();  // "認輸": the text to a partner; ends an invitation or a game

    // Play, to a waiting player whose reports show it is a Parlune host. False when that is not so or the
    // invitation could not be sent.
    bool invite(const QByteArray &address);
    bool answerInvitation(bool accept);
    MoveResult play(int column, int row);
    bool offerDraw();
    bool answerDraw(bool agree);
    // A text for the partner's user; false without a partner, when it would read as the end of the game,
    // or when it could not be sent.
    bool sendChat(const QByteArray &text);
    // The console heard the partner's host go offline.
    void partnerWentOffline(const QByteArray &address);

    // One CMD_GAME packet that the routing hands to the window. viaStream: it came over a connection;
    // peerAddress: that connection's remote address, empty when unknown. Play only counts over connections,
    // since any host can put any address in a datagram. False when field 4, 5 or, in a query or report,
    // field 6 is no integer: the console reports that as it does any packet it cannot read.
    bool handlePacket(const QByteArray &packet, bool viaStream, const QByteArray &peerAddress = {});

    quint8 ownState() const { return m_ownState; }
    const QByteArray &partnerAddress() const { return m_partnerAddress; }
    const QByteArray &partnerNickname() const { return m_partnerNickname; }
    Phase phase() const { return m_phase; }
    GobangBoard::Stone colour() const { return m_colour; }
    bool myTurn() const { return m_phase == Phase::Playing && m_board.toMove() == m_colour; }
    bool drawOfferedByPartner() const { return m_partnerDrawOffer.has_value(); }
    std::optional<Outcome> lastOutcome() const { return m_outcome; }
    const GobangBoard &board() const { return m_board; }
    const GameLobby::PlayerList &players() const { return m_players; }

Q_SIGNALS:
    void playersChanged();
    void invited(const QByteArray &address, const QByteArray &nickname);
    void invitationDeclined();
    void gameStarted(GobangBoard::Stone colour);
    void stonePlaced(int column, int row, GobangBoard::Stone stone);
    void drawOffered();
    void drawDeclined();
    void chatReceived(const QByteArray &text);
    void gameEnded(GameSession::Outcome outcome);
    // The window is closing: from now on the host answers as one without a window.
    void closed();

private:
    bool handleLobby(const QByteArray &packet);
    void handlePlay(const GameLobby::PlayPacket &packet);
    void handlePartnerText(const QByteArray &text);
    bool fromPartner(const QByteArray &address, bool viaStream, const QByteArray &peerAddress) const;

    GameLobby::LobbyPacket lobbyPacket(GameLobby::Action action, int state) const;
    GameLobby::PlayPacket playPacket(GameLobby::Action action) const;
    int sendToPartner(const QByteArray &packet);
    void sendPartnerText(const QByteArray &text);
    void startGame(GobangBoard::Stone colour);
    void endGame(std::optional<Outcome> outcome);

    ConsoleValues &m_values;
    PacketTransport &m_transport;
    GameLobby::PlayerList m_players;
    GobangBoard m_board;
    quint8 m_ownState = 0;
    QByteArray m_partnerAddress;
    QByteArray m_partnerNickname;
    Phase m_phase = Phase::Lobby;
    quint32 m_game = 0;
    GobangBoard::Stone m_colour = GobangBoard::Empty;
    std::optional<int> m_ownDrawOffer;     // moves on the board when this host offered
    std::optional<int> m_partnerDrawOffer; // and when the partner did
    std::optional<Outcome> m_outcome;
};
