#include "admin/transfer/FileTransfer.h"

#include "admin/transfer/TransferPacket.h"
#include "admin/transfer/TransferWorker.h"
#include "engine/PacketTransport.h"

FileTransfer::FileTransfer(PacketTransport &transport, const Transfer::Endpoints &endpoints,
                           const Transfer::Limits &limits, QObject *parent)
    : QObject(parent), m_Transport(transport), m_Worker(new TransferWorker(endpoints, limits))
{
    qRegisterMetaType<Transfer::IncomingOffer>();
    m_Worker->moveToThread(&m_Thread);
    connect(&m_Thread, &QThread::finished, m_Worker, &QObject::deleteLater);
    connect(m_Worker, &TransferWorker::packetReady, this, &FileTransfer::deliver);
    connect(m_Worker, &TransferWorker::offerReceived, this, &FileTransfer::offerReceived);
    connect(m_Worker, &TransferWorker::offerAnswered, this, &FileTransfer::offerAnswered);
    connect(m_Worker, &TransferWorker::acceptRefused, this, &FileTransfer::acceptRefused);
    connect(m_Worker, &TransferWorker::progress, this, &FileTransfer::progress);
    connect(m_Worker, &TransferWorker::fileFinished, this, &FileTransfer::fileFinished);
    connect(m_Worker, &TransferWorker::fileFailed, this, &FileTransfer::fileFailed);
    connect(m_Worker, &TransferWorker::transferEnded, this, &FileTransfer::transferEnded);
    m_Thread.setObjectName(QStringLiteral("file transfer"));
    m_Thread.start();
}

FileTransfer::~FileTransfer()
{
    m_Thread.quit();
    m_Thread.wait();
}

bool FileTransfer::start()
{
    bool listening = false;
    QMetaObject::invokeMethod(
        m_Worker, [this, &listening] { listening = m_Worker->listen(); }, Qt::BlockingQueuedConnection);
    return listening;
}

quint16 FileTransfer::servingPort() const
{
    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_Worker, [this, &port] { port = m_Worker->servingPort(); }, Qt::BlockingQueuedConnection);
    return port;
}

void FileTransfer::setIdentity(const QByteArray &address, const QByteArray &nickname)
{
    QMetaObject::invokeMethod(m_Worker, [w = m_Worker, address, nickname] { w->setIdentity(address, nickname); });
}

QByteArray FileTransfer::offer(const QByteArray &recipient, const QStringList &paths)
{
    const QByteArray id = TransferPacket::newOfferId();
    QMetaObject::invokeMethod(m_Worker, [w = m_Worker, id, recipient, paths] { w->offer(id, recipient, paths); });
    return id;
}

void FileTransfer::accept(const QByteArray &id, const QString &folder)
{
    QMetaObject::invokeMethod(m_Worker, [w = m_Worker, id, folder] { w->accept(id, folder); });
}

void FileTransfer::decline(const QByteArray &id)
{
    QMetaObject::invokeMethod(m_Worker, [w = m_Worker, id] { w->decline(id); });
}

void FileTransfer::cancel(const QByteArray &id)
{
    QMetaObject::invokeMethod(m_Worker, [w = m_Worker, id] { w->cancel(id); });
}

void FileTransfer::handlePacket(const QByteArray &packet)
{
    QMetaObject::invokeMethod(m_Worker, [w = m_Worker, packet] { w->handlePacket(packet); });
}

// Packets leave through the console's transport on this thread, as every other packet does.
void FileTransfer::deliver(const QByteArray &address, const QByteArray &packet, const QByteArray &id, bool isOffer)
{
    if (m_Transport.SendDirect(address, packet) < 0 && isOffer)
        QMetaObject::invokeMethod(m_Worker, [w = m_Worker, id] { w->offerUndelivered(id); });
}
