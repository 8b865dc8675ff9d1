#include "engine/FriendTable.h"

int FriendTable::find(QByteArrayView ip) const
{
    const QByteArrayView key = ip.first(qMin<qsizetype>(ip.size(), FieldBytes));
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).IP == key)
            return i;
    }
    return -1;
}

int FriendTable::locateIP(QByteArrayView ip)
{
    const int row = find(ip);
    if (row >= 0)
        m_current = row;
    return row;
}

int FriendTable::locateUser(QByteArrayView user)
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).User == user) {
            m_current = i;
            return i;
        }
    }
    return -1;
}

bool FriendTable::addIfNew(const QByteArray &user, const QByteArray &ip, const QByteArray &face)
{
    if (m_rows.size() >= MaxRows || find(ip) >= 0)
        return false;
    m_rows.append(
        Friend{user.left(FieldBytes), ip.left(FieldBytes), face.size() <= MaxFaceBytes ? face : QByteArray()});
    m_current = int(m_rows.size()) - 1;
    Q_EMIT changed();
    return true;
}

bool FriendTable::removeIP(QByteArrayView ip)
{
    const int row = find(ip);
    if (row < 0)
        return false;
    m_rows.removeAt(row);
    if (m_current >= m_rows.size())
        m_current = int(m_rows.size()) - 1;
    Q_EMIT changed();
    return true;
}

void FriendTable::clear()
{
    if (m_rows.isEmpty())
        return;
    m_rows.clear();
    m_current = -1;
    Q_EMIT changed();
}
