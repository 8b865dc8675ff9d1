#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>

#include <chrono>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <optional>

class QTimer;

// Answers that arriving packets ask for, sent without ever waiting on the peer: any host can name an
// address that never answers, and a blocking connect there would freeze the user interface. Each answer
// goes over a connection of its own, made non-blocking and watched by a notifier, with the same connect
// and write bounds as a direct send. The queue is bounded and presence answers to one destination are
// spaced out, so a flood of announcements cannot turn this instance into a flood of connections.
class ReplyQueue final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReplyQueue)

public:
    struct Limits
    {
        std::chrono::milliseconds connectTimeout{3000};
        std::chrono::milliseconds writeTimeout{3000};
        // At most one presence answer to a destination in this time; a later one waits for its turn and
        // replaces any that waits already, so the newest announcement is always answered.
        std::chrono::milliseconds presenceInterval{5000};
        int maxQueued = 64;
        int maxInFlight = 8;
        // Destinations whose last presence answer is remembered, for the spacing.
        int maxPacedDestinations = 4096;
    };

    ReplyQueue(quint16 port, const Limits &limits, QObject *parent = nullptr);
    ~ReplyQueue() override;

    // "a.b.c.d" with four decimal parts of at most three digits, each 0 to 255 and without leading zeros:
    // the address in host order. Anything else (hex, octal, short forms, names, spaces) is nullopt.
    static std::optional<quint32> parseDottedQuad(QByteArrayView text);

    // Takes an answer for a destination already judged fit; false when it was dropped (queue full).
    bool enqueue(quint32 address, const QByteArray &packet, bool presence);
    // The close: drops the presence answers (the goodbye has gone out; a late answer would list this host
    // again), gives the other answers until the grace has passed, then drops what is left. Blocks.
    void flush(std::chrono::milliseconds grace);

    int queued() const { return int(m_queue.size()); }
    int inFlight() const { return int(m_sending.size()); }
    // Answers that reached their peer in full, since the start; for tests and figures.
    quint64 delivered() const { return m_delivered; }

private:
    using Clock = std::chrono::steady_clock;
    struct Reply
    {
        quint32 address = 0;
        QByteArray packet;
        bool presence = false;
        Clock::time_point notBefore;
    };
    class Sending;

    void pump();
    void start(Reply reply);
    // Moves a send on as far as it goes without waiting; true once it has ended, well or not.
    bool advance(Sending &sending);
    void finish(Sending *sending, bool immediate);
    void rememberPresence(quint32 address, Clock::time_point when);
    void armWakeUp();

    quint16 m_port;
    Limits m_limits;
    std::deque<Reply> m_queue;
    std::list<std::unique_ptr<Sending>> m_sending;
    std::map<quint32, Clock::time_point> m_lastPresence;
    QTimer *m_wakeUp = nullptr;
    quint64 m_delivered = 0;
};
