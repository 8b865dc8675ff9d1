#include "admin/transfer/FileTransfer.h"

#include "admin/transfer/TransferPacket.h"
#include "admin/transfer/TransferWorker.h"
#include "engine/PacketTransport.h"

FileTransfer::FileTransfer(PacketTransport &transport, const Transfer::Endpoints &endpoints,
                           const Transfer::Limits &limits, QObject *parent)
    : QObject(parent), transport_(transport), worker_(new TransferWorker(endpoints, limits))
{
    qRegisterMetaType<Transfer::IncomingOffer>();
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &TransferWorker::packetReady, this, &FileTransfer::deliver);
    connect(worker_, &TransferWorker::offerReceived, this, &FileTransfer::offerReceived);
    connect(worker_, &TransferWorker::offerAnswered, this, &FileTransfer::offerAnswered);
    connect(worker_, &TransferWorker::acceptRefused, this, &FileTransfer::acceptRefused);
    connect(worker_, &TransferWorker::progress, this, &FileTransfer::progress);
    connect(worker_, &TransferWorker::fileFinished, this, &FileTransfer::fileFinished);
    connect(worker_, &TransferWorker::fileFailed, this, &FileTransfer::fileFailed);
    connect(worker_, &TransferWorker::transferEnded, this, &FileTransfer::transferEnded);
    thread_.setObjectName(QStringLiteral("file transfer"));
    thread_.start();
}

FileTransfer::~FileTransfer()
{
    thread_.quit();
    thread_.wait();
}

bool FileTransfer::start()
{
    bool listening = false;
    QMetaObject::invokeMethod(
        worker_, [this, &listening] { listening = worker_->listen(); }, Qt::BlockingQueuedConnection);
    return listening;
}

quint16 FileTransfer::servingPort() const
{
    quint16 port = 0;
    QMetaObject::invokeMethod(
        worker_, [this, &port] { port = worker_->servingPort(); }, Qt::BlockingQueuedConnection);
    return port;
}

void FileTransfer::setIdentity(const QByteArray &address, const QByteArray &nickname)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, address, nickname] { w->setIdentity(address, nickname); });
}

QByteArray FileTransfer::offer(const QByteArray &recipient, const QStringList &paths)
{
    const QByteArray id = TransferPacket::newOfferId();
    QMetaObject::invokeMethod(worker_, [w = worker_, id, recipient, paths] { w->offer(id, recipient, paths); });
    return id;
}

void FileTransfer::accept(const QByteArray &id, const QString &folder)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, id, folder] { w->accept(id, folder); });
}

void FileTransfer::decline(const QByteArray &id)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, id] { w->decline(id); });
}

void FileTransfer::cancel(const QByteArray &id)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, id] { w->cancel(id); });
}

void FileTransfer::handlePacket(const QByteArray &packet)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, packet] { w->handlePacket(packet); });
}

// Packets leave through the console's transport on this thread, as every other packet does.
void FileTransfer::deliver(const QByteArray &address, const QByteArray &packet, const QByteArray &id, bool isOffer)
{
    if (transport_.SendDirect(address, packet) < 0 && isOffer)
        QMetaObject::invokeMethod(worker_, [w = worker_, id] { w->offerUndelivered(id); });
}
