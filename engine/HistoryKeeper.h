#pragma once

#include "engine/HistoryStore.h"
#include "engine/MessageTable.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

// What the console keeps beyond the run, in the history store: the rows of the message table, as the table's
// keeper, and the history of what was said both ways. It turns each body into the plain text that search
// looks through, and tells the user, sparingly, when keeping fails or the size cap drops old history.
class HistoryKeeper final : public QObject, public MessageTableKeeper
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryKeeper)

public:
    // A notice of one kind comes again after this long at the earliest, however often its cause recurs.
    static constexpr qint64 NoticeIntervalMs = qint64(24) * 60 * 60 * 1000;

    explicit HistoryKeeper(HistoryStore &store, QObject *parent = nullptr);

    qint64 rowAppended(const Message &row) override;
    void rowReadChanged(qint64 id, bool read) override;
    void rowRemoved(qint64 id) override;
    void rowsCleared() override;

    // Puts the rows of the last run back into the table, in their order and with their marks; true when one
    // of them is unread.
    bool restoreRows(MessageTable &table);
    // Tells the user when the store could not use its file: set aside as unreadable, or not opened at all.
    void reportOpening();

    // One thing said, stamped now: peer is the other host's address, nickname its name or the recipient's.
    void record(HistoryStore::Kind kind, HistoryStore::Direction direction, const QByteArray &peer,
                const QByteArray &nickname, const QByteArray &body);
    // Drops history older than so many days; 0 or less keeps it all. Returns how many entries went.
    int purge(int days);

    // The text of a body as search sees it: an RTF document as it reads, pictures as blanks; any other text
    // as code page 950.
    static QString plainText(const QByteArray &body);

Q_SIGNALS:
    void noticeRequested(const QByteArray &text, const QByteArray &caption);

private:
    void wrote(bool stored);
    void tell(QStringView text, QElapsedTimer &lastTold);

    HistoryStore &m_store;
    // When each notice was last given; invalid until then.
    QElapsedTimer m_toldWriteFailed;
    QElapsedTimer m_toldTrimmed;
};
