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

private:
    bool waitWritable(Clock::time_point deadline) const;

    int m_fd = -1;
};
