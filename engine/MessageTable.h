#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

// Received chat messages in arrival order, kept in memory for the run. Like the friend table it has a current
// row that appending, lookups and browsing move. Every store of a row (append or edit) announces itself through
// afterPost(), where the console decides between popping the message up and flashing the tray.
struct Message
{
    QByteArray Nickname; // at most 20 bytes
    QByteArray IP;       // at most 20 bytes
    QDateTime Date;      // the receiver's clock when stored
    QByteArray Content;  // the RTF body
    bool Read = false;
};

// Where the table's rows outlast the run. The table tells it of every change before it announces the
// change, so that a row is kept before anything acts on its arrival. Ids are the keeper's own; 0 is a row
// it could not keep, which the table still holds for the run.
class MessageTableKeeper
{
public:
    virtual ~MessageTableKeeper() = default;
    virtual qint64 rowAppended(const Message &row) = 0;
    virtual void rowReadChanged(qint64 id, bool read) = 0;
    virtual void rowRemoved(qint64 id) = 0;
    virtual void rowsCleared() = 0;
};

class MessageTable final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageTable)

public:
    static constexpr int FieldBytes = 20;
    // Any host can send any number of messages: the table holds at most this many rows and bytes.
    static constexpr int DefaultMaxRows = 2000;
    static constexpr qsizetype DefaultMaxBytes = qsizetype(64) << 20;

    explicit MessageTable(QObject *parent = nullptr) : QObject(parent) {}

    int size() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    const Message &at(int row) const { return m_rows.at(row); }
    int currentRow() const { return m_current; }
    const Message *current() const;

    // Appends an unread row stamped now, makes it current and posts it. When the table is full, the oldest
    // read rows make room; with none read, the arrival is refused (false) rather than the table grown.
    bool append(const QByteArray &nickname, const QByteArray &ip, const QByteArray &content,
                const QDateTime &date = QDateTime::currentDateTime());
    // Sets Read of the current row and posts it.
    void setCurrentRead(bool read);
    void clear();

    void setLimits(int maxRows, qsizetype maxBytes);
    // Null (the default) keeps the rows in memory only.
    void setKeeper(MessageTableKeeper *keeper) { m_keeper = keeper; }
    // Puts back a row the keeper kept in an earlier run, as it was, and makes it current; nothing is posted.
    void restore(qint64 id, const Message &row);
    // What the rows hold: content, nickname and address bytes.
    qsizetype bytes() const { return m_bytes; }

    // Browsing moves the current row; each returns false when it could not move.
    bool first();
    bool last();
    bool next();
    bool prior();
    bool moveTo(int row);
    // The first unread row in table order, made current; -1 when all are read.
    int locateFirstUnread();

    // The table keeps a filter expression it never evaluates: no row is ever hidden. Only switching the
    // filtered mark has an effect: it moves the current row to the first row.
    QString filter() const { return m_filter; }
    void setFilter(const QString &expression) { m_filter = expression; }
    bool filtered() const { return m_filtered; }
    void setFiltered(bool on);

Q_SIGNALS:
    void afterPost();
    void cleared();
    // A row made room for a newer one; rows behind it moved up by one.
    void rowRemoved(int row);
    // Something the user has to be told; text is a notice RTF document.
    void noticeRequested(const QByteArray &text, const QByteArray &caption);

private:
    static qsizetype weight(const Message &message);
    bool makeRoom(qsizetype incoming);
    void tell(QStringView text);

    QList<Message> m_rows;
    // The keeper's id of each row, beside it.
    QList<qint64> m_keptIds;
    MessageTableKeeper *m_keeper = nullptr;
    int m_maxRows = DefaultMaxRows;
    qsizetype m_maxBytes = DefaultMaxBytes;
    qsizetype m_bytes = 0;
    bool m_toldEvicting = false;
    bool m_toldRefusing = false;
    int m_current = -1;
    QString m_filter;
    bool m_filtered = false;
};
