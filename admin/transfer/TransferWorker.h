#pragma once

#include "admin/transfer/TransferPacket.h"
#include "admin/transfer/TransferTypes.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;

// Every socket and file of the transfers, on a thread of its own: the files this host offered and serves,
// and the offers it received and fetches. Called only through queued calls from FileTransfer.
class TransferWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TransferWorker)

public:
    TransferWorker(const Transfer::Endpoints &endpoints, const Transfer::Limits &limits);
    ~TransferWorker() override;

    bool listen();
    quint16 servingPort() const;
    void setIdentity(const QByteArray &address, const QByteArray &nickname);

    void offer(const QByteArray &id, const QByteArray &recipient, const QStringList &paths);
    void offerUndelivered(const QByteArray &id);
    void accept(const QByteArray &id, const QString &folder);
    void decline(const QByteArray &id);
    void cancel(const QByteArray &id);
    void handlePacket(const QByteArray &packet);

Q_SIGNALS:
    void packetReady(const QByteArray &address, const QByteArray &packet, const QByteArray &offerId, bool isOffer);
    void offerReceived(const Transfer::IncomingOffer &offer);
    void offerAnswered(const QByteArray &id, bool accepted);
    void acceptRefused(const QByteArray &id, Transfer::Refusal reason);
    void progress(const QByteArray &id, Transfer::Direction direction, int index, qint64 done, qint64 total);
    void fileFinished(const QByteArray &id, Transfer::Direction direction, int index, const QString &savedPath);
    void fileFailed(const QByteArray &id, Transfer::Direction direction, int index);
    void transferEnded(const QByteArray &id, Transfer::Direction direction, Transfer::Outcome outcome);

private:
    struct Outgoing;
    struct Serving;
    struct Incoming;

    // Offering side.
    void acceptConnections();
    void readRequest(Serving &serving);
    bool startServing(Serving &serving, const TransferPacket::FetchRequest &request);
    void markAccepted(Outgoing &out);
    void pump(Serving &serving);
    void servingClosed(QTcpSocket *socket);
    void dropServing(QTcpSocket *socket);
    void endOutgoing(QByteArray id, Transfer::Outcome outcome);

    // Receiving side.
    void receiveOffer(const TransferPacket::Message &message);
    void beginFile(Incoming &in);
    bool openPart(Incoming &in);
    void fetchRead(Incoming &in);
    bool writeBody(Incoming &in);
    void completeFile(Incoming &in);
    void fetchBroken(Incoming &in);
    void failFile(Incoming &in);
    void nextFile(Incoming &in);
    void closeFetch(Incoming &in);
    void endIncoming(QByteArray id, Transfer::Outcome outcome);

    void send(const QByteArray &address, TransferPacket::Kind kind, const QByteArray &id);
    void purgeExpired();
    bool progressDue(QElapsedTimer &clock, qint64 done, qint64 total);

    Transfer::Endpoints m_endpoints;
    Transfer::Limits m_limits;
    QByteArray m_ownAddress;
    QByteArray m_ownNickname;
    QTcpServer *m_server = nullptr;
    std::vector<char> m_buffer;
    std::map<QByteArray, std::unique_ptr<Outgoing>> m_outgoing;
    std::map<QTcpSocket *, std::unique_ptr<Serving>> m_serving;
    std::map<QByteArray, std::unique_ptr<Incoming>> m_incoming;
};
