#include "engine/FriendTable.h"
#include "engine/Packet.h"
#include "engine/Presence.h"
#include "tests/support/RecordingTransport.h"

#include <QSignalSpy>
#include <QTest>

using namespace Packet;

class TestPresence : public QObject
{
    Q_OBJECT

    struct Rig
    {
        FriendTable friends;
        RecordingTransport transport;
        ConsoleValues values;
        QByteArray address = "10.0.0.1";
        Presence presence{friends, transport, values, [this] { return address; }};
        Rig()
        {
            values.OwnNickname = "me";
            values.OwnFace = QByteArray("BM\0\x01", 4);
        }
    };

private Q_SLOTS:
    void announcementPerStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("online") << int(Presence::Online)
                                << build(CMD_ONLINE, {"10.0.0.1", "me", QByteArray("BM\0\x01", 4)});
        QTest::newRow("away") << int(Presence::Away) << build(CMD_AWAY, {"10.0.0.1", "me", QByteArray("BM\0\x01", 4)});
        QTest::newRow("hidden") << int(Presence::Hidden) << build(CMD_HIDDEN, {"10.0.0.1", "me"});
        QTest::newRow("offline") << int(Presence::Offline) << build(CMD_OFFLINE, {"10.0.0.1"});
    }
    void announcementPerStatus()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, expected);
        Rig rig;
        rig.presence.restoreStatus(Presence::Status(status));
        rig.friends.addIfNew("old", "10.0.0.9", {});
        rig.presence.AnnouncePresence();
        QCOMPARE(rig.transport.broadcasts, QByteArrayList{expected});
        QCOMPARE(rig.friends.size(), 0);
        QCOMPARE(rig.values.OwnAddress, QByteArray("10.0.0.1"));
    }

    // A status command keeps the table and the cached address, but uses the address of this moment.
    void statusCommand()
    {
        Rig rig;
        rig.values.OwnAddress = "10.0.0.1";
        rig.friends.addIfNew("peer", "10.0.0.2", {});
        rig.address = "10.0.0.7";
        rig.presence.SetStatus(Presence::Away);
        QCOMPARE(rig.presence.status(), Presence::Away);
        QCOMPARE(rig.transport.broadcasts.value(0), build(CMD_AWAY, {"10.0.0.7", "me", rig.values.OwnFace}));
        QCOMPARE(rig.values.OwnAddress, QByteArray("10.0.0.1"));
        QCOMPARE(rig.friends.size(), 1);
    }

    void receipts()
    {
        Rig rig;
        // Own announcement: nothing added, no answer.
        rig.presence.onOnline(build(CMD_ONLINE, {"10.0.0.1", "me", ""}));
        QCOMPARE(rig.friends.size(), 0);
        QVERIFY(rig.transport.direct.isEmpty());

        rig.presence.onOnline(build(CMD_ONLINE, {"10.0.0.2", "bob", "F"}));
        rig.presence.onOnline(build(CMD_AWAY, {"10.0.0.2", "renamed", "G"})); // existing row unchanged
        rig.presence.onOnline(build(CMD_ONLINE, {"10.0.0.3", "bob", ""}));    // same nickname, new row
        QCOMPARE(rig.friends.size(), 2);
        QCOMPARE(rig.friends.at(0).User, QByteArray("bob"));
        QCOMPARE(rig.friends.at(0).Face, QByteArray("F"));
        QCOMPARE(rig.transport.direct.size(), 3);
        QCOMPARE(rig.transport.direct.at(0).first, QByteArray("10.0.0.2"));
        QCOMPARE(rig.transport.direct.at(0).second, build(CMD_PRESENCE_REPLY, {"10.0.0.1", "me", rig.values.OwnFace}));

        rig.presence.onHidden(build(CMD_HIDDEN, {"10.0.0.2", "bob"}));
        QCOMPARE(rig.friends.size(), 1);
        QCOMPARE(rig.transport.direct.size(), 4);

        QSignalSpy offline(&rig.presence, &Presence::hostWentOffline);
        rig.presence.onOffline(build(CMD_OFFLINE, {"10.0.0.3"}));
        QCOMPARE(rig.friends.size(), 0);
        rig.presence.onOffline(build(CMD_OFFLINE, {"10.0.0.9"}));
        QCOMPARE(offline.size(), 2);
        QCOMPARE(offline[0][0].toByteArray(), QByteArray("10.0.0.3"));
        QCOMPARE(offline[1][0].toByteArray(), QByteArray("10.0.0.9"));

        // Replies have no own-address test; a second reply from the same peer adds nothing.
        rig.presence.onPresenceReply(build(CMD_PRESENCE_REPLY, {"10.0.0.4", "carol"}));
        rig.presence.onPresenceReply(build(CMD_PRESENCE_REPLY, {"10.0.0.4", "carol", "x"}));
        QCOMPARE(rig.friends.size(), 1);
        QCOMPARE(rig.friends.at(0).Face, QByteArray());
        QCOMPARE(rig.transport.direct.size(), 4);
    }

    void hiddenAddsButNeverAnswers()
    {
        Rig rig;
        rig.presence.restoreStatus(Presence::Hidden);
        rig.presence.onOnline(build(CMD_ONLINE, {"10.0.0.2", "bob", ""}));
        rig.presence.onHidden(build(CMD_HIDDEN, {"10.0.0.3", "x"}));
        QCOMPARE(rig.friends.size(), 1);
        QVERIFY(rig.transport.direct.isEmpty());

        rig.presence.restoreStatus(Presence::Offline); // offline still answers
        rig.presence.onOnline(build(CMD_ONLINE, {"10.0.0.5", "eve", ""}));
        QCOMPARE(rig.transport.direct.size(), 1);
    }

    void fieldCuts()
    {
        FriendTable table;
        const QByteArray nick25("\xa4\xa4\xa4\xa4\xa4\xa4\xa4\xa4\xa4\xa4"
                                "abcdefghijklmno");
        QVERIFY(table.addIfNew(nick25, "10.0.0.2", {}));
        QCOMPARE(table.at(0).User, nick25.left(20));
        // An over-long address is cut, and still matches its own row, so addresses stay unique.
        const QByteArray longIp(25, '1');
        QVERIFY(table.addIfNew("a", longIp, {}));
        QVERIFY(!table.addIfNew("b", longIp, {}));
        QCOMPARE(table.at(1).IP.size(), 20);
        QVERIFY(table.removeIP(longIp));
        QCOMPARE(table.size(), 1);
        QCOMPARE(table.locateUser("nope"), -1);
        QCOMPARE(table.locateUser(nick25.left(20)), 0);
    }

    // Announcements of made-up addresses and pictures cannot grow the table without end.
    void friendTableBounds()
    {
        FriendTable table;
        for (int i = 0; i < FriendTable::MaxRows; ++i)
            QVERIFY(table.addIfNew("x", "10.1." + QByteArray::number(i / 256) + '.' + QByteArray::number(i % 256), {}));
        QVERIFY(!table.addIfNew("late", "10.2.0.1", {}));
        QCOMPARE(table.size(), FriendTable::MaxRows);
        table.clear();

        const QByteArray face(FriendTable::MaxFaceBytes, 'f');
        QVERIFY(table.addIfNew("a", "10.0.0.2", face));
        QVERIFY(table.addIfNew("b", "10.0.0.3", face + 'f'));
        QCOMPARE(table.at(0).Face, face);
        QCOMPARE(table.at(1).Face, QByteArray());
    }

    void storedStatus()
    {
        bool known = true;
        QCOMPARE(Presence::statusFromStored(6, &known), Presence::Away);
        QVERIFY(known);
        QCOMPARE(Presence::statusFromStored(3, &known), Presence::Online);
        QVERIFY(!known);
    }
};

QTEST_GUILESS_MAIN(TestPresence)
#include "tst_presence.moc"
