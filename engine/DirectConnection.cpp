#include "engine/DirectConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

DirectConnection::DirectConnection() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {}

DirectConnection::~DirectConnection()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool DirectConnection::connectTo(quint32 address, quint16 port, Clock::time_point deadline)
{
    if (m_fd < 0)
        return false;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(address);
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&destination), sizeof destination) == 0)
        return true;
    if (errno != EINPROGRESS || !waitFor(POLLOUT, deadline))
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

qsizetype DirectConnection::write(QByteArrayView bytes, Clock::time_point deadline,
                                  std::chrono::milliseconds stallLimit)
{
    qsizetype written = 0;
    while (m_fd >= 0 && written < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + written, size_t(bytes.size() - written), MSG_NOSIGNAL);
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            break;
        const auto now = Clock::now();
        const bool stallFirst = stallLimit < std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (!waitFor(POLLOUT, stallFirst ? now + stallLimit : deadline))
            break;
    }
    return written;
}

bool DirectConnection::discardedByPeer(Clock::time_point deadline)
{
    if (m_fd < 0 || ::shutdown(m_fd, SHUT_WR) != 0)
        return false;
    char sink[512];
    for (;;) {
        const ssize_t n = ::recv(m_fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n == 0)
            return false;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errno == ECONNRESET;
        // Nothing is ever said back on this connection; a peer talking anyway holds the caller no longer.
        if (Clock::now() >= deadline || (n < 0 && !waitFor(POLLIN, deadline)))
            return false;
    }
}

// A signal does not shorten the wait.
bool DirectConnection::waitFor(short events, Clock::time_point deadline) const
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{m_fd, events, 0};
        const int r = ::poll(&p, 1, int(std::min<qint64>(left.count(), 1 << 30)));
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}
