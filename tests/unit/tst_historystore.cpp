#include "base/Cp950.h"
#include "engine/HistoryKeeper.h"
#include "engine/HistoryStore.h"
#include "engine/NoticeText.h"
#include "tests/support/CodePage.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Kind = HistoryStore::Kind;

namespace {

HistoryStore::Entry chat(const QByteArray &peer, const QString &text, qint64 msecs = 0)
{
    HistoryStore::Entry entry;
    entry.time = QDateTime::fromMSecsSinceEpoch(msecs ? msecs : QDateTime::currentMSecsSinceEpoch());
    entry.peer = peer;
    entry.nickname = "nick-" + peer;
    entry.rtf = "{\\rtf1 " + text.toUtf8() + "\\par}";
    entry.text = text;
    return entry;
}

QStringList texts(const QList<HistoryStore::Entry> &entries)
{
    QStringList list;
    for (const auto &entry : entries)
        list << entry.text;
    return list;
}

void setUserVersion(const QString &path, int version)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = %1").arg(version)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void rowsComeBackInOrderWithTheirMarks()
    {
        const QString file = path("rows.sqlite");
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1'700'000'123'456);
        QList<qint64> ids;
        {
            HistoryStore store(file);
            QVERIFY2(store.openError().isEmpty(), qPrintable(store.openError()));
            QVERIFY(store.isPersistent());
            ids << store.appendRow(Message{big5(u"小明"), "10.0.0.2", when, "{\\rtf1 one}", false});
            ids << store.appendRow(Message{{}, "10.0.0.3", {}, {}, false});
            ids << store.appendRow(Message{"gone", "10.0.0.4", when, "{\\rtf1 two}", false});
            ids << store.appendRow(Message{"late", "10.0.0.5", when, "{\\rtf1 three}", false});
            QVERIFY(!ids.contains(0));
            QVERIFY(store.setRowRead(ids[0], true));
            QVERIFY(store.setRowRead(ids[3], true));
            QVERIFY(store.setRowRead(ids[3], false));
            QVERIFY(store.removeRow(ids[2]));
            QVERIFY(!store.removeRow(ids[2]));
            QVERIFY(!store.setRowRead(9999, true));
        }
        HistoryStore reopened(file);
        const auto rows = reopened.loadRows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].id, ids[0]);
        QCOMPARE(rows[0].message.Nickname, big5(u"小明"));
        QCOMPARE(rows[0].message.IP, QByteArray("10.0.0.2"));
        QCOMPARE(rows[0].message.Date, when);
        QCOMPARE(rows[0].message.Content, QByteArray("{\\rtf1 one}"));
        QVERIFY(rows[0].message.Read);
        QVERIFY(rows[1].message.Nickname.isEmpty() && !rows[1].message.Date.isValid() && !rows[1].message.Read);
        QCOMPARE(rows[2].message.Nickname, QByteArray("late"));
        QVERIFY(!rows[2].message.Read);
        QVERIFY(reopened.clearRows());
        QVERIFY(HistoryStore(file).loadRows().isEmpty());
        QVERIFY(!(QFile::permissions(file) & (QFile::ReadGroup | QFile::ReadOther)));
    }

    // A row is committed when appendRow returns: a process killed right after loses nothing.
    void rowsOutliveAKilledProcess()
    {
        const QString file = path("killed.sqlite");
        const pid_t child = ::fork();
        if (child == 0) {
            HistoryStore store(file);
            for (int i = 0; i < 50; ++i)
                store.appendRow(
                    Message{"peer", "10.0.0.9", QDateTime::currentDateTime(), QByteArray::number(i), i % 2 == 0});
            store.record(chat("10.0.0.9", QStringLiteral("the last words before the end")));
            ::raise(SIGKILL);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        HistoryStore store(file);
        const auto rows = store.loadRows();
        QCOMPARE(rows.size(), 50);
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(rows[i].message.Content, QByteArray::number(i));
            QCOMPARE(rows[i].message.Read, i % 2 == 0);
        }
        QCOMPARE(store.search(QStringLiteral("last words")).size(), 1);
    }

    // The message table over its keeper: each change is in the file before the table announces it, so the table
    // read back is the table as it was, the row that made room for a newer one included. The size cap dropping
    // history again and again is told once.
    void tableAndHistoryThroughTheKeeper()
    {
        const QString file = path("table.sqlite");
        QList<Message> before;
        {
            HistoryStore store(file);
            HistoryKeeper keeper(store);
            MessageTable table;
            table.setKeeper(&keeper);
            table.setLimits(3, 1 << 20);
            QList<int> keptAtPost;
            connect(&table, &MessageTable::afterPost, this, [&] { keptAtPost << int(store.loadRows().size()); });
            for (const char *body : {"one", "two", "three"})
                QVERIFY(table.append("nick", "10.0.0.2", body));
            QCOMPARE(keptAtPost, QList<int>({1, 2, 3}));
            QVERIFY(table.moveTo(1));
            table.setCurrentRead(true);
            QVERIFY(table.append(big5(u"小明"), "10.0.0.3", "four")); // makes room: "two" goes
            QVERIFY(table.moveTo(2));
            table.setCurrentRead(true);
            for (int i = 0; i < table.size(); ++i)
                before << table.at(i);
        }
        HistoryStore store(file);
        HistoryKeeper keeper(store);
        MessageTable table;
        QVERIFY(keeper.restoreRows(table));
        QCOMPARE(table.size(), 3);
        for (int i = 0; i < table.size(); ++i)
            QVERIFY(table.at(i).Content == before.at(i).Content && table.at(i).Nickname == before.at(i).Nickname &&
                    table.at(i).Date == before.at(i).Date && table.at(i).Read == before.at(i).Read);
        table.setKeeper(&keeper);
        table.clear();
        QVERIFY(store.loadRows().isEmpty());

        HistoryStore::Limits limits;
        limits.maxMemoryHistoryBytes = 4000;
        HistoryStore small(QStringLiteral(":memory:"), limits);
        HistoryKeeper smallKeeper(small);
        QSignalSpy told(&smallKeeper, &HistoryKeeper::noticeRequested);
        for (int i = 0; i < 40; ++i)
            smallKeeper.record(Kind::Bulletin, HistoryStore::Direction::Received, "10.0.0.7", "boss",
                               NoticeText::build(QStringLiteral("停電通知 %1").arg(i)));
        QCOMPARE(told.size(), 1);
        QCOMPARE(told.at(0).at(0).toByteArray(), NoticeText::build(u"歷史記錄已達容量上限，最舊的記錄已被刪除。"));
        QCOMPARE(texts(small.search(QStringLiteral("通知 39"))), QStringList{QStringLiteral("停電通知 39")});
    }

    void searchFindsChineseSubstringsAndLatinWords()
    {
        HistoryStore store(path("search.sqlite"));
        store.record(chat("10.0.0.2", QStringLiteral("這是一段測試用的繁體中文訊息")));
        store.record(chat("10.0.0.3", QStringLiteral("Meeting moved to Room 42, bring the Parlune notes")));
        store.record(chat("10.0.0.3", QStringLiteral("growth of 50% in 2_000 \"quoted\" words")));
        auto bulletin = chat("10.0.0.4", QStringLiteral("緊急：測試用的停電通知"));
        bulletin.kind = Kind::Bulletin;
        store.record(bulletin);

        QCOMPARE(texts(store.search(QStringLiteral("段測試用的繁"))),
                 QStringList(QStringLiteral("這是一段測試用的繁體中文訊息")));
        QCOMPARE(store.search(QStringLiteral("parlune")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("ROOM 4")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("測試用")).size(), 2);
        QCOMPARE(store.search(QStringLiteral("測試用"), Kind::Bulletin).size(), 1);
        QCOMPARE(store.search(QStringLiteral("測試用"), HistoryStore::AllKinds, 1).size(), 1);
        QCOMPARE(store.search(QStringLiteral("繁體")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("停")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("訊息")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("PA")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("\"quoted\"")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("%")).size(), 1);
        QCOMPARE(store.search(QStringLiteral("2_")).size(), 1);
        QVERIFY(store.search(QStringLiteral("a_")).isEmpty());
        QVERIFY(store.search(QStringLiteral("不存在的字")).isEmpty());
        QVERIFY(store.search(QStringLiteral("xyzzy")).isEmpty());
        QVERIFY(store.search(QStringLiteral("")).isEmpty());

        // A short word that begins very many different trigrams is looked for row by row, newest first.
        for (int i = 0; i < 450; ++i)
            store.record(chat("10.0.0.5", QStringLiteral("Q") + QChar(0x4E00 + i)));
        const auto common = store.search(QStringLiteral("q"), HistoryStore::AllKinds, 20);
        QCOMPARE(common.size(), 20);
        QCOMPARE(common[0].text, QStringLiteral("Q") + QChar(0x4E00 + 449));

        const auto hit = store.search(QStringLiteral("Room 42"));
        QVERIFY(hit[0].rtf.isEmpty());
        QCOMPARE(store.entry(hit[0].id)->rtf, chat("", hit[0].text).rtf);
    }

    void conversationsPagesAndDeletion()
    {
        HistoryStore store(path("conversations.sqlite"));
        const qint64 t0 = 1'700'000'000'000;
        for (int i = 0; i < 5; ++i)
            store.record(chat("10.0.0.2", QStringLiteral("alpha message %1").arg(i), t0 + i * 500));
        auto renamed = chat("10.0.0.3", QStringLiteral("beta message"), t0 + 10'000);
        renamed.nickname = "beta-new";
        store.record(chat("10.0.0.3", QStringLiteral("beta first"), t0 + 500));
        store.record(renamed);
        // The latest entry, sent to an address typed by hand, leaves the peer's name as it was.
        auto sent = chat("10.0.0.2", QStringLiteral("my answer"), t0 + 2500);
        sent.direction = HistoryStore::Direction::Sent;
        sent.nickname.clear();
        store.record(sent);
        auto broadcast = chat("10.0.0.3", QStringLiteral("to everybody"), t0 + 20'000);
        broadcast.kind = Kind::Broadcast;
        store.record(broadcast);

        const auto peers = store.conversations(Kind::Chat);
        QCOMPARE(peers.size(), 2);
        QCOMPARE(peers[0].peer, QByteArray("10.0.0.3"));
        QCOMPARE(peers[0].nickname, QByteArray("beta-new"));
        QCOMPARE(peers[0].messages, 2);
        QCOMPARE(peers[1].messages, 6);
        QCOMPARE(peers[1].nickname, QByteArray("nick-10.0.0.2"));
        QCOMPARE(store.conversations(Kind::Broadcast).size(), 1);

        QCOMPARE(store.count(Kind::Chat, "10.0.0.2"), 6);
        QCOMPARE(texts(store.messages(Kind::Chat, "10.0.0.2", 2, 3)),
                 QStringList({QStringLiteral("alpha message 2"), QStringLiteral("alpha message 3"),
                              QStringLiteral("alpha message 4")}));
        QCOMPARE(store.messages(Kind::Chat, "10.0.0.2", 2, 1)[0].rtf, chat("", QStringLiteral("alpha message 2")).rtf);
        QCOMPARE(store.messages(Kind::Chat, "10.0.0.2", 5, 1)[0].direction, HistoryStore::Direction::Sent);
        QCOMPARE(store.messages(Kind::Broadcast, {}, 0, 10).size(), 1);

        // Where an entry stands in its conversation: the index messages() gives it; -1 outside it.
        const auto alpha = store.messages(Kind::Chat, "10.0.0.2", 0, 10);
        for (qsizetype i = 0; i < alpha.size(); ++i)
            QCOMPARE(store.position(Kind::Chat, "10.0.0.2", alpha[i].id), i);
        const qint64 broadcastId = store.messages(Kind::Broadcast, {}, 0, 1)[0].id;
        QCOMPARE(store.position(Kind::Broadcast, {}, broadcastId), 0);
        QCOMPARE(store.position(Kind::Chat, "10.0.0.2", broadcastId), -1);
        QCOMPARE(store.position(Kind::Chat, "10.0.0.3", alpha[0].id), -1);

        QCOMPARE(store.deleteConversation(Kind::Chat, "10.0.0.3"), 2);
        QVERIFY(store.search(QStringLiteral("beta")).isEmpty());
        QCOMPARE(store.search(QStringLiteral("everybody")).size(), 1);
        QCOMPARE(store.count(HistoryStore::AllKinds), 7);
    }

    void sizeCapDropsOldestFirstAndPurgeByAge()
    {
        HistoryStore::Limits limits;
        limits.maxHistoryBytes = 10'000;
        limits.maxIndexedChars = 100;
        HistoryStore store(path("capped.sqlite"), limits);
        const QString filler(100, u'x');
        int dropped = 0;
        qint64 lastId = 0;
        for (int i = 0; i < 40; ++i) {
            const auto recorded = store.record(chat("10.0.0.2", QStringLiteral("%1 %2").arg(i, 3).arg(filler)));
            QVERIFY(recorded.id > lastId);
            lastId = recorded.id;
            dropped += recorded.dropped;
        }
        QVERIFY(dropped > 0);
        QVERIFY(store.historyBytes() <= limits.maxHistoryBytes);
        QCOMPARE(store.count(Kind::Chat), 40 - dropped);
        QCOMPARE(store.messages(Kind::Chat, {}, 0, 1)[0].text.left(3), QString::number(dropped).rightJustified(3));
        QVERIFY(store.search(QStringLiteral("  0 x")).isEmpty());

        // Text past the indexed length is neither kept nor found; a body larger than the cap is refused.
        const auto longOne = store.record(chat("10.0.0.2", QString(99, u'a') + QStringLiteral("bcdef")));
        QCOMPARE(store.entry(longOne.id)->text.size(), 100);
        QVERIFY(store.search(QStringLiteral("abc")).isEmpty());
        auto huge = chat("10.0.0.2", QStringLiteral("huge"));
        huge.rtf = QByteArray(20'000, 'h');
        const qint64 before = store.count(Kind::Chat);
        QCOMPARE(store.record(huge).id, 0);
        QVERIFY(!store.errorString().isEmpty());
        QCOMPARE(store.count(Kind::Chat), before);

        const QDateTime now = QDateTime::currentDateTime();
        store.record(chat("10.0.0.7", QStringLiteral("from last year"), now.addDays(-365).toMSecsSinceEpoch()));
        store.record(chat("10.0.0.7", QStringLiteral("from last week"), now.addDays(-7).toMSecsSinceEpoch()));
        QCOMPARE(store.purgeOlderThan(0, now), 0);
        QCOMPARE(store.purgeOlderThan(30, now), 1);
        QCOMPARE(texts(store.messages(Kind::Chat, "10.0.0.7", 0, 10)), QStringList(QStringLiteral("from last week")));
    }

    void unreadableFileIsSetAsideAndANewOneStarted()
    {
        const QString file = path("junk.sqlite");
        QByteArray junk(8192, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char(i * 7 + 3);
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(junk) == junk.size());
        }
        HistoryStore store(file);
        QVERIFY(!store.openError().isEmpty());
        QVERIFY(store.isPersistent());
        QVERIFY(store.appendRow(Message{"a", "10.0.0.2", QDateTime::currentDateTime(), "x", false}) > 0);
        QCOMPARE(store.loadRows().size(), 1);
        const QStringList aside = QDir(m_dir.path()).entryList({QStringLiteral("junk.sqlite.unreadable-*")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(m_dir.filePath(aside[0])), junk);
    }

    void databaseThatCannotBeOpenedLeavesAStoreInMemory_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("newer");
        QTest::newRow("folder is a file") << QStringLiteral("blocker/history.sqlite") << false;
        QTest::newRow("newer schema") << QStringLiteral("newer.sqlite") << true;
    }
    void databaseThatCannotBeOpenedLeavesAStoreInMemory()
    {
        QFETCH(QString, file);
        QFETCH(bool, newer);
        QFile(m_dir.filePath(QStringLiteral("blocker"))).open(QIODevice::WriteOnly);
        const QString full = m_dir.filePath(file);
        if (newer) {
            HistoryStore(full).appendRow(Message{"keep", "10.0.0.2", {}, "me", false});
            setUserVersion(full, 99);
        }
        const QByteArray before = readFile(full);
        HistoryStore::Limits limits;
        limits.maxMemoryHistoryBytes = 2000;
        HistoryStore store(full, limits);
        QVERIFY(!store.openError().isEmpty());
        QVERIFY(!store.isPersistent());
        QVERIFY(store.appendRow(Message{"a", "10.0.0.2", QDateTime::currentDateTime(), "x", false}) > 0);
        QCOMPARE(store.loadRows().size(), 1);
        QVERIFY(store.record(chat("10.0.0.2", QStringLiteral("kept in memory"))).id > 0);
        QCOMPARE(store.search(QStringLiteral("in memory")).size(), 1);
        auto big = chat("10.0.0.2", QStringLiteral("too big for memory"));
        big.rtf = QByteArray(3000, 'b');
        QCOMPARE(store.record(big).id, 0);
        QCOMPARE(readFile(full), before);
    }
};

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
