#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

// The friend table: peers in the order they were first heard, one row per address, and a current row that
// lookups move. Nothing of it is saved; every own announcement empties it and the answers rebuild it.
struct Friend
{
    QByteArray User; // nickname, at most 20 bytes
    QByteArray IP;   // dotted quad, at most 20 bytes, unique in the table
    QByteArray Face; // the peer's picture as received, possibly empty
};

class FriendTable final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FriendTable)

public:
    // Longer nicknames and addresses are cut to this many bytes, even inside a double-byte character.
    static constexpr int FieldBytes = 20;
    // Any host can announce any number of addresses with any picture: the table keeps this many rows,
    // and a picture larger than a face can be is not kept (the row gets none).
    static constexpr int MaxRows = 1024;
    static constexpr qsizetype MaxFaceBytes = 30000;

    explicit FriendTable(QObject *parent = nullptr) : QObject(parent) {}

    int size() const { return int(m_rows.size()); }
    const Friend &at(int row) const { return m_rows.at(row); }
    const QList<Friend> &rows() const { return m_rows; }
    int currentRow() const { return m_current; }

    // Exact, case-sensitive lookups of the whole field; the first match in table order becomes current.
    int locateIP(QByteArrayView ip);
    int locateUser(QByteArrayView user);

    // Adds a row unless one has this address already (that row is left as it is) or the table is full.
    // True when added.
    bool addIfNew(const QByteArray &user, const QByteArray &ip, const QByteArray &face);
    // Deletes the row with this address, if any.
    bool removeIP(QByteArrayView ip);
    void clear();

Q_SIGNALS:
    void changed();

private:
    int find(QByteArrayView ip) const;

    QList<Friend> m_rows;
    int m_current = -1;
};
