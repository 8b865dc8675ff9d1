#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <chrono>

// One outgoing TCP connection that carries one packet: a connect and the writes, each bounded by a
// deadline the caller gives, so a host that never answers holds the caller only as long as it allows.
// Waiting is a poll on this one descriptor: the caller blocks, nothing else runs meanwhile.
class DirectConnection final
{
    Q_DISABLE_COPY_MOVE(DirectConnection)

public:
    using Clock = std::chrono::steady_clock;

    // Creates the socket; isOpen() tells whether the system gave one.
    DirectConnection();
    // Closes. What was written still leaves, as after any orderly close.
    ~DirectConnection();

    bool isOpen() const { return m_fd >= 0; }
    // To an IPv4 address in host order; false when refused, failed or not made by the deadline.
    bool connectTo(quint32 address, quint16 port, Clock::time_point deadline);
    // Writes until every byte is gone, the peer fails, the deadline passes, or the socket takes nothing for
    // stallLimit. The number of bytes written.
    qsizetype write(QByteArrayView bytes, Clock::time_point deadline,
                    std::chrono::milliseconds stallLimit = std::chrono::milliseconds::max());

    // After the last write: true when the peer reset the connection rather than closing it, which it does when
    // it throws the packet away unread. A peer still silent at the deadline is taken to have it.
    bool discardedByPeer(Clock::time_point deadline);

private:
    bool waitFor(short events, Clock::time_point deadline) const;

    int m_fd = -1;
};
