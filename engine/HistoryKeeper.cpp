#include "engine/HistoryKeeper.h"

#include "base/Cp950.h"
#include "engine/NoticeText.h"
#include "engine/WireTexts.h"
#include "richtext/PixelBudget.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <QTextCursor>
#include <QTextDocument>

HistoryKeeper::HistoryKeeper(HistoryStore &store, QObject *parent) : QObject(parent), m_store(store) {}

qint64 HistoryKeeper::rowAppended(const Message &row)
{
    const qint64 id = m_store.appendRow(row);
    wrote(id != 0);
    return id;
}

void HistoryKeeper::rowReadChanged(qint64 id, bool read)
{
    wrote(m_store.setRowRead(id, read));
}

void HistoryKeeper::rowRemoved(qint64 id)
{
    wrote(m_store.removeRow(id));
}

void HistoryKeeper::rowsCleared()
{
    wrote(m_store.clearRows());
}

bool HistoryKeeper::restoreRows(MessageTable &table)
{
    bool unread = false;
    for (const HistoryStore::StoredRow &row : m_store.loadRows()) {
        // Cut as an arrival is, in case the file was written by hand.
        Message message = row.message;
        message.Nickname.truncate(MessageTable::FieldBytes);
        message.IP.truncate(MessageTable::FieldBytes);
        unread = unread || !message.Read;
        table.restore(row.id, message);
    }
    return unread;
}

void HistoryKeeper::reportOpening()
{
    if (m_store.openError().isEmpty())
        return;
    const char16_t *text = m_store.isPersistent() ? wire::HistorySetAside : wire::HistoryNotOpened;
    Q_EMIT noticeRequested(NoticeText::build(text), QByteArray(wire::HistoryCaption));
}

void HistoryKeeper::record(HistoryStore::Kind kind, HistoryStore::Direction direction, const QByteArray &peer,
                           const QByteArray &nickname, const QByteArray &body)
{
    HistoryStore::Entry entry;
    entry.time = QDateTime::currentDateTime();
    entry.kind = kind;
    entry.direction = direction;
    entry.peer = peer;
    entry.nickname = nickname;
    entry.rtf = body;
    entry.text = plainText(body);
    const HistoryStore::Recorded recorded = m_store.record(entry);
    wrote(recorded.id != 0);
    if (recorded.dropped > 0)
        tell(wire::HistoryTrimmed, m_toldTrimmed);
}

int HistoryKeeper::purge(int days)
{
    return m_store.purgeOlderThan(days);
}

QString HistoryKeeper::plainText(const QByteArray &body)
{
    if (!RtfReader::isRtf(body))
        return cp950::decode(body);
    QTextDocument document;
    QTextCursor cursor(&document);
    // Search needs no pixels: every picture stays a placeholder.
    PixelBudget noPictures(0);
    RtfReader::insertRtf(cursor, body, &noPictures);
    return RtfWriter::plainText(document).trimmed();
}

void HistoryKeeper::wrote(bool stored)
{
    if (!stored)
        tell(wire::HistoryWriteFailed, m_toldWriteFailed);
}

void HistoryKeeper::tell(QStringView text, QElapsedTimer &lastTold)
{
    if (lastTold.isValid() && lastTold.elapsed() < NoticeIntervalMs)
        return;
    lastTold.start();
    Q_EMIT noticeRequested(NoticeText::build(text), QByteArray(wire::HistoryCaption));
}
