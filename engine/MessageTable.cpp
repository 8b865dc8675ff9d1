#include "engine/MessageTable.h"

#include "engine/NoticeText.h"
#include "engine/WireTexts.h"

const Message *MessageTable::current() const
{
    return (m_current >= 0 && m_current < m_rows.size()) ? &m_rows.at(m_current) : nullptr;
}

qsizetype MessageTable::weight(const Message &message)
{
    return message.Content.size() + message.Nickname.size() + message.IP.size();
}

void MessageTable::tell(QStringView text)
{
    Q_EMIT noticeRequested(NoticeText::build(text), QByteArray(wire::MessageStoreCaption));
}

void MessageTable::setLimits(int maxRows, qsizetype maxBytes)
{
    m_maxRows = maxRows;
    m_maxBytes = maxBytes;
}

// Drops the oldest read rows until the incoming one fits; false when unread rows alone leave no room.
bool MessageTable::makeRoom(qsizetype incoming)
{
    auto fits = [&] { return m_rows.size() < m_maxRows && m_bytes + incoming <= m_maxBytes; };
    if (incoming > m_maxBytes)
        return false;
    for (int row = 0; !fits() && row < m_rows.size();) {
        if (!m_rows.at(row).Read) {
            ++row;
            continue;
        }
        m_bytes -= weight(m_rows.at(row));
        m_rows.removeAt(row);
        if (m_keeper && m_keptIds.at(row))
            m_keeper->rowRemoved(m_keptIds.at(row));
        m_keptIds.removeAt(row);
        if (m_current > row)
            --m_current;
        else if (m_current == row)
            m_current = -1;
        Q_EMIT rowRemoved(row);
        if (!m_toldEvicting) {
            m_toldEvicting = true;
            tell(wire::MessagesEvicted);
        }
    }
    return fits();
}

bool MessageTable::append(const QByteArray &nickname, const QByteArray &ip, const QByteArray &content,
                          const QDateTime &date)
{
    Message message{nickname.left(FieldBytes), ip.left(FieldBytes), date, content, false};
    if (!makeRoom(weight(message))) {
        // Told once until a message fits again, so a flood of refused arrivals is one notice.
        if (!m_toldRefusing) {
            m_toldRefusing = true;
            tell(wire::MessagesRefused);
        }
        return false;
    }
    m_toldRefusing = false;
    m_bytes += weight(message);
    m_keptIds.append(m_keeper ? m_keeper->rowAppended(message) : 0);
    m_rows.append(std::move(message));
    m_current = int(m_rows.size()) - 1;
    Q_EMIT afterPost();
    return true;
}

void MessageTable::setCurrentRead(bool read)
{
    if (!current())
        return;
    if (m_keeper && m_keptIds.at(m_current) && m_rows.at(m_current).Read != read)
        m_keeper->rowReadChanged(m_keptIds.at(m_current), read);
    m_rows[m_current].Read = read;
    Q_EMIT afterPost();
}

void MessageTable::restore(qint64 id, const Message &row)
{
    m_bytes += weight(row);
    m_rows.append(row);
    m_keptIds.append(id);
    m_current = int(m_rows.size()) - 1;
}

void MessageTable::clear()
{
    if (m_keeper)
        m_keeper->rowsCleared();
    m_rows.clear();
    m_keptIds.clear();
    m_current = -1;
    m_bytes = 0;
    m_toldEvicting = false;
    m_toldRefusing = false;
    Q_EMIT cleared();
}

bool MessageTable::moveTo(int row)
{
    if (row < 0 || row >= m_rows.size())
        return false;
    m_current = row;
    return true;
}

bool MessageTable::first()
{
    return moveTo(0);
}
bool MessageTable::last()
{
    return moveTo(int(m_rows.size()) - 1);
}
bool MessageTable::next()
{
    return moveTo(m_current + 1);
}
bool MessageTable::prior()
{
    return m_current > 0 && moveTo(m_current - 1);
}

int MessageTable::locateFirstUnread()
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (!m_rows.at(i).Read) {
            m_current = i;
            return i;
        }
    }
    return -1;
}

void MessageTable::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    m_filtered = on;
    first();
}
