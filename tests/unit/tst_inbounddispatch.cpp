#include "engine/InboundDispatch.h"
#include "engine/MemorySettingsStore.h"
#include "engine/MessageTable.h"
#include "engine/NoticeText.h"
#include "engine/Packet.h"
#include "tests/support/CodePage.h"
#include "tests/support/NoticeRecorder.h"
#include "tests/support/RecordingTransport.h"

#include <QSignalSpy>
#include <QTest>

using namespace Packet;

namespace {
// The answers to power-off requests exactly as peers have always received them: 10-point Ming frame, no
// delimiter after \fs20 since every answer begins with an escape.
const QByteArray MingPrefix = R"({\rtf1\ansi\ansicpg950\deff0\deflang1033\deflangfe1028{\fonttbl{\f0\fnil\fcharset136 )"
                              R"(\'b2\'d3\'a9\'fa\'c5\'e9;}}\viewkind4\uc1\pard\lang1028\f0\fs20)";
const QList<QPair<QString, QByteArray>> PowerOffAnswers{
    {QStringLiteral("遠程主機已關閉!"),
     MingPrefix + R"(\'bb\'b7\'b5\'7b\'a5\'44\'be\'f7\'a4\'77\'c3\'f6\'b3\'ac!\par})"},
    {QStringLiteral("遠程主機無法關閉!"),
     MingPrefix + R"(\'bb\'b7\'b5\'7b\'a5\'44\'be\'f7\'b5\'4c\'aa\'6b\'c3\'f6\'b3\'ac!\par})"},
    {QStringLiteral("密碼錯誤!"), MingPrefix + R"(\'b1\'4b\'bd\'58\'bf\'f9\'bb\'7e!\par})"},
    {QStringLiteral("遠程主機未啟動遠程控制!"),
     MingPrefix + R"(\'bb\'b7\'b5\'7b\'a5\'44\'be\'f7\'a5\'bc\'b1\'d2\'b0\'ca\'bb\'b7\'b5\'7b\'b1\'b1\'a8\'ee!\par})"},
};
} // namespace

class TestInboundDispatch : public QObject
{
    Q_OBJECT

    struct Rig
    {
        MessageTable messages;
        RecordingTransport transport;
        MemorySettingsStore store;
        NoticeRecorder stateNotices;
        ConsoleState state{store, stateNotices};
        ConsoleValues &values = state.values();
        bool windowOpen = false;
        bool powerOffAccepted = true;
        qint64 nowMs = 1'000'000;
        int beeps = 0, opened = 0, unreadSignals = 0, powerOffs = 0, closes = 0;
        QList<QPair<QByteArray, QByteArray>> notices, inserted;
        QStringList events;
        std::unique_ptr<InboundDispatch> dispatch;

        Rig()
        {
            values.OwnNickname = "me";
            values.AutoReplyText = InboundDispatch::defaultAutoReply();
            state.setAutoShow(false);
            InboundDispatch::Questions q;
            q.localAddress = [] { return QByteArray("10.0.0.1"); };
            q.messageWindowOpen = [this] { return windowOpen; };
            q.powerOffHost = [this] {
                ++powerOffs;
                events << QStringLiteral("poweroff");
                return powerOffAccepted;
            };
            q.clockMs = [this] { return nowMs; };
            dispatch = std::make_unique<InboundDispatch>(messages, transport, state, q);
            InboundDispatch *d = dispatch.get();
            QObject::connect(d, &InboundDispatch::beepRequested, d, [this] { ++beeps; });
            QObject::connect(d, &InboundDispatch::noticeRaised, d, [this](const QByteArray &t, const QByteArray &c) {
                notices.append({t, c});
            });
            QObject::connect(d, &InboundDispatch::noticeReceived, d, [this](const QByteArray &t, const QByteArray &c) {
                inserted.append({t, c});
            });
            QObject::connect(d, &InboundDispatch::readingRequested, d, [this] {
                ++opened;
                windowOpen = true;
            });
            QObject::connect(d, &InboundDispatch::unreadSignalled, d, [this] { ++unreadSignals; });
            QObject::connect(d, &InboundDispatch::closeRequested, d, [this] {
                ++closes;
                // The answer has to be on its way before the console goes.
                events << QStringLiteral("close after %1 answers").arg(transport.direct.size());
            });
        }
        void setAway(bool away) { state.setStatus(away ? Presence::Away : Presence::Online); }
        QByteArray message(const QByteArray &from)
        {
            return build(CMD_MESSAGE, {from, "bob", "09:15", "{\\rtf1 hi}", "0"});
        }
        // Sends a power-off request and returns the plain text of the answer it got.
        QString powerOff(const QByteArray &password, const QByteArray &from = "10.0.0.9")
        {
            const qsizetype before = transport.direct.size();
            dispatch->onRemoteShutdown(build(CMD_REMOTE_SHUTDOWN, {from, "admin", password}));
            if (transport.direct.size() != before + 1)
                return QStringLiteral("<%1 answers>").arg(transport.direct.size() - before);
            const QByteArray body = ExtractField(3, transport.direct.last().second);
            for (const auto &[answer, rtf] : PowerOffAnswers)
                if (body == rtf)
                    return answer;
            return QString::fromLatin1(body);
        }
    };

private Q_SLOTS:
    void storesUnreadWithReceiverClock()
    {
        Rig rig;
        const QDateTime before = QDateTime::currentDateTime();
        rig.dispatch->onMessage(rig.message("10.0.0.2"));
        QCOMPARE(rig.messages.size(), 1);
        const Message &m = rig.messages.at(0);
        QCOMPARE(m.Nickname, QByteArray("bob"));
        QCOMPARE(m.IP, QByteArray("10.0.0.2"));
        QCOMPARE(m.Content, QByteArray("{\\rtf1 hi}"));
        QVERIFY(!m.Read);
        QVERIFY(m.Date >= before.addSecs(-1));
        QCOMPARE(rig.unreadSignals, 1);
        QCOMPARE(rig.opened, 0);
        QCOMPARE(rig.beeps, 0);
    }

    void autoShowOpensAndMarksRead()
    {
        Rig rig;
        rig.state.setAutoShow(true);
        rig.state.setSuggestive(true);
        rig.dispatch->onMessage(rig.message("10.0.0.2"));
        QCOMPARE(rig.opened, 1);
        QVERIFY(rig.messages.at(0).Read);
        QCOMPARE(rig.messages.filter(), QStringLiteral("IP='10.0.0.2'"));
        QVERIFY(rig.messages.filtered());
        QCOMPARE(rig.unreadSignals, 0);
        QCOMPARE(rig.beeps, 1);

        // With the window open, the next message stays unread and flashes the tray.
        rig.dispatch->onMessage(rig.message("10.0.0.3"));
        QCOMPARE(rig.opened, 1);
        QVERIFY(!rig.messages.at(1).Read);
        QCOMPARE(rig.unreadSignals, 1);
    }

    // Switching the filter mark on moves the current row to the first row; an older unread message there
    // keeps the tray flashing even though the new one popped up.
    void popupOverOlderUnreadStillFlashes()
    {
        Rig rig;
        rig.dispatch->onMessage(rig.message("10.0.0.2"));
        rig.state.setAutoShow(true);
        rig.dispatch->onMessage(rig.message("10.0.0.3"));
        QVERIFY(rig.messages.at(1).Read);
        QCOMPARE(rig.messages.currentRow(), 0);
        QCOMPARE(rig.unreadSignals, 2);
    }

    // A full table makes room by dropping the oldest read rows and says so once; with nothing read it
    // refuses the arrival instead of growing, and says that once too.
    void messageTableBounds()
    {
        Rig rig;
        rig.messages.setLimits(3, 1000);
        QList<QPair<QByteArray, QByteArray>> told;
        QList<int> removed;
        connect(&rig.messages, &MessageTable::noticeRequested, this, [&told](const QByteArray &t, const QByteArray &c) {
            told.append({t, c});
        });
        connect(&rig.messages, &MessageTable::rowRemoved, this, [&removed](int row) { removed.append(row); });
        for (const char *from : {"10.0.0.2", "10.0.0.3", "10.0.0.4"})
            rig.dispatch->onMessage(rig.message(from));
        for (int row : {2, 0}) {
            rig.messages.moveTo(row);
            rig.messages.setCurrentRead(true);
        }
        rig.dispatch->onMessage(rig.message("10.0.0.5"));
        rig.dispatch->onMessage(rig.message("10.0.0.6"));
        QCOMPARE(removed, (QList<int>{0, 1}));
        QCOMPARE(rig.messages.size(), 3);
        QCOMPARE(rig.messages.at(0).IP, QByteArray("10.0.0.3"));
        QCOMPARE(rig.messages.at(2).IP, QByteArray("10.0.0.6"));
        QCOMPARE(rig.messages.currentRow(), 2);
        QCOMPARE(told.size(), 1);

        // Everything left is unread: the arrivals are refused, and told once; a refused one is not
        // beeped at or answered.
        rig.setAway(true);
        rig.state.setSuggestive(true);
        rig.dispatch->onMessage(rig.message("10.0.0.7"));
        rig.dispatch->onMessage(rig.message("10.0.0.8"));
        QCOMPARE(rig.beeps, 0);
        QVERIFY(rig.transport.direct.isEmpty());
        rig.setAway(false);
        rig.state.setSuggestive(false);
        QCOMPARE(rig.messages.size(), 3);
        QCOMPARE(rig.messages.at(2).IP, QByteArray("10.0.0.6"));
        QCOMPARE(told.size(), 2);
        QVERIFY(told[0].first != told[1].first);

        // Bytes count as rows do; a body larger than the whole table never fits.
        rig.messages.clear();
        rig.messages.setLimits(100, 200);
        QVERIFY(!rig.messages.append("bob", "10.0.0.2", QByteArray(300, 'x')));
        QVERIFY(rig.messages.append("bob", "10.0.0.2", QByteArray(150, 'x')));
        rig.messages.setCurrentRead(true);
        QVERIFY(rig.messages.append("bob", "10.0.0.3", QByteArray(150, 'y')));
        QCOMPARE(rig.messages.size(), 1);
        QVERIFY(rig.messages.bytes() <= 200);
    }

    void awayAutoReply()
    {
        Rig rig;
        rig.setAway(true);
        rig.dispatch->onMessage(rig.message("10.0.0.2"));
        rig.dispatch->onMessage(rig.message("10.0.0.1")); // from the own address: no reply
        QCOMPARE(rig.transport.direct.size(), 1);
        QCOMPARE(rig.transport.direct.at(0).first, QByteArray("10.0.0.2"));
        QCOMPARE(rig.transport.direct.at(0).second,
                 build(CMD_NOTICE, {big5(u"應答信息- [") + "me]", InboundDispatch::defaultAutoReply()}));
        QCOMPARE(rig.messages.size(), 2);
    }

    void remoteShutdown_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QByteArray>("ownPassword");
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<bool>("systemAccepts");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("events");
        const QStringList accepted{QStringLiteral("poweroff"), QStringLiteral("close after 1 answers")};
        const QStringList refused{QStringLiteral("poweroff")};
        QTest::newRow("right password") << true << QByteArray("pw") << QByteArray("pw") << true
                                        << QStringLiteral("遠程主機已關閉!") << accepted;
        QTest::newRow("system refuses") << true << QByteArray("pw") << QByteArray("pw") << false
                                        << QStringLiteral("遠程主機無法關閉!") << refused;
        QTest::newRow("wrong password") << true << QByteArray("pw") << QByteArray("PW") << true
                                        << QStringLiteral("密碼錯誤!") << QStringList{};
        QTest::newRow("factory settings, empty password") << true << QByteArray() << QByteArray() << true
                                                          << QStringLiteral("遠程主機未啟動遠程控制!") << QStringList{};
        QTest::newRow("empty password, something given") << true << QByteArray() << QByteArray("x") << true
                                                         << QStringLiteral("遠程主機未啟動遠程控制!") << QStringList{};
        QTest::newRow("remote control off") << false << QByteArray("pw") << QByteArray("pw") << true
                                            << QStringLiteral("遠程主機未啟動遠程控制!") << QStringList{};
    }
    void remoteShutdown()
    {
        QFETCH(bool, allowed);
        QFETCH(QByteArray, ownPassword);
        QFETCH(QByteArray, given);
        QFETCH(bool, systemAccepts);
        QFETCH(QString, answer);
        QFETCH(QStringList, events);
        Rig rig;
        rig.state.setRemoteControl(allowed);
        rig.powerOffAccepted = systemAccepts;
        rig.values.OwnPassword = ownPassword;
        QCOMPARE(rig.powerOff(given), answer);
        const QByteArray packet = rig.transport.direct.at(0).second;
        QCOMPARE(rig.transport.direct.at(0).first, QByteArray("10.0.0.9"));
        QCOMPARE(ExtractField(1, packet), QByteArray("8"));
        QCOMPARE(ExtractField(2, packet), big5(u"遠程主機信息"));
        QCOMPARE(rig.events, events);
        QVERIFY(rig.notices.isEmpty());
    }

    // Five wrong passwords within ten minutes, from any host, shut the door for ten minutes to everybody;
    // the user hears of it once.
    void passwordGuessingLocksOut()
    {
        Rig rig;
        rig.values.OwnPassword = "secret";
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(rig.powerOff("guess" + QByteArray::number(i), "10.0.0." + QByteArray::number(20 + i)),
                     QStringLiteral("密碼錯誤!"));
            rig.nowMs += 60'000;
        }
        QVERIFY(rig.notices.isEmpty());
        QCOMPARE(rig.powerOff("guess4", "10.0.0.66"), QStringLiteral("密碼錯誤!"));
        QCOMPARE(rig.notices.size(), 1);
        QCOMPARE(rig.notices.at(0).second, big5(u"遠程控制警告"));
        QVERIFY(rig.notices.at(0).first.contains("10.0.0.66"));

        // Locked: even the right password is refused, and more guesses tell the user nothing new.
        QCOMPARE(rig.powerOff("secret"), QStringLiteral("密碼錯誤!"));
        for (int i = 0; i < 10; ++i)
            QCOMPARE(rig.powerOff("again"), QStringLiteral("密碼錯誤!"));
        rig.nowMs += PasswordGuard::LockoutMs - 1;
        QCOMPARE(rig.powerOff("secret"), QStringLiteral("密碼錯誤!"));
        QCOMPARE(rig.powerOffs, 0);
        QCOMPARE(rig.notices.size(), 1);

        // Over: the right password works again, and the guesses made while locked did not count.
        rig.nowMs += 1;
        QCOMPARE(rig.powerOff("secret"), QStringLiteral("遠程主機已關閉!"));
        QCOMPARE(rig.powerOffs, 1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.powerOff("wrong"), QStringLiteral("密碼錯誤!"));
        QCOMPARE(rig.notices.size(), 1);
        // A second lock-out is told again; an address that is not one is not repeated.
        QCOMPARE(rig.powerOff("wrong", "{\\rtf1 \\par}"), QStringLiteral("密碼錯誤!"));
        QCOMPARE(rig.notices.size(), 2);
        QVERIFY(!rig.notices.at(1).first.contains("\\rtf1 \\par"));
    }

    void slowGuessingIsNotLockedOut()
    {
        Rig rig;
        rig.values.OwnPassword = "secret";
        // Four every ten minutes never make five within ten minutes.
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(rig.powerOff("wrong"), QStringLiteral("密碼錯誤!"));
            rig.nowMs += PasswordGuard::FailureWindowMs / 4;
        }
        QVERIFY(rig.notices.isEmpty());
        QCOMPARE(rig.powerOff("secret"), QStringLiteral("遠程主機已關閉!"));
    }

    void passwordComparison_data()
    {
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<bool>("match");
        QTest::newRow("equal") << QByteArray("pw") << QByteArray("pw") << true;
        QTest::newRow("both empty") << QByteArray() << QByteArray() << true;
        QTest::newRow("last byte differs") << QByteArray("secret1") << QByteArray("secret2") << false;
        QTest::newRow("prefix") << QByteArray("secret") << QByteArray("secre") << false;
        QTest::newRow("longer") << QByteArray("secret") << QByteArray("secret\0", 7) << false;
    }
    void passwordComparison()
    {
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, given);
        QFETCH(bool, match);
        QCOMPARE(PasswordGuard::matches(expected, given), match);
    }

    void noticeFrames()
    {
        // The auto-reply frame and the answers share one prefix; trail bytes in the ASCII range are escaped too.
        for (const auto &[answer, rtf] : PowerOffAnswers)
            QCOMPARE(NoticeText::build(answer, NoticeText::Frame::Ming10), rtf);
        QCOMPARE(InboundDispatch::defaultAutoReply(),
                 MingPrefix +
                     R"(\'b1\'7a\'a6\'6e!\'a7\'da\'b2\'7b\'a6\'62\'a6\'b3\'a8\'c6\'a6\'a3\'a1\'41\'bd\'d0\'b5\'79)"
                     R"(\'ab\'e1\'c1\'70\'b5\'b8\lang1033 ...\lang1028\par})");
    }

    void bulletinsNoticesBroadcastsGames()
    {
        Rig rig;
        rig.dispatch->onBulletin(build(CMD_BULLETIN, {"10.0.0.1", "me", "10:00", "{\\rtf1 own}"}));
        QVERIFY(rig.notices.isEmpty());
        rig.dispatch->onBulletin(build(CMD_BULLETIN, {"10.0.0.2", big5(u"匿名"), "10:00", "{\\rtf1 x}"}));
        QCOMPARE(rig.notices.value(0).first, QByteArray("{\\rtf1 x}"));
        QCOMPARE(rig.notices.value(0).second, big5(u"緊急通告－匿名"));

        rig.dispatch->onNotice(build(CMD_NOTICE, {"cap", "plain body"}));
        QCOMPARE(rig.inserted.value(0), qMakePair(QByteArray("plain body"), QByteArray("cap")));

        // Broadcasts go to the ticker and the assistant, the own one too; games from other hosts to the routing.
        QSignalSpy shown(rig.dispatch.get(), &InboundDispatch::broadcastArrived);
        QSignalSpy spoken(rig.dispatch.get(), &InboundDispatch::broadcastToSpeak);
        QSignalSpy games(rig.dispatch.get(), &InboundDispatch::gameArrived);
        rig.dispatch->onBroadcast(build(CMD_BROADCAST, {"10.0.0.1", "me", "10:00", "{\\rtf1 b}"}));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.at(0), QVariantList({QByteArray("me"), QByteArray("10:00"), QByteArray("{\\rtf1 b}")}));
        QCOMPARE(spoken.count(), 1);
        rig.dispatch->onGame(build(CMD_GAME, {"10.0.0.1", "me", "1"}), false);
        QCOMPARE(games.count(), 0);
        rig.dispatch->onGame(build(CMD_GAME, {"10.0.0.2", "bob", "1"}), false);
        rig.dispatch->onGame(build(CMD_GAME, {"10.0.0.1", "me", "1"}), true);
        QCOMPARE(games.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestInboundDispatch)
#include "tst_inbounddispatch.moc"
