#include "engine/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int SchemaVersion = 1;

// The size cap bounds the file, not just the bodies: the plain text is kept once and its trigram index takes
// about twice its bytes again, and each entry costs about this much in indexes and row headers.
constexpr qint64 IndexWeight = 3;
constexpr qint64 EntryOverhead = 160;

// Another process holding the file (a copy being backed up, say) must not freeze the one thread for long.
const QString ConnectOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=250");

// auto_vacuum only takes effect before the first table; incremental, so that deleting history gives the disk
// back when the user asks for it and not on every trimmed message.
const char *const SchemaStatements[] = {
    "PRAGMA auto_vacuum = INCREMENTAL",
    "CREATE TABLE IF NOT EXISTS message_rows (id INTEGER PRIMARY KEY, nickname BLOB NOT NULL, ip BLOB NOT NULL, "
    "date INTEGER, content BLOB NOT NULL, read INTEGER NOT NULL)",
    // text comes before rtf so that a scan of the text does not read the bodies' overflow pages.
    "CREATE TABLE IF NOT EXISTS history (id INTEGER PRIMARY KEY, time INTEGER NOT NULL, peer BLOB NOT NULL, "
    "nickname BLOB NOT NULL, kind INTEGER NOT NULL, direction INTEGER NOT NULL, bytes INTEGER NOT NULL, "
    "text TEXT NOT NULL, rtf BLOB NOT NULL)",
    "CREATE INDEX IF NOT EXISTS history_by_peer ON history (peer, time)",
    "CREATE INDEX IF NOT EXISTS history_by_kind ON history (kind, time)",
    "CREATE INDEX IF NOT EXISTS history_by_time ON history (time)",
    // Each text is indexed followed by two end marks, so that every character of it begins a trigram: a word
    // of one or two characters (most Chinese words) is then found through the trigrams that begin with it.
    "CREATE VIRTUAL TABLE IF NOT EXISTS history_text USING fts5 (text, content = 'history', content_rowid = 'id', "
    "tokenize = 'trigram')",
    "CREATE VIRTUAL TABLE IF NOT EXISTS history_terms USING fts5vocab (history_text, 'row')",
    // Kept by triggers so that the size cap costs one row read per message, also after a crash.
    "CREATE TABLE IF NOT EXISTS history_stats (bytes INTEGER NOT NULL)",
    "INSERT INTO history_stats SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM history_stats)",
    // The list of conversations, kept by triggers as well: grouping a million entries takes seconds.
    "CREATE TABLE IF NOT EXISTS history_peers (peer BLOB NOT NULL, kind INTEGER NOT NULL, "
    "messages INTEGER NOT NULL, last INTEGER NOT NULL, nickname BLOB NOT NULL, PRIMARY KEY (peer, kind)) "
    "WITHOUT ROWID",
    "CREATE TRIGGER IF NOT EXISTS history_inserted AFTER INSERT ON history BEGIN "
    "INSERT INTO history_text (rowid, text) VALUES (new.id, new.text || char(1, 1)); "
    "UPDATE history_stats SET bytes = bytes + new.bytes; "
    "INSERT INTO history_peers VALUES (new.peer, new.kind, 1, new.time, new.nickname) "
    "ON CONFLICT (peer, kind) DO UPDATE SET messages = messages + 1, last = max(last, excluded.last), "
    "nickname = CASE WHEN excluded.last >= last AND length(excluded.nickname) > 0 THEN excluded.nickname "
    "ELSE nickname END; END",
    // Deleting the latest entry of a peer (only its clock going back makes trimming do that) looks up the one
    // before it.
    "CREATE TRIGGER IF NOT EXISTS history_deleted AFTER DELETE ON history BEGIN "
    "INSERT INTO history_text (history_text, rowid, text) VALUES ('delete', old.id, old.text || char(1, 1)); "
    "UPDATE history_stats SET bytes = bytes - old.bytes; "
    "DELETE FROM history_peers WHERE peer = old.peer AND kind = old.kind AND messages <= 1; "
    "UPDATE history_peers SET messages = messages - 1 WHERE peer = old.peer AND kind = old.kind; "
    "UPDATE history_peers SET (last, nickname) = (SELECT time, nickname FROM history "
    "WHERE peer = old.peer AND kind = old.kind ORDER BY time DESC LIMIT 1) "
    "WHERE peer = old.peer AND kind = old.kind AND last <= old.time; END",
    "PRAGMA user_version = 1",
};

// A short word with more trigrams than this is common: looking for it row by row finds enough at once.
constexpr int MaxShortWordTerms = 400;

const QString EntryColumns = QStringLiteral("id, time, peer, nickname, kind, direction, text");

// Qt binds a null QByteArray or QString as SQL NULL; the columns want empty values.
QVariant blob(const QByteArray &bytes)
{
    return bytes.isNull() ? QVariant(QByteArray("")) : QVariant(bytes);
}
QVariant text(const QString &string)
{
    return string.isNull() ? QVariant(QStringLiteral("")) : QVariant(string);
}

QVariant msecs(const QDateTime &time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant();
}
QDateTime dateTime(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong());
}

QString kindList(HistoryStore::Kinds kinds)
{
    QStringList values;
    for (HistoryStore::Kind kind : {HistoryStore::Kind::Chat, HistoryStore::Kind::Broadcast,
                                    HistoryStore::Kind::Bulletin, HistoryStore::Kind::Notice})
        if (kinds.testFlag(kind))
            values << QString::number(int(kind));
    return values.isEmpty() ? QStringLiteral("0") : values.join(u',');
}

QString searchableText(const QString &text, qsizetype maxChars)
{
    if (text.size() <= maxChars)
        return text;
    qsizetype end = maxChars;
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end);
}

// Creates the missing folders for the owner only and the file readable by its owner only: history holds
// what people wrote to each other. SQLite gives its -wal and -shm files the mode of the database.
bool makePrivateFolder(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).absolutePath();
    if (parent != absolute && !makePrivateFolder(parent))
        return false;
    const QByteArray native = QFile::encodeName(absolute);
    return ::mkdir(native.constData(), 0700) == 0 || (errno == EEXIST && QFileInfo(absolute).isDir());
}

void makePrivateFile(const QString &path)
{
    if (!makePrivateFolder(QFileInfo(path).absolutePath()))
        return;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

// SQLite's answers for a file that is not a database or is damaged; the driver gives the primary code.
bool isUnreadable(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == 11 /* SQLITE_CORRUPT */ || code == 26 /* SQLITE_NOTADB */;
}

} // namespace

struct HistoryStore::Database
{
    enum class Opened { Ready, Unreadable, Newer, Failed };

    QString connection;
    Limits limits;
    bool persistent = false;
    bool ready = false;
    QString openError;
    QString lastError;
    std::optional<QSqlQuery> insertRow;
    std::optional<QSqlQuery> insertEntry;
    std::optional<QSqlQuery> readStats;

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    Opened open(const QString &path);
    Opened createSchema();
    bool prepareStatements();
    void close();
    QString setAside(const QString &path);

    bool fail(const QSqlError &error);
    bool run(QSqlQuery &query);
    bool run(const QString &sql);
    qint64 queryNumber(const QString &sql);
    int trimOldest(qint64 excess, qint64 keepFrom);
    std::optional<QString> matchExpression(const QString &needle);
    qint64 cap() const { return persistent ? limits.maxHistoryBytes : limits.maxMemoryHistoryBytes; }
};

HistoryStore::Database::Opened HistoryStore::Database::open(const QString &path)
{
    const bool inMemory = path == QStringLiteral(":memory:");
    if (!inMemory)
        makePrivateFile(path);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    database.setDatabaseName(path);
    database.setConnectOptions(ConnectOptions);
    if (!database.open()) {
        lastError = database.lastError().text();
        return Opened::Failed;
    }
    persistent = !inMemory;
    if (persistent) {
        QSqlQuery journal(database);
        if (!journal.exec(QStringLiteral("PRAGMA journal_mode = WAL"))) {
            fail(journal.lastError());
            return isUnreadable(journal.lastError()) ? Opened::Unreadable : Opened::Failed;
        }
        // Under a write-ahead log a commit survives a crash of the process without waiting for the disk.
        if (!run(QStringLiteral("PRAGMA synchronous = NORMAL")))
            return Opened::Failed;
    }
    const Opened schema = createSchema();
    if (schema != Opened::Ready)
        return schema;
    return prepareStatements() ? Opened::Ready : Opened::Failed;
}

HistoryStore::Database::Opened HistoryStore::Database::createSchema()
{
    QSqlQuery version(db());
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        fail(version.lastError());
        return isUnreadable(version.lastError()) ? Opened::Unreadable : Opened::Failed;
    }
    const int found = version.value(0).toInt();
    version.finish();
    if (found > SchemaVersion) {
        lastError = QStringLiteral("the history database was written by a newer Parlune (schema %1)").arg(found);
        return Opened::Newer;
    }
    if (found == SchemaVersion)
        return Opened::Ready;
    db().transaction();
    for (const char *statement : SchemaStatements) {
        QSqlQuery query(db());
        if (!query.exec(QString::fromLatin1(statement))) {
            fail(query.lastError());
            db().rollback();
            return isUnreadable(query.lastError()) ? Opened::Unreadable : Opened::Failed;
        }
    }
    if (db().commit())
        return Opened::Ready;
    fail(db().lastError());
    return Opened::Failed;
}

bool HistoryStore::Database::prepareStatements()
{
    insertRow.emplace(db());
    insertEntry.emplace(db());
    readStats.emplace(db());
    return (insertRow->prepare(QStringLiteral("INSERT INTO message_rows (nickname, ip, date, content, read) "
                                              "VALUES (?, ?, ?, ?, ?)")) ||
            fail(insertRow->lastError())) &&
           (insertEntry->prepare(QStringLiteral("INSERT INTO history (time, peer, nickname, kind, direction, bytes, "
                                                "text, rtf) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")) ||
            fail(insertEntry->lastError())) &&
           (readStats->prepare(QStringLiteral("SELECT bytes FROM history_stats")) || fail(readStats->lastError()));
}

void HistoryStore::Database::close()
{
    insertRow.reset();
    insertEntry.reset();
    readStats.reset();
    {
        QSqlDatabase database = db();
        if (database.isValid())
            database.close();
    }
    QSqlDatabase::removeDatabase(connection);
    ready = false;
    persistent = false;
}

// The damaged file and its log are kept under a new name, for the user or a recovery tool; empty when they
// could not be moved.
QString HistoryStore::Database::setAside(const QString &path)
{
    const QString aside = path + QStringLiteral(".unreadable-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    if (!QFile::rename(path, aside))
        return {};
    const QString log = path + QStringLiteral("-wal");
    if (QFile::exists(log))
        QFile::rename(log, aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    return aside;
}

bool HistoryStore::Database::fail(const QSqlError &error)
{
    lastError = error.text();
    return false;
}

bool HistoryStore::Database::run(QSqlQuery &query)
{
    if (!query.exec())
        return fail(query.lastError());
    lastError.clear();
    return true;
}

bool HistoryStore::Database::run(const QString &sql)
{
    QSqlQuery query(db());
    if (!query.exec(sql))
        return fail(query.lastError());
    lastError.clear();
    return true;
}

// One number from a query; -1 when it failed.
qint64 HistoryStore::Database::queryNumber(const QString &sql)
{
    QSqlQuery query(db());
    if (!query.exec(sql) || !query.next()) {
        fail(query.lastError());
        return -1;
    }
    lastError.clear();
    return query.value(0).toLongLong();
}

// Drops the oldest entries stored before keepFrom until at least excess bytes are freed; returns how many.
int HistoryStore::Database::trimOldest(qint64 excess, qint64 keepFrom)
{
    QSqlQuery oldest(db());
    oldest.setForwardOnly(true);
    oldest.prepare(QStringLiteral("SELECT id, bytes FROM history WHERE id < ? ORDER BY id"));
    oldest.addBindValue(keepFrom);
    if (!run(oldest))
        return -1;
    qint64 freed = 0;
    qint64 boundary = 0;
    while (freed < excess && oldest.next()) {
        boundary = oldest.value(0).toLongLong();
        freed += oldest.value(1).toLongLong();
    }
    oldest.finish();
    if (boundary == 0)
        return 0;
    QSqlQuery drop(db());
    drop.prepare(QStringLiteral("DELETE FROM history WHERE id <= ?"));
    drop.addBindValue(boundary);
    return run(drop) ? drop.numRowsAffected() : -1;
}

namespace {

QString quotedPhrase(QString text)
{
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

// The full-text query that finds the needle, empty when nothing can match; none when the rows must be read one by one
// instead. Three characters or more are a phrase of trigrams. Shorter ones are every trigram beginning with them, taken
// from the index's vocabulary (folded to lower case as the index folds it); reading those costs in proportion to how
// often the needle occurs, and a needle with very many is common enough to be found at once row by row.
std::optional<QString> HistoryStore::Database::matchExpression(const QString &needle)
{
    if (needle.toUcs4().size() >= 3)
        return quotedPhrase(needle);
    const QString prefix = needle.toLower();
    QSqlQuery terms(db());
    terms.setForwardOnly(true);
    terms.prepare(QStringLiteral("SELECT term FROM history_terms WHERE term >= ? AND term < ? LIMIT ?"));
    terms.addBindValue(prefix);
    terms.addBindValue(prefix + QChar(0xDBFF) + QChar(0xDFFF)); // U+10FFFF, past every term
    terms.addBindValue(MaxShortWordTerms + 1);
    if (!run(terms))
        return std::nullopt;
    QStringList phrases;
    while (terms.next())
        phrases << quotedPhrase(terms.value(0).toString());
    if (phrases.size() > MaxShortWordTerms)
        return std::nullopt;
    return phrases.join(QStringLiteral(" OR ")); // empty when no trigram begins with it
}

QString HistoryStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history.sqlite");
}

HistoryStore::HistoryStore(const QString &path) : HistoryStore(path, Limits{}) {}

HistoryStore::HistoryStore(const QString &path, const Limits &limits) : d(std::make_unique<Database>())
{
    d->connection = QStringLiteral("parlune-history-%1").arg(quintptr(this), 0, 16);
    d->limits = limits;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        d->openError = QStringLiteral("Qt's SQLite driver is not installed; nothing is kept beyond this run");
        return;
    }
    using Opened = Database::Opened;
    Opened opened = path.isEmpty() ? Opened::Failed : d->open(path);
    if (opened == Opened::Unreadable) {
        const QString reason = d->lastError;
        d->close();
        const QString aside = d->setAside(path);
        if (!aside.isEmpty()) {
            d->openError = QStringLiteral("%1 could not be read (%2); it was set aside as %3 and a new one started")
                               .arg(path, reason, aside);
            opened = d->open(path);
        }
    }
    if (opened != Opened::Ready) {
        if (d->openError.isEmpty())
            d->openError =
                QStringLiteral("%1 could not be opened (%2); nothing is kept beyond this run").arg(path, d->lastError);
        d->close();
        opened = d->open(QStringLiteral(":memory:"));
    }
    d->ready = opened == Opened::Ready;
    d->lastError.clear();
}

HistoryStore::~HistoryStore()
{
    d->close();
}

bool HistoryStore::isPersistent() const
{
    return d->ready && d->persistent;
}

QString HistoryStore::openError() const
{
    return d->openError;
}

QString HistoryStore::errorString() const
{
    return d->lastError;
}

qint64 HistoryStore::appendRow(const Message &row)
{
    if (!d->ready)
        return 0;
    QSqlQuery &insert = *d->insertRow;
    insert.bindValue(0, blob(row.Nickname));
    insert.bindValue(1, blob(row.IP));
    insert.bindValue(2, msecs(row.Date));
    insert.bindValue(3, blob(row.Content));
    insert.bindValue(4, int(row.Read));
    const bool stored = d->run(insert);
    const qint64 id = stored ? insert.lastInsertId().toLongLong() : 0;
    insert.finish();
    return id;
}

bool HistoryStore::setRowRead(qint64 id, bool read)
{
    if (!d->ready)
        return false;
    QSqlQuery update(d->db());
    update.prepare(QStringLiteral("UPDATE message_rows SET read = ? WHERE id = ?"));
    update.addBindValue(int(read));
    update.addBindValue(id);
    return d->run(update) && update.numRowsAffected() == 1;
}

bool HistoryStore::removeRow(qint64 id)
{
    if (!d->ready)
        return false;
    QSqlQuery remove(d->db());
    remove.prepare(QStringLiteral("DELETE FROM message_rows WHERE id = ?"));
    remove.addBindValue(id);
    return d->run(remove) && remove.numRowsAffected() == 1;
}

bool HistoryStore::clearRows()
{
    return d->ready && d->run(QStringLiteral("DELETE FROM message_rows"));
}

QList<HistoryStore::StoredRow> HistoryStore::loadRows()
{
    QList<StoredRow> rows;
    if (!d->ready)
        return rows;
    QSqlQuery select(d->db());
    select.setForwardOnly(true);
    select.prepare(QStringLiteral("SELECT id, nickname, ip, date, content, read FROM message_rows ORDER BY id"));
    if (!d->run(select))
        return rows;
    while (select.next()) {
        Message message{select.value(1).toByteArray(), select.value(2).toByteArray(), dateTime(select.value(3)),
                        select.value(4).toByteArray(), select.value(5).toBool()};
        rows.append(StoredRow{select.value(0).toLongLong(), std::move(message)});
    }
    return rows;
}

HistoryStore::Recorded HistoryStore::record(const Entry &entry)
{
    if (!d->ready)
        return {};
    const QString searchable = searchableText(entry.text, d->limits.maxIndexedChars);
    const qint64 bytes = entry.rtf.size() + IndexWeight * searchable.toUtf8().size() + EntryOverhead;
    if (bytes > d->cap()) {
        d->lastError = QStringLiteral("a message of %1 bytes is larger than the history may hold").arg(bytes);
        return {};
    }
    QSqlDatabase db = d->db();
    if (!db.transaction()) {
        d->fail(db.lastError());
        return {};
    }
    QSqlQuery &insert = *d->insertEntry;
    insert.bindValue(0, entry.time.isValid() ? entry.time.toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch());
    insert.bindValue(1, blob(entry.peer));
    insert.bindValue(2, blob(entry.nickname));
    insert.bindValue(3, int(entry.kind));
    insert.bindValue(4, int(entry.direction));
    insert.bindValue(5, bytes);
    insert.bindValue(6, text(searchable));
    insert.bindValue(7, blob(entry.rtf));
    Recorded recorded;
    if (d->run(insert))
        recorded.id = insert.lastInsertId().toLongLong();
    insert.finish();
    QSqlQuery &stats = *d->readStats;
    const qint64 total = recorded.id && d->run(stats) && stats.next() ? stats.value(0).toLongLong() : -1;
    stats.finish();
    if (total > d->cap())
        recorded.dropped = d->trimOldest(total - d->cap(), recorded.id);
    if (total < 0 || recorded.dropped < 0 || !db.commit()) {
        const QString error = d->lastError.isEmpty() ? db.lastError().text() : d->lastError;
        db.rollback();
        d->lastError = error;
        return {};
    }
    return recorded;
}

QList<HistoryStore::Conversation> HistoryStore::conversations(Kinds kinds)
{
    QList<Conversation> list;
    if (!d->ready)
        return list;
    QSqlQuery select(d->db());
    select.setForwardOnly(true);
    // SQLite takes the bare nickname from the row that holds max(last): the latest name of the peer.
    select.prepare(QStringLiteral("SELECT peer, nickname, max(last), sum(messages) FROM history_peers "
                                  "WHERE kind IN (%1) GROUP BY peer ORDER BY max(last) DESC")
                       .arg(kindList(kinds)));
    if (!d->run(select))
        return list;
    while (select.next())
        list.append(Conversation{select.value(0).toByteArray(), select.value(1).toByteArray(),
                                 select.value(3).toLongLong(), dateTime(select.value(2))});
    return list;
}

qint64 HistoryStore::count(Kinds kinds, const QByteArray &peer)
{
    if (!d->ready)
        return 0;
    QSqlQuery select(d->db());
    select.prepare(QStringLiteral("SELECT coalesce(sum(messages), 0) FROM history_peers WHERE kind IN (%1)%2")
                       .arg(kindList(kinds), peer.isEmpty() ? QString() : QStringLiteral(" AND peer = ?")));
    if (!peer.isEmpty())
        select.addBindValue(peer);
    if (!d->run(select) || !select.next())
        return 0;
    return select.value(0).toLongLong();
}

namespace {

HistoryStore::Entry entryFrom(const QSqlQuery &row, bool withRtf)
{
    HistoryStore::Entry entry;
    entry.id = row.value(0).toLongLong();
    entry.time = dateTime(row.value(1));
    entry.peer = row.value(2).toByteArray();
    entry.nickname = row.value(3).toByteArray();
    entry.kind = HistoryStore::Kind(row.value(4).toInt());
    entry.direction = HistoryStore::Direction(row.value(5).toInt());
    entry.text = row.value(6).toString();
    if (withRtf)
        entry.rtf = row.value(7).toByteArray();
    return entry;
}

} // namespace

QList<HistoryStore::Entry> HistoryStore::messages(Kinds kinds, const QByteArray &peer, qint64 offset, int limit)
{
    QList<Entry> list;
    if (!d->ready)
        return list;
    QSqlQuery select(d->db());
    select.setForwardOnly(true);
    select.prepare(QStringLiteral("SELECT %1, rtf FROM history WHERE %2 ORDER BY time, id LIMIT ? OFFSET ?")
                       .arg(EntryColumns, peer.isEmpty()
                                              ? QStringLiteral("kind IN (%1)").arg(kindList(kinds))
                                              : QStringLiteral("peer = ? AND +kind IN (%1)").arg(kindList(kinds))));
    if (!peer.isEmpty())
        select.addBindValue(peer);
    select.addBindValue(qMax(limit, 0));
    select.addBindValue(qMax(offset, qint64(0)));
    if (!d->run(select))
        return list;
    while (select.next())
        list.append(entryFrom(select, true));
    return list;
}

QList<HistoryStore::Entry> HistoryStore::search(const QString &needle, Kinds kinds, int limit)
{
    QList<Entry> list;
    if (needle.isEmpty() || limit <= 0 || !d->ready)
        return list;
    QSqlQuery select(d->db());
    select.setForwardOnly(true);
    const std::optional<QString> expression = d->matchExpression(needle);
    if (expression && expression->isEmpty())
        return list;
    if (expression) {
        select.prepare(QStringLiteral("SELECT h.id, h.time, h.peer, h.nickname, h.kind, h.direction, h.text "
                                      "FROM history_text JOIN history AS h ON h.id = history_text.rowid "
                                      "WHERE history_text MATCH ? AND +h.kind IN (%1) "
                                      "ORDER BY history_text.rowid DESC LIMIT ?")
                           .arg(kindList(kinds)));
        select.addBindValue(*expression);
    } else {
        select.prepare(QStringLiteral("SELECT %1 FROM history WHERE +kind IN (%2) AND text LIKE ? ESCAPE '\\' "
                                      "ORDER BY id DESC LIMIT ?")
                           .arg(EntryColumns, kindList(kinds)));
        QString pattern = needle;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        select.addBindValue(QLatin1Char('%') + pattern + QLatin1Char('%'));
    }
    select.addBindValue(limit);
    if (!d->run(select))
        return list;
    while (select.next())
        list.append(entryFrom(select, false));
    return list;
}

std::optional<HistoryStore::Entry> HistoryStore::entry(qint64 id)
{
    if (!d->ready)
        return std::nullopt;
    QSqlQuery select(d->db());
    select.prepare(QStringLiteral("SELECT %1, rtf FROM history WHERE id = ?").arg(EntryColumns));
    select.addBindValue(id);
    if (!d->run(select) || !select.next())
        return std::nullopt;
    return entryFrom(select, true);
}

int HistoryStore::deleteConversation(Kinds kinds, const QByteArray &peer)
{
    if (!d->ready)
        return 0;
    QSqlQuery remove(d->db());
    remove.prepare(QStringLiteral("DELETE FROM history WHERE kind IN (%1)%2")
                       .arg(kindList(kinds), peer.isEmpty() ? QString() : QStringLiteral(" AND peer = ?")));
    if (!peer.isEmpty())
        remove.addBindValue(peer);
    if (!d->run(remove))
        return 0;
    const int removed = remove.numRowsAffected();
    QSqlQuery(d->db()).exec(QStringLiteral("PRAGMA incremental_vacuum"));
    return removed;
}

int HistoryStore::purgeOlderThan(int days, const QDateTime &now)
{
    if (days <= 0 || !d->ready)
        return 0;
    QSqlQuery remove(d->db());
    remove.prepare(QStringLiteral("DELETE FROM history WHERE time < ?"));
    remove.addBindValue(now.addDays(-days).toMSecsSinceEpoch());
    if (!d->run(remove))
        return 0;
    const int removed = remove.numRowsAffected();
    QSqlQuery(d->db()).exec(QStringLiteral("PRAGMA incremental_vacuum"));
    return removed;
}

qint64 HistoryStore::historyBytes()
{
    return d->ready ? d->queryNumber(QStringLiteral("SELECT bytes FROM history_stats")) : 0;
}

qint64 HistoryStore::position(Kinds kinds, const QByteArray &peer, qint64 id)
{
    const std::optional<Entry> found = entry(id);
    if (!found || !kinds.testFlag(found->kind) || (!peer.isEmpty() && found->peer != peer))
        return -1;
    QSqlQuery select(d->db());
    select.prepare(QStringLiteral("SELECT count(*) FROM history WHERE %1 AND (time < ? OR (time = ? AND id < ?))")
                       .arg(peer.isEmpty() ? QStringLiteral("kind IN (%1)").arg(kindList(kinds))
                                           : QStringLiteral("peer = ? AND +kind IN (%1)").arg(kindList(kinds))));
    if (!peer.isEmpty())
        select.addBindValue(peer);
    const qint64 time = found->time.toMSecsSinceEpoch();
    select.addBindValue(time);
    select.addBindValue(time);
    select.addBindValue(id);
    if (!d->run(select) || !select.next())
        return -1;
    return select.value(0).toLongLong();
}
