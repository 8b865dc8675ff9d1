#include "engine/ReplyQueue.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

// One answer on its way: a non-blocking connect, then writes whenever the socket takes more.
class ReplyQueue::Sending
{
public:
    ~Sending()
    {
        // Deleted later: the send may end inside a signal of either.
        if (notifier) {
            notifier->setEnabled(false);
            notifier->disconnect();
            notifier->deleteLater();
        }
        if (timer) {
            timer->stop();
            timer->disconnect();
            timer->deleteLater();
        }
        if (fd >= 0)
            ::close(fd);
    }

    int fd = -1;
    QByteArray packet;
    bool presence = false;
    bool connected = false;
    qsizetype written = 0;
    Clock::time_point deadline;
    QSocketNotifier *notifier = nullptr;
    QTimer *timer = nullptr;
};

ReplyQueue::ReplyQueue(quint16 port, const Limits &limits, QObject *parent)
    : QObject(parent), m_port(port), m_limits(limits), m_wakeUp(new QTimer(this))
{
    m_wakeUp->setSingleShot(true);
    connect(m_wakeUp, &QTimer::timeout, this, &ReplyQueue::pump);
}

ReplyQueue::~ReplyQueue() = default;

std::optional<quint32> ReplyQueue::parseDottedQuad(QByteArrayView text)
{
    quint32 address = 0;
    int parts = 0;
    qsizetype i = 0;
    while (parts < 4) {
        const qsizetype begin = i;
        quint32 part = 0;
        while (i < text.size() && i - begin < 3 && text[i] >= '0' && text[i] <= '9')
            part = part * 10 + quint32(text[i++] - '0');
        const qsizetype digits = i - begin;
        if (digits == 0 || part > 255 || (digits > 1 && text[begin] == '0'))
            return std::nullopt;
        address = (address << 8) | part;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return address;
}

bool ReplyQueue::enqueue(quint32 address, const QByteArray &packet, bool presence)
{
    const auto now = Clock::now();
    Clock::time_point notBefore = now;
    if (presence) {
        for (Reply &waiting : m_queue) {
            if (waiting.presence && waiting.address == address) {
                waiting.packet = packet;
                return true;
            }
        }
        const auto last = m_lastPresence.find(address);
        if (last != m_lastPresence.end() && last->second + m_limits.presenceInterval > now)
            notBefore = last->second + m_limits.presenceInterval;
        else if (last == m_lastPresence.end() && int(m_lastPresence.size()) >= m_limits.maxPacedDestinations) {
            std::erase_if(m_lastPresence,
                          [&](const auto &entry) { return entry.second + m_limits.presenceInterval <= now; });
            // Every remembered destination was answered moments ago: this is a flood, not a segment.
            if (int(m_lastPresence.size()) >= m_limits.maxPacedDestinations)
                return false;
        }
    }
    if (int(m_queue.size()) >= m_limits.maxQueued)
        return false;
    m_queue.push_back(Reply{address, packet, presence, notBefore});
    pump();
    return true;
}

void ReplyQueue::rememberPresence(quint32 address, Clock::time_point when)
{
    m_lastPresence[address] = when;
}

void ReplyQueue::pump()
{
    const auto now = Clock::now();
    for (auto it = m_queue.begin(); it != m_queue.end() && int(m_sending.size()) < m_limits.maxInFlight;) {
        if (it->notBefore > now) {
            ++it;
            continue;
        }
        Reply reply = std::move(*it);
        it = m_queue.erase(it);
        if (reply.presence)
            rememberPresence(reply.address, now);
        start(std::move(reply));
    }
    armWakeUp();
}

void ReplyQueue::armWakeUp()
{
    if (int(m_sending.size()) >= m_limits.maxInFlight || m_queue.empty()) {
        m_wakeUp->stop();
        return;
    }
    const auto earliest = std::min_element(m_queue.begin(), m_queue.end(), [](const Reply &a, const Reply &b) {
                              return a.notBefore < b.notBefore;
                          })->notBefore;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(earliest - Clock::now());
    m_wakeUp->start(std::max(wait, std::chrono::milliseconds(0)));
}

void ReplyQueue::start(Reply reply)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(m_port);
    destination.sin_addr.s_addr = htonl(reply.address);
    auto sending = std::make_unique<Sending>();
    sending->fd = fd;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&destination), sizeof destination) != 0 &&
        errno != EINPROGRESS)
        return;
    sending->packet = std::move(reply.packet);
    sending->presence = reply.presence;
    sending->deadline = Clock::now() + m_limits.connectTimeout;

    // Even a connect that completed at once is written from the notifier, so no send ever ends inside
    // the handling of the packet that asked for it.
    Sending *raw = sending.get();
    raw->notifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(raw->notifier, &QSocketNotifier::activated, this, [this, raw] {
        if (advance(*raw))
            finish(raw, false);
    });
    raw->timer = new QTimer(this);
    raw->timer->setSingleShot(true);
    connect(raw->timer, &QTimer::timeout, this, [this, raw] { finish(raw, false); });
    raw->timer->start(m_limits.connectTimeout);
    m_sending.push_back(std::move(sending));
}

bool ReplyQueue::advance(Sending &sending)
{
    if (!sending.connected) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(sending.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return true;
        sending.connected = true;
        sending.deadline = Clock::now() + m_limits.writeTimeout;
        sending.timer->start(m_limits.writeTimeout);
    }
    while (sending.written < sending.packet.size()) {
        const ssize_t n = ::send(sending.fd, sending.packet.constData() + sending.written,
                                 size_t(sending.packet.size() - sending.written), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sending.written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return false;
        return true;
    }
    ++m_delivered;
    return true;
}

// Ends a send and hands its place to the next answer; immediate is the close, which starts nothing.
void ReplyQueue::finish(Sending *sending, bool immediate)
{
    const auto it =
        std::find_if(m_sending.begin(), m_sending.end(), [sending](const auto &s) { return s.get() == sending; });
    if (it == m_sending.end())
        return;
    m_sending.erase(it);
    if (!immediate)
        pump();
}

void ReplyQueue::flush(std::chrono::milliseconds grace)
{
    m_wakeUp->stop();
    std::erase_if(m_queue, [](const Reply &r) { return r.presence; });
    std::erase_if(m_sending, [](const auto &s) { return s->presence; });
    const auto deadline = Clock::now() + grace;
    for (;;) {
        while (!m_queue.empty() && int(m_sending.size()) < m_limits.maxInFlight) {
            Reply reply = std::move(m_queue.front());
            m_queue.pop_front();
            start(std::move(reply));
        }
        const auto now = Clock::now();
        if (m_sending.empty() || now >= deadline)
            break;
        std::vector<pollfd> fds;
        std::vector<Sending *> order;
        auto wakeAt = deadline;
        for (const auto &s : m_sending) {
            fds.push_back({s->fd, POLLOUT, 0});
            order.push_back(s.get());
            wakeAt = std::min(wakeAt, s->deadline);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now);
        if (::poll(fds.data(), fds.size(), int(std::max<qint64>(wait.count(), 0))) < 0 && errno != EINTR)
            break;
        const auto after = Clock::now();
        for (size_t i = 0; i < fds.size(); ++i) {
            Sending *s = order[i];
            const bool ended = fds[i].revents != 0 ? advance(*s) : false;
            if (ended || after >= s->deadline)
                finish(s, true);
        }
    }
    m_queue.clear();
    m_sending.clear();
}
