#pragma once

#include "engine/SocketEngine.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <optional>

class FriendTable;
class Presence;
class QTcpSocket;
class QTimer;

// Asks one host, without blocking, why it may not be seen: is there a route to it, does Parlune listen on
// it, and do datagrams from here reach it. It sends only what any instance sends to any other: over a
// connection the presence answer this instance gives to every announcement (while hidden, its hidden
// announcement, which a connection does not act on), then the announcement of its status as one datagram
// to that host alone, which a Parlune host answers with its presence answer, as it answers a broadcast.
class NetworkProbe final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkProbe)

public:
    enum class Verdict {
        NoRoute,          // no connection could be made: no host there, or no way to it
        NoParlune,        // the host refused the connection: it is up, nothing listens on the port
        DatagramsBlocked, // Parlune accepted the connection, but the datagram got no answer
        AllFine,          // the datagram was answered
    };
    Q_ENUM(Verdict)

    struct Timing
    {
        std::chrono::milliseconds connectTimeout{3000};
        // A Parlune host answers one host at most every five seconds and makes a later answer wait.
        std::chrono::milliseconds answerTimeout{7000};
    };

    NetworkProbe(SocketEngine &engine, Presence &presence, QObject *parent = nullptr);
    NetworkProbe(SocketEngine &engine, Presence &presence, const Timing &timing, QObject *parent = nullptr);
    ~NetworkProbe() override;

    // A dotted address as typed, else the address of the first friend of exactly this nickname.
    static std::optional<quint32> resolve(const QByteArray &typed, const FriendTable &friends);

    // Whether the address is another single host: not this host's own (a probe would list it as its own
    // friend) nor one of its segments' broadcast addresses, not loopback, multicast or "this network".
    static bool isOtherHost(quint32 address);

    // Starts probing; a probe still running is given up.
    void start(quint32 address);
    bool isRunning() const { return m_target != 0; }

Q_SIGNALS:
    // The connection is made: waiting for the answer to the datagram.
    void connected();
    void finished(NetworkProbe::Verdict verdict);

private:
    void onConnected();
    void onConnectFailed(bool refused);
    void onHeard(quint32 address, SocketEngine::Transport transport);
    void finish(Verdict verdict);
    void dropSocket();

    SocketEngine &m_engine;
    Presence &m_presence;
    Timing m_timing;
    quint32 m_target = 0;
    bool m_awaitingAnswer = false;
    QPointer<QTcpSocket> m_socket;
    QTimer *m_timer = nullptr;
};
