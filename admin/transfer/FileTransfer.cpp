#include "admin/transfer/FileTransfer.h"

#include "admin/transfer/TransferPacket.h"
#include "admin/transfer/TransferWorker.h"
#include "engine/PacketTransport.h"

FileTransfer::FileTransfer(PacketTransport &transport, const Transfer::Endpoints &endpoints,
                           const Transfer::Limits &limits, QObject *parent)
    : QObject(parent), m_transport(transport), m_configuredPort(endpoints.servePort),
      m_worker(new TransferWorker(endpoints, limits))
{
    qRegisterMetaType<Transfer::IncomingOffer>();
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &TransferWorker::packetReady, this, &FileTransfer::deliver);
    connect(m_worker, &TransferWorker::offerReceived, this, &FileTransfer::offerReceived);
    connect(m_worker, &TransferWorker::offerAnswered, this, &FileTransfer::offerAnswered);
    connect(m_worker, &TransferWorker::acceptRefused, this, &FileTransfer::acceptRefused);
    connect(m_worker, &TransferWorker::progress, this, &FileTransfer::progress);
    connect(m_worker, &TransferWorker::fileFinished, this, &FileTransfer::fileFinished);
    connect(m_worker, &TransferWorker::fileFailed, this, &FileTransfer::fileFailed);
    connect(m_worker, &TransferWorker::transferEnded, this, &FileTransfer::transferEnded);
    m_thread.setObjectName(QStringLiteral("file transfer"));
    m_thread.start();
}

FileTransfer::~FileTransfer()
{
    m_thread.quit();
    m_thread.wait();
}

bool FileTransfer::start()
{
    bool listening = false;
    QMetaObject::invokeMethod(
        m_worker, [this, &listening] { listening = m_worker->listen(); }, Qt::BlockingQueuedConnection);
    return listening;
}

quint16 FileTransfer::servingPort() const
{
    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_worker, [this, &port] { port = m_worker->servingPort(); }, Qt::BlockingQueuedConnection);
    return port;
}

void FileTransfer::setIdentity(const QByteArray &address, const QByteArray &nickname)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, address, nickname] { w->setIdentity(address, nickname); });
}

QByteArray FileTransfer::offer(const QByteArray &recipient, const QStringList &paths)
{
    const QByteArray id = TransferPacket::newOfferId();
    QMetaObject::invokeMethod(m_worker, [w = m_worker, id, recipient, paths] { w->offer(id, recipient, paths); });
    return id;
}

void FileTransfer::accept(const QByteArray &id, const QString &folder)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, id, folder] { w->accept(id, folder); });
}

void FileTransfer::decline(const QByteArray &id)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, id] { w->decline(id); });
}

void FileTransfer::cancel(const QByteArray &id)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, id] { w->cancel(id); });
}

void FileTransfer::handlePacket(const QByteArray &packet)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, packet] { w->handlePacket(packet); });
}

// Packets leave through the console's transport on this thread, as every other packet does.
void FileTransfer::deliver(const QByteArray &address, const QByteArray &packet, const QByteArray &id, bool isOffer)
{
    if (m_transport.SendDirect(address, packet) < 0 && isOffer)
        QMetaObject::invokeMethod(m_worker, [w = m_worker, id] { w->offerUndelivered(id); });
}
