#include "base/Cp950.h"
#include "engine/ConsoleState.h"
#include "engine/ConsoleValues.h"
#include "engine/MemorySettingsStore.h"
#include "engine/Packet.h"
#include "game/GameLobby.h"
#include "game/GameRouter.h"
#include "game/GameSession.h"
#include "tests/support/CodePage.h"
#include "tests/support/NoticeRecorder.h"
#include "tests/support/RecordingTransport.h"

#include <QSignalSpy>
#include <QTest>

using namespace GameLobby;
using Stone = GobangBoard::Stone;
using Outcome = GameSession::Outcome;

Q_DECLARE_METATYPE(LobbyPacket)
Q_DECLARE_METATYPE(PlayPacket)
Q_DECLARE_METATYPE(Route)

namespace {

// ⟨08⟩-joined fields, as they stand on the wire.
QByteArray wire(const QByteArrayList &fields)
{
    return '\x08' + fields.join('\x08') + '\x08';
}

const QByteArray marker(PlayMarker);

// One host with its game window open: its values, what it sent, and its session.
struct Host
{
    Host(const QByteArray &address, const char16_t *nickname) : session(values, transport)
    {
        values.OwnAddress = address;
        values.OwnNickname = big5(nickname);
        session.open();
    }
    ConsoleValues values;
    RecordingTransport transport;
    GameSession session;
};

// The console's state for the routing, with its settings in memory.
struct Console
{
    MemorySettingsStore store;
    NoticeRecorder notices;
    ConsoleState state{store, notices};
};

// Hands every direct packet `from` sent to `to` over, as if over a connection from `from`'s address.
int deliver(Host &from, Host &to)
{
    int delivered = 0;
    const auto sent = std::exchange(from.transport.direct, {});
    for (const auto &[address, packet] : sent) {
        if (address == to.values.OwnAddress) {
            to.session.handlePacket(packet, true, from.values.OwnAddress);
            ++delivered;
        } else {
            from.transport.direct.append({address, packet});
        }
    }
    return delivered;
}

// Each host hears the other's query and answers it.
void meet(Host &a, Host &b)
{
    b.session.handlePacket(a.transport.broadcasts.last(), false);
    a.session.handlePacket(b.transport.broadcasts.last(), false);
    deliver(a, b);
    deliver(b, a);
}

// A invites B, B accepts: A plays black.
void startGame(Host &a, Host &b)
{
    meet(a, b);
    QVERIFY(a.session.invite(b.values.OwnAddress));
    QCOMPARE(deliver(a, b), 1);
    QVERIFY(b.session.answerInvitation(true));
    QCOMPARE(deliver(b, a), 1);
    QCOMPARE(a.session.phase(), GameSession::Phase::Playing);
}

bool move(Host &mover, Host &other, int column, int row)
{
    if (mover.session.play(column, row) != GameSession::MoveResult::Played)
        return false;
    return deliver(mover, other) == 1;
}

} // namespace

class TestGameLobby : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lobbyPacketsByteForByte_data()
    {
        QTest::addColumn<LobbyPacket>("packet");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray nick = big5(u"小明");
        const auto lobby = [&](Action action, int state, QByteArray partner, bool play) {
            return LobbyPacket{action, "10.0.0.2", nick, state, partner, play};
        };
        QTest::newRow("query") << lobby(GAME_ACTION_QUERY, 3, {}, false)
                               << wire({"9", "10.0.0.2", nick, "1", "0", "3"});
        QTest::newRow("report waiting") << lobby(GAME_ACTION_REPORT, 3, {}, false)
                                        << wire({"9", "10.0.0.2", nick, "1", "1", "3"});
        QTest::newRow("idle and leaving report")
            << lobby(GAME_ACTION_REPORT, 4, {}, false) << wire({"9", "10.0.0.2", nick, "1", "1", "4"});
        QTest::newRow("report with partner") << lobby(GAME_ACTION_REPORT, 1, "10.0.0.9", false)
                                             << wire({"9", "10.0.0.2", nick, "1", "1", "1", "10.0.0.9"});
        QTest::newRow("query with marker")
            << lobby(GAME_ACTION_QUERY, 3, {}, true) << wire({"9", "10.0.0.2", nick, "1", "0", "3", marker});
        QTest::newRow("idle report with marker")
            << lobby(GAME_ACTION_REPORT, 4, {}, true) << wire({"9", "10.0.0.2", nick, "1", "1", "4", marker});
        QTest::newRow("marker after the partner") << lobby(GAME_ACTION_REPORT, 2, "10.0.0.9", true)
                                                  << wire({"9", "10.0.0.2", nick, "1", "1", "2", "10.0.0.9", marker});
        QTest::newRow("empty nickname") << LobbyPacket{GAME_ACTION_QUERY, "10.0.0.2", {}, 4, {}, false}
                                        << wire({"9", "10.0.0.2", "", "1", "0", "4"});
    }
    void lobbyPacketsByteForByte()
    {
        QFETCH(LobbyPacket, packet);
        QFETCH(QByteArray, bytes);
        QCOMPARE(packet.build(), bytes);
        const auto parsed = LobbyPacket::parse(bytes);
        QVERIFY(parsed);
        QCOMPARE(*parsed, packet);
        QCOMPARE(parsed->build(), bytes);
    }

    void playPacketsByteForByte_data()
    {
        QTest::addColumn<PlayPacket>("packet");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray nick = big5(u"小明");
        const auto play = [&](Action action, int state, int moveNumber, int column, int row, bool agree) {
            return PlayPacket{action, "10.0.0.2", nick, state, 4294967295u, moveNumber, column, row, agree};
        };
        const QByteArrayList head{"9", "10.0.0.2", nick, "1"};
        QTest::newRow("invite") << play(GAME_ACTION_INVITE, 2, 0, 0, 0, false)
                                << wire(head + QByteArrayList{"2", "2", "4294967295"});
        QTest::newRow("accept") << play(GAME_ACTION_ACCEPT, 1, 0, 0, 0, false)
                                << wire(head + QByteArrayList{"3", "1", "4294967295"});
        QTest::newRow("decline") << play(GAME_ACTION_DECLINE, 3, 0, 0, 0, false)
                                 << wire(head + QByteArrayList{"4", "3", "4294967295"});
        QTest::newRow("move") << play(GAME_ACTION_MOVE, 0, 196, 13, 0, false)
                              << wire(head + QByteArrayList{"5", "0", "4294967295", "196", "13", "0"});
        QTest::newRow("draw offer") << play(GAME_ACTION_DRAW_OFFER, 1, 12, 0, 0, false)
                                    << wire(head + QByteArrayList{"6", "1", "4294967295", "12"});
        QTest::newRow("draw agreed") << play(GAME_ACTION_DRAW_ANSWER, 0, 12, 0, 0, true)
                                     << wire(head + QByteArrayList{"7", "0", "4294967295", "12", "1"});
        QTest::newRow("draw refused") << play(GAME_ACTION_DRAW_ANSWER, 0, 0, 0, 0, false)
                                      << wire(head + QByteArrayList{"7", "0", "4294967295", "0", "0"});
    }
    void playPacketsByteForByte()
    {
        QFETCH(PlayPacket, packet);
        QFETCH(QByteArray, bytes);
        QCOMPARE(packet.build(), bytes);
        const auto parsed = PlayPacket::parse(bytes);
        QVERIFY(parsed);
        QCOMPARE(*parsed, packet);
        // An older host reads kind 1 and an action above 1, and drops it.
        QCOMPARE(route(bytes, true, false), Route::Ignore);
        QVERIFY(!LobbyPacket::parse(bytes));
    }

    void textsAndRefusalByteForByte()
    {
        const QByteArray nick = big5(u"小明");
        const QByteArray resign = PartnerText{"10.0.0.2", nick, resignedText()}.build();
        QCOMPARE(resign, wire({"9", "10.0.0.2", nick, "2", big5(u"本次棋局對方已認輸!!")}));
        QVERIFY(PartnerText::parse(resign) == (PartnerText{"10.0.0.2", nick, resignedText()}));
        QCOMPARE(leftText(), big5(u"對方已退出棋局!!"));
        QCOMPARE(cancelledText(), big5(u"對方取消了本次約定!!"));
        QCOMPARE(idleReport("10.0.0.2", nick), wire({"9", "10.0.0.2", nick, "1", "1", "4", marker}));
        QCOMPARE(refusalPacket(), wire({"8", big5(u"遠程主機信息"), big5(u"遠程主機未啟動遊戲邀請功能!")}));
        QCOMPARE(unknownGameText(), big5(u"收到不明遊戲數據，請聯絡作者！"));
        QCOMPARE(unknownGameCaption(), big5(u"遊戲信息"));
        QVERIFY(!PartnerText::parse(wire({"9", "10.0.0.2", nick, "1", "0", "3"})));
    }

    void malformedPacketsAreRejected_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArrayList head{"9", "10.0.0.7", "x", "1"};
        QTest::newRow("column off the board") << wire(head + QByteArrayList{"5", "0", "1", "3", "14", "0"});
        QTest::newRow("move number past the board") << wire(head + QByteArrayList{"5", "0", "1", "197", "0", "0"});
        QTest::newRow("move without row") << wire(head + QByteArrayList{"5", "0", "1", "3", "4"});
        QTest::newRow("game number too large") << wire(head + QByteArrayList{"2", "3", "4294967296"});
        QTest::newRow("missing game number") << wire(head + QByteArrayList{"2", "3"});
        QTest::newRow("state no number") << wire(head + QByteArrayList{"2", "x", "5"});
        QTest::newRow("draw answer neither") << wire(head + QByteArrayList{"7", "0", "1", "4", "2"});
        QTest::newRow("unknown action") << wire(head + QByteArrayList{"8", "0", "1"});
        QTest::newRow("lobby state no number") << wire(head + QByteArrayList{"1", "three"});
        QTest::newRow("kind 3") << wire({"9", "10.0.0.7", "x", "3", "2", "3", "1"});
        QTest::newRow("cut off") << wire(head + QByteArrayList{"5", "0", "1", "3", "4", "5"}).chopped(1);
    }
    void malformedPacketsAreRejected()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!PlayPacket::parse(bytes));
        QVERIFY(!LobbyPacket::parse(bytes));
    }

    void routing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("agree");
        QTest::addColumn<bool>("windowOpen");
        QTest::addColumn<Route>("expected");
        const QByteArray query = wire({"9", "10.0.0.7", "x", "1", "0", "3"});
        const QByteArray report = wire({"9", "10.0.0.7", "x", "1", "1", "4"});
        const QByteArray text = wire({"9", "10.0.0.7", "x", "2", "hi"});
        const QByteArray move = wire({"9", "10.0.0.7", "x", "1", "5", "0", "1", "1", "0", "0"});
        QTest::newRow("switch off refuses a query") << query << false << true << Route::Refuse;
        QTest::newRow("switch off refuses a leaving report") << report << false << false << Route::Refuse;
        QTest::newRow("query to the window") << query << true << true << Route::ToWindow;
        QTest::newRow("query without window") << query << true << false << Route::IdleReport;
        QTest::newRow("report without window") << report << true << false << Route::Ignore;
        QTest::newRow("partner text to the window") << text << true << true << Route::ToWindow;
        QTest::newRow("partner text without window") << text << true << false << Route::Ignore;
        QTest::newRow("move to the window") << move << true << true << Route::ToWindow;
        QTest::newRow("unknown kind") << wire({"9", "10.0.0.7", "x", "3", "0"}) << true << true
                                      << Route::UnknownKindBox;
        QTest::newRow("unknown action") << wire({"9", "10.0.0.7", "x", "1", "8", "3"}) << true << true << Route::Ignore;
        QTest::newRow("kind no number") << wire({"9", "10.0.0.7", "x", "one", "0"}) << true << true << Route::Malformed;
        QTest::newRow("action no number") << wire({"9", "10.0.0.7", "x", "1", ""}) << true << true << Route::Malformed;
    }
    void routing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, agree);
        QFETCH(bool, windowOpen);
        QFETCH(Route, expected);
        QCOMPARE(route(bytes, agree, windowOpen), expected);
    }

    void playerList()
    {
        PlayerList list;
        const QByteArray waiting = big5(u"(等待)");
        const QByteArray idle = big5(u"(空閒)");
        QVERIFY(list.update({GAME_ACTION_REPORT, "10.0.0.5", "B", 3, {}, true}));
        QVERIFY(list.update({GAME_ACTION_QUERY, "10.0.0.6", big5(u"丙"), 4, {}, false}));
        // States 0 to 2 leave the list as it is.
        QVERIFY(!list.update({GAME_ACTION_REPORT, "10.0.0.7", "D", 1, "10.0.0.5", true}));
        QVERIFY(!list.update({GAME_ACTION_REPORT, "10.0.0.5", "B", 0, "10.0.0.6", true}));
        QCOMPARE(list.entries().size(), size_t(2));
        QCOMPARE(list.entries()[0].caption, "B" + waiting);
        QVERIFY(list.entries()[0].playsParlune);
        QCOMPARE(list.entries()[1].caption, big5(u"丙") + idle);
        QVERIFY(!list.entries()[1].playsParlune);

        // One entry per address; a new nickname shows at the next report.
        QVERIFY(list.update({GAME_ACTION_REPORT, "10.0.0.5", "Bee", 4, {}, false}));
        QCOMPARE(list.entries().size(), size_t(2));
        QCOMPARE(list.entries()[0].caption, "Bee" + idle);
        QCOMPARE(list.entries()[0].data.state, quint8(4));
        QVERIFY(!list.entries()[0].playsParlune);

        // Exact, byte-for-byte lookup; a new address appends an empty entry.
        QCOMPARE(static_cast<const PlayerEntry *>(list.FindOrAddPlayer("10.0.0.6")), &list.entries()[1]);
        PlayerEntry *fresh = list.FindOrAddPlayer("10.0.0.06");
        QVERIFY(fresh);
        QCOMPARE(list.entries().size(), size_t(3));
        QVERIFY(fresh->caption.isEmpty());
        QVERIFY(fresh->data.address.isEmpty());
        QCOMPARE(fresh->data.state, quint8(0));
    }

    void playerListIsBounded()
    {
        PlayerList list;
        for (int i = 0; i < PlayerList::MaxEntries + 10; ++i)
            list.update({GAME_ACTION_REPORT, QByteArray::number(i), "n", 3, {}, false});
        QCOMPARE(int(list.entries().size()), PlayerList::MaxEntries);
        QVERIFY(!list.FindOrAddPlayer("new"));
        QVERIFY(list.FindOrAddPlayer("0"));

        // A long nickname is cut between characters: the double-byte character at the limit goes whole.
        const QByteArray longName = QByteArray(PlayerList::MaxNicknameBytes - 1, 'a') + big5(u"明明");
        QVERIFY(list.update({GAME_ACTION_REPORT, "0", longName, 3, {}, false}));
        QCOMPARE(list.find("0")->data.nickname, QByteArray(PlayerList::MaxNicknameBytes - 1, 'a'));
        QCOMPARE(boundedText(big5(u"明明"), 3), big5(u"明"));
        QCOMPARE(boundedText("abc", 3), QByteArray("abc"));
    }

    void sessionLobby()
    {
        Host a("10.0.0.1", u"甲");
        QCOMPARE(a.session.ownState(), quint8(GAME_STATE_WAITING));
        QCOMPARE(a.transport.broadcasts, QByteArrayList{wire({"9", "10.0.0.1", big5(u"甲"), "1", "0", "3", marker})});

        // A query is answered whatever its state; an unknown state lists nobody.
        QSignalSpy players(&a.session, &GameSession::playersChanged);
        QVERIFY(!a.session.handlePacket(wire({"9", "10.0.0.2", "B", "1", "0", "x"}), false));
        QVERIFY(a.session.handlePacket(wire({"9", "10.0.0.3", "C", "1", "0", "7"}), false));
        QVERIFY(!a.session.handlePacket(wire({"9", "10.0.0.3", "C", "1", "", "3"}), false));
        QCOMPARE(a.transport.direct.size(), 2);
        QCOMPARE(a.transport.direct[0].first, QByteArray("10.0.0.2"));
        QCOMPARE(a.transport.direct[0].second, wire({"9", "10.0.0.1", big5(u"甲"), "1", "1", "3", marker}));
        QCOMPARE(players.size(), 0);

        // An older host's idle report: listed, but never invited.
        a.session.handlePacket(wire({"9", "10.0.0.4", "Old", "1", "1", "3"}), true);
        QCOMPARE(players.size(), 1);
        QCOMPARE(a.session.players().entries()[0].caption, "Old" + big5(u"(等待)"));
        const int sent = a.transport.direct.size();
        QVERIFY(!a.session.invite("10.0.0.4"));
        QVERIFY(!a.session.invite("10.0.0.99"));
        QCOMPARE(a.transport.direct.size(), sent);

        // The same host closing: one leaving report, no partner text.
        a.transport.broadcasts.clear();
        a.session.close();
        QCOMPARE(a.transport.broadcasts, QByteArrayList{wire({"9", "10.0.0.1", big5(u"甲"), "1", "1", "4", marker})});
        QCOMPARE(a.transport.direct.size(), sent);
    }

    void wholeGameToAWin()
    {
        Host a("10.0.0.1", u"甲");
        Host b("10.0.0.2", u"乙");
        meet(a, b);
        QCOMPARE(a.session.players().entries()[0].caption, big5(u"乙(等待)"));
        QVERIFY(a.session.players().entries()[0].playsParlune);

        QSignalSpy invited(&b.session, &GameSession::invited);
        QVERIFY(a.session.invite("10.0.0.2"));
        QCOMPARE(a.session.ownState(), quint8(GAME_STATE_INVITED));
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(invited.size(), 1);
        QCOMPARE(invited[0][0].toByteArray(), QByteArray("10.0.0.1"));
        QCOMPARE(invited[0][1].toByteArray(), big5(u"甲"));
        QCOMPARE(b.session.partnerAddress(), QByteArray("10.0.0.1"));
        QCOMPARE(b.session.ownState(), quint8(GAME_STATE_INVITED));
        // Reports now carry the partner.
        b.session.handlePacket(wire({"9", "10.0.0.3", "C", "1", "0", "3"}), false);
        QCOMPARE(b.transport.direct.takeLast().second,
                 wire({"9", "10.0.0.2", big5(u"乙"), "1", "1", "2", "10.0.0.1", marker}));

        QVERIFY(b.session.answerInvitation(true));
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(a.session.colour(), Stone::Black);
        QCOMPARE(b.session.colour(), Stone::White);
        QCOMPARE(a.session.ownState(), quint8(GAME_STATE_BLACK));
        QCOMPARE(b.session.ownState(), quint8(GAME_STATE_WHITE));
        QVERIFY(a.session.myTurn());
        QVERIFY(!b.session.myTurn());
        QCOMPARE(b.session.play(0, 0), GameSession::MoveResult::WrongTurn);

        QSignalSpy endA(&a.session, &GameSession::gameEnded);
        QSignalSpy endB(&b.session, &GameSession::gameEnded);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(move(a, b, 3 + i, 3 + i));
            QCOMPARE(a.session.play(0, 0), GameSession::MoveResult::WrongTurn);
            QCOMPARE(b.session.play(3 + i, 3 + i), GameSession::MoveResult::Occupied);
            QVERIFY(move(b, a, 0, i));
        }
        QVERIFY(move(a, b, 7, 7));
        for (int column = 0; column < GobangBoard::Size; ++column) {
            for (int row = 0; row < GobangBoard::Size; ++row)
                QCOMPARE(a.session.board().at(column, row), b.session.board().at(column, row));
        }
        QCOMPARE(a.session.board().moveCount(), 9);
        QCOMPARE(b.session.board().lastColumn(), 7);
        QCOMPARE(endA.size(), 1);
        QCOMPARE(endA[0][0].value<Outcome>(), Outcome::Won);
        QCOMPARE(endB[0][0].value<Outcome>(), Outcome::Lost);
        QVERIFY(a.session.partnerAddress().isEmpty());
        QCOMPARE(b.session.ownState(), quint8(GAME_STATE_WAITING));
        QCOMPARE(a.session.play(8, 8), GameSession::MoveResult::NoGame);
        // The final position stays until the next game.
        QCOMPARE(a.session.board().at(7, 7), Stone::Black);
    }

    void hostileHostChangesNothing()
    {
        Host a("10.0.0.1", u"甲");
        Host b("10.0.0.2", u"乙");
        startGame(a, b);
        QCOMPARE(a.session.play(5, 5), GameSession::MoveResult::Played);
        // The game's number that A and B share: C would have to guess it, but forges it here all the same.
        const QByteArray game = Packet::ExtractField(7, a.transport.direct.last().second);
        QCOMPARE(deliver(a, b), 1);
        const QByteArray nick = big5(u"甲");
        const auto playPacket = [&](QByteArrayList tail) {
            return wire(QByteArrayList{"9", "10.0.0.1", nick, "1"} + tail);
        };
        QSignalSpy placed(&b.session, &GameSession::stonePlaced);
        QSignalSpy ended(&b.session, &GameSession::gameEnded);
        QSignalSpy chat(&b.session, &GameSession::chatReceived);
        // Not A's turn: a well-formed second move from A's address over A's own connection.
        b.session.handlePacket(playPacket({"5", "0", game, "3", "1", "1"}), true, "10.0.0.1");
        // C claims A's address, over its own connection or in a datagram.
        b.session.handlePacket(playPacket({"5", "0", game, "2", "1", "1"}), true, "10.0.0.3");
        b.session.handlePacket(playPacket({"5", "0", game, "2", "1", "1"}), false);
        b.session.handlePacket(wire({"9", "10.0.0.1", nick, "2", resignedText()}), true, "10.0.0.3");
        b.session.handlePacket(wire({"9", "10.0.0.1", nick, "2", leftText()}), false);
        b.session.handlePacket(wire({"9", "10.0.0.1", nick, "2", "hello"}), false);
        // C in its own name.
        b.session.handlePacket(wire({"9", "10.0.0.3", "C", "1", "5", "0", game, "2", "1", "1"}), true, "10.0.0.3");
        b.session.handlePacket(wire({"9", "10.0.0.3", "C", "2", cancelledText()}), true, "10.0.0.3");
        b.session.handlePacket(wire({"9", "10.0.0.3", "C", "1", "3", "0", game}), true, "10.0.0.3");
        // An earlier game's number, a move onto A's stone, a draw answer nobody asked for.
        b.session.handlePacket(playPacket({"5", "0", "12345", "2", "1", "1"}), true, "10.0.0.1");
        b.session.handlePacket(playPacket({"7", "0", game, "1", "1"}), true, "10.0.0.1");
        QCOMPARE(b.session.play(5, 5), GameSession::MoveResult::Occupied);
        QCOMPARE(placed.size(), 0);
        QCOMPARE(ended.size(), 0);
        QCOMPARE(chat.size(), 0);
        QCOMPARE(b.session.partnerAddress(), QByteArray("10.0.0.1"));
        QCOMPARE(b.session.board().moveCount(), 1);
        QVERIFY(b.session.myTurn());
        // A's own chat still arrives, bounded.
        b.session.handlePacket(wire({"9", "10.0.0.1", nick, "2", QByteArray(5000, 'z')}), true, "10.0.0.1");
        QCOMPARE(chat.size(), 1);
        QCOMPARE(chat[0][0].toByteArray().size(), GameSession::MaxChatBytes);

        // After a game ends, the former partner's results change nothing either.
        b.session.resign();
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(ended.size(), 1);
        b.session.handlePacket(wire({"9", "10.0.0.1", nick, "2", resignedText()}), true, "10.0.0.1");
        b.session.handlePacket(playPacket({"5", "0", game, "2", "1", "1"}), true, "10.0.0.1");
        QCOMPARE(ended.size(), 1);
        QCOMPARE(*b.session.lastOutcome(), Outcome::Resigned);
        QCOMPARE(b.session.board().moveCount(), 1);
    }

    void invitationsWhileBusy()
    {
        Host a("10.0.0.1", u"甲");
        Host b("10.0.0.2", u"乙");
        Host c("10.0.0.3", u"丙");
        meet(a, b);
        meet(c, b);
        // A host that never showed itself in the lobby cannot invite.
        QSignalSpy invited(&b.session, &GameSession::invited);
        b.session.handlePacket(wire({"9", "10.0.0.4", "D", "1", "2", "3", "77"}), true, "10.0.0.4");
        QCOMPARE(invited.size(), 0);
        QVERIFY(b.transport.direct.isEmpty());
        QVERIFY(a.session.invite("10.0.0.2"));
        QVERIFY(c.session.invite("10.0.0.2"));
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(deliver(c, b), 1);
        QCOMPARE(b.session.partnerAddress(), QByteArray("10.0.0.1"));
        // C got its answer at once.
        QSignalSpy declined(&c.session, &GameSession::invitationDeclined);
        QCOMPARE(deliver(b, c), 1);
        QCOMPARE(declined.size(), 1);
        QCOMPARE(c.session.phase(), GameSession::Phase::Lobby);
        QCOMPARE(c.session.ownState(), quint8(GAME_STATE_WAITING));

        // B declines A too.
        QSignalSpy declinedA(&a.session, &GameSession::invitationDeclined);
        QVERIFY(b.session.answerInvitation(false));
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(declinedA.size(), 1);
        QVERIFY(a.session.partnerAddress().isEmpty());
        QVERIFY(!b.session.answerInvitation(true));

        // An invitation that cannot be sent leaves no partner behind.
        a.transport.directResult = -1;
        QVERIFY(!a.session.invite("10.0.0.2"));
        QVERIFY(a.session.partnerAddress().isEmpty());
        QCOMPARE(a.session.ownState(), quint8(GAME_STATE_WAITING));
    }

    void drawResignCancelAndLeaving()
    {
        Host a("10.0.0.1", u"甲");
        Host b("10.0.0.2", u"乙");
        startGame(a, b);
        QVERIFY(move(a, b, 0, 0));

        // A draw offer holds for the position it was made in.
        QSignalSpy offered(&b.session, &GameSession::drawOffered);
        QSignalSpy refused(&a.session, &GameSession::drawDeclined);
        QVERIFY(a.session.offerDraw());
        QVERIFY(!a.session.offerDraw());
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(offered.size(), 1);
        QVERIFY(b.session.drawOfferedByPartner());
        QVERIFY(b.session.answerDraw(false));
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(refused.size(), 1);
        QVERIFY(!b.session.answerDraw(true));
        QVERIFY(a.session.offerDraw());
        QCOMPARE(deliver(a, b), 1);
        QVERIFY(move(b, a, 1, 1)); // playing on lets the offer lapse
        QVERIFY(!b.session.drawOfferedByPartner());
        QVERIFY(!b.session.answerDraw(true));
        QVERIFY(b.session.offerDraw());
        QCOMPARE(deliver(b, a), 1);
        QSignalSpy endA(&a.session, &GameSession::gameEnded);
        QSignalSpy endB(&b.session, &GameSession::gameEnded);
        QVERIFY(a.session.answerDraw(true));
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(endA[0][0].value<Outcome>(), Outcome::Drawn);
        QCOMPARE(endB[0][0].value<Outcome>(), Outcome::Drawn);

        // "認輸" and "取消" send their texts and end the game on both sides.
        startGame(a, b);
        a.session.resign();
        QCOMPARE(a.transport.direct.last().second, (PartnerText{"10.0.0.1", big5(u"甲"), resignedText()}.build()));
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(endA.last()[0].value<Outcome>(), Outcome::Resigned);
        QCOMPARE(endB.last()[0].value<Outcome>(), Outcome::PartnerResigned);
        a.session.resign(); // no partner, nothing sent
        QCOMPARE(a.transport.direct.size(), 0);

        startGame(a, b);
        b.session.cancel();
        QCOMPARE(deliver(b, a), 1);
        QCOMPARE(endA.last()[0].value<Outcome>(), Outcome::PartnerCancelled);
        QCOMPARE(endB.last()[0].value<Outcome>(), Outcome::Cancelled);

        // A chat text that would read as a result is not sent; others are.
        startGame(a, b);
        QSignalSpy chat(&b.session, &GameSession::chatReceived);
        QVERIFY(!a.session.sendChat(leftText()));
        QVERIFY(a.session.sendChat(big5(u"你好")));
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(chat[0][0].toByteArray(), big5(u"你好"));

        // A move that cannot be sent is not played.
        a.transport.directResult = -1;
        QCOMPARE(a.session.play(4, 4), GameSession::MoveResult::SendFailed);
        QCOMPARE(a.session.board().at(4, 4), Stone::Empty);
        a.transport.directResult = 0;
        a.transport.direct.clear();

        // Closing the window: the leaving report, then the closing text to the partner.
        a.transport.broadcasts.clear();
        a.session.close();
        QCOMPARE(a.transport.broadcasts.size(), 1);
        QCOMPARE(Packet::ExtractField(6, a.transport.broadcasts[0]), QByteArray("4"));
        QCOMPARE(a.transport.direct.size(), 1);
        QCOMPARE(deliver(a, b), 1);
        QCOMPARE(endB.last()[0].value<Outcome>(), Outcome::PartnerLeft);

        // A partner that goes offline ends the game too.
        Host c("10.0.0.3", u"丙");
        startGame(c, b);
        b.session.partnerWentOffline("10.0.0.9");
        QCOMPARE(b.session.phase(), GameSession::Phase::Playing);
        b.session.partnerWentOffline("10.0.0.3");
        QCOMPARE(endB.last()[0].value<Outcome>(), Outcome::PartnerLeft);
        QVERIFY(b.session.partnerAddress().isEmpty());
    }

    // With the switch off, every game packet draws one refusal to its field 2 and nothing else happens.
    void routerRefusesEverythingWhileOff()
    {
        Host a("10.0.0.1", u"甲");
        Console console;
        RecordingTransport transport;
        GameRouter router(console.state, transport);
        router.setSession(&a.session);
        console.state.setGameAgree(false);
        QSignalSpy boxes(&router, &GameRouter::unknownGameData);
        const QByteArrayList packets{
            wire({"9", "10.0.0.7", "x", "1", "0", "3"}),
            wire({"9", "10.0.0.7", "x", "1", "1", "4"}),
            wire({"9", "10.0.0.8", "x", "2", "hi"}),
            wire({"9", "10.0.0.8", "x", "3", "0"}),
            wire({"9", "10.0.0.8", "x", "1", "5", "0", "1", "1", "0", "0"}),
            wire({"9", "10.0.0.8", "x", "one"}),
        };
        for (const QByteArray &packet : packets)
            QVERIFY(router.RouteGamePacket(packet, true, "10.0.0.7"));
        QCOMPARE(transport.direct.size(), packets.size());
        for (qsizetype i = 0; i < packets.size(); ++i) {
            QCOMPARE(transport.direct[i].first, Packet::ExtractField(2, packets[i]));
            QCOMPARE(transport.direct[i].second,
                     wire({"8", big5(u"遠程主機信息"), big5(u"遠程主機未啟動遊戲邀請功能!")}));
        }
        QCOMPARE(boxes.size(), 0);
        QVERIFY(a.transport.direct.isEmpty());
        QVERIFY(a.session.players().entries().empty());

        // The switch is read for every packet.
        console.state.setGameAgree(true);
        QVERIFY(router.RouteGamePacket(packets[0], false));
        QCOMPARE(transport.direct.size(), packets.size());
        QCOMPARE(a.transport.direct.size(), 1);
    }

    void routerWithAndWithoutWindow()
    {
        Console console;
        console.state.values().OwnAddress = "10.0.0.5";
        console.state.values().OwnNickname = big5(u"戊");
        RecordingTransport transport;
        GameRouter router(console.state, transport);
        const QByteArray query = wire({"9", "10.0.0.7", "x", "1", "0", "3"});

        // No window: a query draws the idle report, with the marker after the last field older hosts read.
        QVERIFY(router.RouteGamePacket(query, false));
        QVERIFY(router.RouteGamePacket(wire({"9", "10.0.0.7", "x", "1", "1", "3"}), false));
        QVERIFY(router.RouteGamePacket(wire({"9", "10.0.0.7", "x", "2", "hi"}), true, "10.0.0.7"));
        QVERIFY(!router.RouteGamePacket(wire({"9", "10.0.0.7", "x", "1", "zero"}), false));
        QCOMPARE(transport.direct.size(), 1);
        QCOMPARE(transport.direct[0].first, QByteArray("10.0.0.7"));
        QCOMPARE(transport.direct[0].second, wire({"9", "10.0.0.5", big5(u"戊"), "1", "1", "4", marker}));

        // An open window's game answers and lists; once the window is gone, the idle report again.
        auto window = std::make_unique<Host>("10.0.0.5", u"戊");
        router.setSession(&window->session);
        QVERIFY(router.RouteGamePacket(query, false));
        QCOMPARE(window->transport.direct.size(), 1);
        QCOMPARE(Packet::ExtractField(6, window->transport.direct[0].second), QByteArray("3"));
        QCOMPARE(window->session.players().entries().size(), size_t(1));
        QVERIFY(!router.RouteGamePacket(wire({"9", "10.0.0.7", "x", "1", "1", "y"}), false));
        window.reset();
        QVERIFY(!router.session());
        QVERIFY(router.RouteGamePacket(query, false));
        QCOMPARE(transport.direct.size(), 2);

        // A host going offline ends a game with it, and only with it.
        Host a("10.0.0.1", u"甲");
        Host b("10.0.0.2", u"乙");
        startGame(a, b);
        router.setSession(&b.session);
        router.hostWentOffline("10.0.0.3");
        QCOMPARE(b.session.phase(), GameSession::Phase::Playing);
        QSignalSpy ended(&b.session, &GameSession::gameEnded);
        router.hostWentOffline("10.0.0.1");
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended[0][0].value<Outcome>(), Outcome::PartnerLeft);
    }

    // A stream of unknown game data shows one box at a time, and none for a while after it is closed.
    void routerUnknownDataBoxesAreBounded()
    {
        Console console;
        RecordingTransport transport;
        const QByteArray unknown = wire({"9", "10.0.0.7", "x", "3", "0"});
        GameRouter patient(console.state, transport);
        QSignalSpy boxes(&patient, &GameRouter::unknownGameData);
        for (int i = 0; i < 50; ++i)
            QVERIFY(patient.RouteGamePacket(unknown, false));
        QCOMPARE(boxes.size(), 1);
        patient.unknownGameBoxClosed();
        QVERIFY(patient.RouteGamePacket(unknown, false));
        QCOMPARE(boxes.size(), 1);
        QVERIFY(transport.direct.isEmpty());

        GameRouter eager(console.state, transport, std::chrono::milliseconds(0));
        QSignalSpy eagerBoxes(&eager, &GameRouter::unknownGameData);
        eager.RouteGamePacket(unknown, false);
        eager.RouteGamePacket(unknown, false);
        QCOMPARE(eagerBoxes.size(), 1);
        eager.unknownGameBoxClosed();
        eager.unknownGameBoxClosed(); // a second close changes nothing
        eager.RouteGamePacket(unknown, false);
        eager.RouteGamePacket(unknown, false);
        QCOMPARE(eagerBoxes.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestGameLobby)
#include "tst_gamelobby.moc"
