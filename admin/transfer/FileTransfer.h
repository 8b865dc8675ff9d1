#pragma once

#include "admin/transfer/TransferTypes.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QThread>

class PacketTransport;
class TransferWorker;

// Sending files to another Parlune host and receiving the files it offers. The offer and its answers travel
// as packets through the console's transport; the files themselves move on a worker thread with sockets of
// its own, in fixed-size pieces, so neither the user interface nor memory feels a file's size.
//
// A received offer writes nothing until accept(); names from the network are reduced to plain file names
// inside the accepted folder; a file gets its name only once its SHA-256 matches, and never replaces one.
class FileTransfer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileTransfer)

public:
    FileTransfer(PacketTransport &transport, const Transfer::Endpoints &endpoints = {},
                 const Transfer::Limits &limits = {}, QObject *parent = nullptr);
    ~FileTransfer() override;

    // Opens the port the offered files are served on; false when it cannot be had.
    bool start();
    // The port files are served on once started; 0 when not serving.
    quint16 servingPort() const;
    // The port start() asks for; 0: any free one.
    quint16 configuredPort() const { return m_configuredPort; }
    // What the packets say about this host: the address files are fetched from, and the nickname.
    void setIdentity(const QByteArray &address, const QByteArray &nickname);

    // Hashes the files off this thread, then sends the offer. Returns the offer's id at once; a file that
    // cannot be read, or an offer that cannot be delivered, ends it with Outcome::Failed.
    QByteArray offer(const QByteArray &recipient, const QStringList &paths);
    // Fetches an offer's files into `folder`; acceptRefused() when that cannot start.
    void accept(const QByteArray &id, const QString &folder);
    void decline(const QByteArray &id);
    // Either side, at any time; the other side is told.
    void cancel(const QByteArray &id);

    // The action for CMD_FILE_TRANSFER packets arriving at the console.
    void handlePacket(const QByteArray &packet);

Q_SIGNALS:
    void offerReceived(const Transfer::IncomingOffer &offer);
    void offerAnswered(const QByteArray &id, bool accepted);
    void acceptRefused(const QByteArray &id, Transfer::Refusal reason);
    void progress(const QByteArray &id, Transfer::Direction direction, int index, qint64 done, qint64 total);
    void fileFinished(const QByteArray &id, Transfer::Direction direction, int index, const QString &savedPath);
    void fileFailed(const QByteArray &id, Transfer::Direction direction, int index);
    void transferEnded(const QByteArray &id, Transfer::Direction direction, Transfer::Outcome outcome);

private:
    void deliver(const QByteArray &address, const QByteArray &packet, const QByteArray &id, bool isOffer);

    PacketTransport &m_transport;
    const quint16 m_configuredPort;
    QThread m_thread;
    TransferWorker *m_worker;
};
