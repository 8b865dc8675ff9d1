#include "engine/MessageTable.h"

const Message *MessageTable::current() const
{
    return (m_current >= 0 && m_current < m_rows.size()) ? &m_rows.at(m_current) : nullptr;
}

void MessageTable::append(const QByteArray &nickname, const QByteArray &ip, const QByteArray &content,
                          const QDateTime &date)
{
    m_rows.append(Message{nickname.left(FieldBytes), ip.left(FieldBytes), date, content, false});
    m_current = int(m_rows.size()) - 1;
    Q_EMIT afterPost();
}

void MessageTable::setCurrentRead(bool read)
{
    if (!current())
        return;
    m_rows[m_current].Read = read;
    Q_EMIT afterPost();
}

void MessageTable::clear()
{
    m_rows.clear();
    m_current = -1;
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
