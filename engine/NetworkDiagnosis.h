#pragma once

#include "platform/FirewallRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class FriendTable;
class SocketEngine;

// What this host looks like from the network, gathered for the user who asks why someone cannot be seen.
struct DiagnosisFacts
{
    struct Address
    {
        QHostAddress ip;
        QHostAddress netmask;
        QHostAddress broadcast;
    };
    struct Interface
    {
        QString name;
        bool up = false;
        bool running = false;
        bool loopback = false;
        QList<Address> addresses; // IPv4 only
    };
    struct Port
    {
        quint16 number = 0;
        bool udp = false;
        bool boundHere = false; // by this program's own socket
        QList<QString> holders; // the processes the kernel's table shows on it, "name (pid)"
    };
    struct FriendHeard
    {
        QByteArray user;
        QByteArray ip;
        QDateTime datagram; // invalid: nothing heard that way
        QDateTime stream;
    };

    QList<Interface> interfaces;
    QByteArray ownAddress;
    QHostAddress broadcastAddress;
    quint16 broadcastPort = 0;
    QList<QHostAddress> extraDestinations; // other segments' broadcast addresses and single hosts
    Port udp;
    Port tcp;
    Port files; // number 0: no file port to show
    host::FirewallReport firewall;
    QList<FriendHeard> friends;
};

// Gathers the facts: the interfaces, ports and friends at once, the firewall in the background.
class NetworkDiagnosis final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkDiagnosis)

public:
    NetworkDiagnosis(SocketEngine &engine, const FriendTable &friends, QObject *parent = nullptr);

    // The port files are served on, and the one this program has bound (0: none); shown from the next refresh.
    void setFilePort(quint16 port, quint16 boundHere);
    // Starts gathering; factsReady follows once the firewall is read.
    void refresh();
    const DiagnosisFacts &facts() const { return m_facts; }

Q_SIGNALS:
    void factsReady(const DiagnosisFacts &facts);

private:
    DiagnosisFacts::Port port(quint16 number, bool udp, quint16 boundHere) const;

    SocketEngine &m_engine;
    const FriendTable &m_friends;
    host::FirewallReader *m_firewall;
    DiagnosisFacts m_facts;
    quint16 m_filePort = 0;
    quint16 m_fileBoundHere = 0;
};
