#pragma once

#include "engine/MessageTable.h"

#include <QByteArray>
#include <QDateTime>
#include <QFlags>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// What Parlune keeps beyond one run, in one SQLite database in the user's data folder:
// - the rows of the message table, each committed before the caller acts on the arrival, so that unread
//   messages outlive an end, a crash or a power-off;
// - the history of everything said: chat messages both ways, broadcasts, bulletins and notices, with the
//   plain text of each indexed for search (trigrams, so that any substring of Chinese text is found).
// Nothing here may stop Parlune: a database that cannot be opened is reported through errorString() and the
// store goes on in memory; a file that is not a readable database is set aside and a new one started.
// Everything a peer can make it keep is bounded by Limits; history beyond them is dropped oldest first.
class HistoryStore final
{
public:
    enum class Kind { Chat = 1, Broadcast = 2, Bulletin = 4, Notice = 8 };
    Q_DECLARE_FLAGS(Kinds, Kind)
    static constexpr Kinds AllKinds{Kind::Chat, Kind::Broadcast, Kind::Bulletin, Kind::Notice};
    enum class Direction { Received = 0, Sent = 1 };

    struct Limits
    {
        // Bytes of history (RTF, plus the indexed text weighted by what its index costs) kept on disk and,
        // when the database could not be opened, in memory.
        qint64 maxHistoryBytes = qint64(512) << 20;
        qint64 maxMemoryHistoryBytes = qint64(32) << 20;
        // Plain text beyond this many characters is neither kept for search nor indexed.
        qsizetype maxIndexedChars = 64 * 1024;
    };

    struct Entry
    {
        qint64 id = 0;
        QDateTime time;
        QByteArray peer;     // the other host's address
        QByteArray nickname; // the peer's, as it named itself or as the recipient was named; may be empty
        Kind kind = Kind::Chat;
        Direction direction = Direction::Received;
        QByteArray rtf; // the body as it came or went
        QString text;   // its plain text, as far as it is searchable
    };

    struct StoredRow
    {
        qint64 id = 0;
        Message message;
    };

    struct Conversation
    {
        QByteArray peer;
        QByteArray nickname; // the latest one known
        qint64 messages = 0;
        QDateTime last;
    };

    struct Recorded
    {
        qint64 id = 0;   // 0 when the entry was not kept
        int dropped = 0; // older entries removed to stay within the size cap
    };

    // <data folder>/history.sqlite; the data folder honours XDG_DATA_HOME.
    static QString defaultPath();

    explicit HistoryStore(const QString &path = defaultPath());
    HistoryStore(const QString &path, const Limits &limits);
    ~HistoryStore();
    Q_DISABLE_COPY_MOVE(HistoryStore)

    // False while working in memory: nothing is kept beyond this run.
    bool isPersistent() const;
    // What went wrong while opening (the store then works in memory or on a new file), empty when nothing.
    QString openError() const;
    // The failure of the last operation in words, empty when it succeeded.
    QString errorString() const;

    // The rows of the message table, in insertion order. appendRow returns the row's id, 0 when it could
    // not be stored.
    qint64 appendRow(const Message &row);
    bool setRowRead(qint64 id, bool read);
    bool removeRow(qint64 id);
    bool clearRows();
    QList<StoredRow> loadRows();

    // Keeps the entry (stamped now when it has no time) and drops the oldest ones beyond the size cap.
    Recorded record(const Entry &entry);
    // Peers of the given kinds, the latest conversation first.
    QList<Conversation> conversations(Kinds kinds);
    // Here and below, an empty peer means every peer.
    qint64 count(Kinds kinds, const QByteArray &peer = {});
    // Entries in time order, from offset on, at most limit of them.
    QList<Entry> messages(Kinds kinds, const QByteArray &peer, qint64 offset, int limit);
    // Entries whose text contains the given text (any case for Latin letters), newest first. They come
    // without their RTF, which entry() fetches.
    QList<Entry> search(const QString &text, Kinds kinds = AllKinds, int limit = 200);
    std::optional<Entry> entry(qint64 id);
    // Both return how many entries went; purging with days <= 0 (keep forever) removes nothing.
    int deleteConversation(Kinds kinds, const QByteArray &peer);
    int purgeOlderThan(int days, const QDateTime &now = QDateTime::currentDateTime());
    // What the size cap counts, for all history kept.
    qint64 historyBytes();
    // How many entries of the conversation come before the entry with this id in the time order of
    // messages(), so that a page around it can be read; -1 when the entry is not one of them.
    qint64 position(Kinds kinds, const QByteArray &peer, qint64 id);

private:
    struct Database;
    std::unique_ptr<Database> d;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(HistoryStore::Kinds)
