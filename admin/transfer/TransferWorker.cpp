#include "admin/transfer/TransferWorker.h"

#include "admin/transfer/BackgroundHash.h"
#include "admin/transfer/SafeFileName.h"
#include "admin/transfer/Sha256.h"
#include "base/Cp950.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QStorageInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

using namespace Transfer;
using TransferPacket::Kind;

namespace {

// The kernel keeps the stream moving while Qt's buffers stay small: memory is flat whatever the file size.
// A fetch reads the file's bytes from the kernel itself; the socket object only holds the answer line and
// what comes in before the next read, so its buffer is small.
constexpr qint64 FetchBufferBytes = 16 * 1024;
constexpr int ProgressIntervalMs = 100;
// The most a served file moves from the page cache to the socket in one turn of the event loop, so that a
// fast link does not keep the other transfers waiting.
constexpr qint64 MaxBytesPerTurn = 8 * 1024 * 1024;
constexpr qint64 MaxAnswerLine = 32;

std::optional<QHostAddress> ipv4(const QByteArray &text)
{
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(text)) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address;
}

bool sameHost(const QHostAddress &a, const QHostAddress &b)
{
    bool okA = false, okB = false;
    const quint32 v4a = a.toIPv4Address(&okA);
    const quint32 v4b = b.toIPv4Address(&okB);
    return okA && okB && v4a == v4b;
}

// Hashes a file from its start up to `length` bytes with a fixed buffer; false when it cannot be read.
bool hashFile(QFile &file, qint64 length, Sha256 &hash, std::vector<char> &buffer)
{
    while (length > 0) {
        const qint64 n = file.read(buffer.data(), std::min<qint64>(length, qint64(buffer.size())));
        if (n <= 0)
            return false;
        hash.addData(QByteArrayView(buffer.data(), n));
        length -= n;
    }
    return true;
}

// A deadline for a stream that goes quiet. A busy stream only notes the time of each piece; the timer is
// re-armed when it fires, not once per piece, which would cost more than the piece's own handling.
struct Watchdog
{
    QTimer *timer = nullptr;
    QElapsedTimer lastActivity;
    std::chrono::milliseconds limit{0};

    void arm(std::chrono::milliseconds newLimit)
    {
        limit = newLimit;
        lastActivity.start();
        timer->start(limit);
    }
    void feed() { lastActivity.start(); }
    // On the timer: true when the stream has really been quiet for the whole limit.
    bool expired()
    {
        const auto left = limit - std::chrono::milliseconds(lastActivity.elapsed());
        if (left.count() <= 0)
            return true;
        timer->start(left);
        return false;
    }
};

// A write to a socket the peer has closed raises SIGPIPE, which would end the program. This thread keeps
// it blocked, and a write that fails so takes the pending signal back before it can be delivered.
void blockPipeSignal()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

void takePendingPipeSignal()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec now{0, 0};
    while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
    }
}

} // namespace

struct TransferWorker::Outgoing
{
    QByteArray id;
    QByteArray recipientText;
    QHostAddress recipient;
    QStringList paths;
    QList<TransferPacket::File> files;
    QList<bool> served;
    bool answered = false;
    QDeadlineTimer quietUntil;
};

struct TransferWorker::Serving
{
    QTcpSocket *socket = nullptr;
    Watchdog stall;
    QByteArray line;
    QByteArray offerId;
    int index = -1;
    QFile file;
    qint64 position = 0;
    qint64 end = 0;
    // Says when the socket takes more of the file; the file's bytes bypass the socket object's buffer.
    QSocketNotifier *writable = nullptr;
    bool sentAll = false;
    // The recipient's receipt: every byte arrived and matched. A link that breaks after the last write is no
    // delivery, so only the receipt lets the offer end; without it the recipient may come back to resume.
    bool receipted = false;
    QElapsedTimer progressClock;
};

struct TransferWorker::Incoming
{
    TransferPacket::Message offer;
    QStringList names;
    QHostAddress sender;
    QDeadlineTimer quietUntil;
    bool accepted = false;
    QDir folder;
    int current = 0;
    int retries = 0;
    bool anyFailed = false;
    QString partPath;
    QFile part;
    std::unique_ptr<BackgroundHash> hash; // while fetching only
    QTcpSocket *socket = nullptr;
    Watchdog stall;
    QTimer *retry = nullptr;
    QByteArray header;
    qint64 announced = -1; // the byte count the offering host promised for this connection
    qint64 received = 0;   // bytes of the current file on disk
    QElapsedTimer progressClock;
};

TransferWorker::TransferWorker(const Endpoints &endpoints, const Limits &limits)
    : m_endpoints(endpoints), m_limits(limits), m_buffer(std::max<qint64>(limits.chunkBytes, 4096))
{
}

TransferWorker::~TransferWorker()
{
    for (auto &[id, in] : m_incoming)
        if (in->part.isOpen())
            in->part.close();
}

bool TransferWorker::listen()
{
    blockPipeSignal();
    m_server = new QTcpServer(this);
    m_server->setMaxPendingConnections(m_limits.maxServingConnections);
    connect(m_server, &QTcpServer::newConnection, this, &TransferWorker::acceptConnections);
    return m_server->listen(QHostAddress::AnyIPv4, m_endpoints.servePort);
}

quint16 TransferWorker::servingPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

void TransferWorker::setIdentity(const QByteArray &address, const QByteArray &nickname)
{
    m_ownAddress = address;
    m_ownNickname = nickname;
}

void TransferWorker::send(const QByteArray &address, Kind kind, const QByteArray &id)
{
    Q_EMIT packetReady(address, TransferPacket::build({kind, m_ownAddress, m_ownNickname, id, {}}), id, false);
}

bool TransferWorker::progressDue(QElapsedTimer &clock, qint64 done, qint64 total)
{
    if (done != total && clock.isValid() && clock.elapsed() < ProgressIntervalMs)
        return false;
    clock.start();
    return true;
}

void TransferWorker::purgeExpired()
{
    std::vector<QByteArray> quiet;
    for (const auto &[id, out] : m_outgoing)
        if (out->quietUntil.hasExpired() &&
            std::none_of(m_serving.begin(), m_serving.end(), [&](const auto &s) { return s.second->offerId == id; }))
            quiet.push_back(id);
    for (const QByteArray &id : quiet)
        endOutgoing(id, Outcome::Failed);
    quiet.clear();
    for (const auto &[id, in] : m_incoming)
        if (in->quietUntil.hasExpired())
            quiet.push_back(id);
    for (const QByteArray &id : quiet) {
        closeFetch(*m_incoming.at(id));
        endIncoming(id, Outcome::Failed);
    }
}

// ---- Offering side ----

void TransferWorker::offer(const QByteArray &id, const QByteArray &recipient, const QStringList &paths)
{
    purgeExpired();
    const std::optional<QHostAddress> address = ipv4(recipient);
    if (!address || paths.isEmpty() || paths.size() > m_limits.maxFilesPerOffer ||
        int(m_outgoing.size()) >= m_limits.maxOutgoingOffers || m_outgoing.count(id)) {
        Q_EMIT transferEnded(id, Direction::Sending, Outcome::Failed);
        return;
    }
    auto out = std::make_unique<Outgoing>();
    out->id = id;
    out->recipientText = recipient;
    out->recipient = *address;
    for (const QString &path : paths) {
        QFile file(path);
        Sha256 hash;
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) ||
            !hashFile(file, file.size(), hash, m_buffer)) {
            Q_EMIT transferEnded(id, Direction::Sending, Outcome::Failed);
            return;
        }
        const QByteArray name = cp950::encode(SafeFileName::reduce(QFileInfo(path).fileName()));
        out->files.append({name, file.size(), hash.hexResult()});
        out->paths.append(path);
        out->served.append(false);
    }
    out->quietUntil.setRemainingTime(m_limits.offerLifetime);
    const QByteArray packet = TransferPacket::build({Kind::Offer, m_ownAddress, m_ownNickname, id, out->files});
    m_outgoing[id] = std::move(out);
    Q_EMIT packetReady(recipient, packet, id, true);
}

void TransferWorker::offerUndelivered(const QByteArray &id)
{
    if (m_outgoing.count(id))
        endOutgoing(id, Outcome::Failed);
}

// By value: callers pass the id of the very record this erases.
void TransferWorker::endOutgoing(QByteArray id, Outcome outcome)
{
    std::vector<QTcpSocket *> sockets;
    for (const auto &[socket, serving] : m_serving)
        if (serving->offerId == id)
            sockets.push_back(socket);
    for (QTcpSocket *socket : sockets)
        dropServing(socket);
    if (m_outgoing.erase(id))
        Q_EMIT transferEnded(id, Direction::Sending, outcome);
}

void TransferWorker::acceptConnections()
{
    while (m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (int(m_serving.size()) >= m_limits.maxServingConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto serving = std::make_unique<Serving>();
        serving->socket = socket;
        serving->stall.timer = new QTimer(socket);
        serving->stall.timer->setSingleShot(true);
        serving->stall.arm(m_limits.connectTimeout);
        Serving *s = serving.get();
        m_serving[socket] = std::move(serving);
        connect(s->stall.timer, &QTimer::timeout, this, [this, s, socket] {
            if (s->stall.expired())
                dropServing(socket);
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, s] { readRequest(*s); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, s] { pump(*s); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { servingClosed(socket); });
        readRequest(*s);
    }
}

void TransferWorker::readRequest(Serving &serving)
{
    if (serving.index >= 0) {
        // After its request the recipient says one thing more: the receipt, once it holds the whole file.
        serving.line += serving.socket->read(TransferPacket::MaxRequestLine + 1 - serving.line.size());
        serving.receipted = serving.line.endsWith(TransferPacket::Receipt);
        return;
    }
    serving.line += serving.socket->read(TransferPacket::MaxRequestLine + 1 - serving.line.size());
    const qsizetype newline = serving.line.indexOf('\n');
    if (newline < 0) {
        if (serving.line.size() > TransferPacket::MaxRequestLine)
            dropServing(serving.socket);
        return;
    }
    const auto request = TransferPacket::parseRequest(QByteArrayView(serving.line).first(newline));
    if (!request || !startServing(serving, *request)) {
        serving.socket->write("NO\n");
        serving.socket->disconnectFromHost();
        return;
    }
    pump(serving);
}

// Only a file of an open offer, only to the host it was offered to, only from where it stood when offered.
bool TransferWorker::startServing(Serving &serving, const TransferPacket::FetchRequest &request)
{
    const auto it = m_outgoing.find(request.offerId);
    if (it == m_outgoing.end())
        return false;
    Outgoing &out = *it->second;
    if (!sameHost(serving.socket->peerAddress(), out.recipient) || request.index >= out.files.size() ||
        request.offset > out.files[request.index].size)
        return false;
    serving.file.setFileName(out.paths[request.index]);
    if (!serving.file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !serving.file.seek(request.offset))
        return false;
    serving.line.clear();
    serving.offerId = request.offerId;
    serving.index = request.index;
    serving.position = request.offset;
    serving.end = out.files[request.index].size;
    serving.socket->write("OK " + QByteArray::number(serving.end - serving.position) + '\n');
    serving.writable = new QSocketNotifier(serving.socket->socketDescriptor(), QSocketNotifier::Write, serving.socket);
    serving.writable->setEnabled(false);
    Serving *s = &serving;
    connect(serving.writable, &QSocketNotifier::activated, this, [this, s] {
        s->writable->setEnabled(false);
        pump(*s);
    });
    serving.stall.arm(m_limits.stallTimeout);
    out.quietUntil.setRemainingTime(m_limits.offerLifetime);
    markAccepted(out);
    return true;
}

// The answer and the first fetch travel separately; whichever arrives first tells that the offer was taken.
void TransferWorker::markAccepted(Outgoing &out)
{
    if (out.answered)
        return;
    out.answered = true;
    Q_EMIT offerAnswered(out.id, true);
}

void TransferWorker::pump(Serving &serving)
{
    if (serving.index < 0)
        return;
    serving.stall.feed();
    // The answer line leaves through the socket object first; the file follows it straight from the page
    // cache, without a copy through this process.
    if (serving.socket->bytesToWrite() > 0)
        return;
    qint64 turn = 0;
    while (serving.position < serving.end) {
        if (turn >= MaxBytesPerTurn) {
            serving.writable->setEnabled(true);
            break;
        }
        off_t offset = serving.position;
        const ssize_t n = ::sendfile(int(serving.socket->socketDescriptor()), serving.file.handle(), &offset,
                                     size_t(std::min(serving.end - serving.position, MaxBytesPerTurn - turn)));
        if (n > 0) {
            serving.position += n;
            turn += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            serving.writable->setEnabled(true);
            break;
        }
        // The file shrank since it was offered (the recipient sees the stream end short), or the link is gone.
        takePendingPipeSignal();
        dropServing(serving.socket);
        return;
    }
    if (progressDue(serving.progressClock, serving.position, serving.end))
        Q_EMIT progress(serving.offerId, Direction::Sending, serving.index, serving.position, serving.end);
    serving.sentAll = serving.position == serving.end;
}

// The recipient closes once it holds every byte; only then does a file count as delivered.
void TransferWorker::servingClosed(QTcpSocket *socket)
{
    const auto it = m_serving.find(socket);
    if (it == m_serving.end())
        return;
    // The receipt may come with the close itself, before its readyRead was handled.
    readRequest(*it->second);
    const QByteArray id = it->second->offerId;
    const int index = it->second->index;
    const bool delivered = it->second->sentAll && it->second->receipted;
    dropServing(socket);
    const auto out = m_outgoing.find(id);
    if (!delivered || out == m_outgoing.end())
        return;
    out->second->served[index] = true;
    Q_EMIT fileFinished(id, Direction::Sending, index, out->second->paths[index]);
    if (!out->second->served.contains(false))
        endOutgoing(id, Outcome::Completed);
}

void TransferWorker::dropServing(QTcpSocket *socket)
{
    const auto it = m_serving.find(socket);
    if (it == m_serving.end())
        return;
    socket->disconnect(this);
    // Dropping may happen inside the notifier's own signal: it goes with its socket, quiet from now.
    if (QSocketNotifier *writable = it->second->writable) {
        writable->setEnabled(false);
        writable->disconnect(this);
    }
    it->second->stall.timer->stop();
    socket->abort();
    socket->deleteLater();
    m_serving.erase(it);
}

// ---- Receiving side ----

void TransferWorker::handlePacket(const QByteArray &packet)
{
    const std::optional<TransferPacket::Message> message = TransferPacket::parse(packet, m_limits.maxFilesPerOffer);
    if (!message)
        return;
    purgeExpired();
    const QByteArray &id = message->offerId;
    switch (message->kind) {
    case Kind::Offer:
        receiveOffer(*message);
        break;
    case Kind::Accept:
        if (const auto out = m_outgoing.find(id); out != m_outgoing.end())
            markAccepted(*out->second);
        break;
    case Kind::Decline:
        if (m_outgoing.count(id)) {
            Q_EMIT offerAnswered(id, false);
            endOutgoing(id, Outcome::Declined);
        }
        break;
    case Kind::Cancel:
        if (m_outgoing.count(id))
            endOutgoing(id, Outcome::Cancelled);
        if (m_incoming.count(id)) {
            closeFetch(*m_incoming.at(id));
            endIncoming(id, Outcome::Cancelled);
        }
        break;
    }
}

void TransferWorker::receiveOffer(const TransferPacket::Message &message)
{
    const std::optional<QHostAddress> sender = ipv4(message.address);
    if (!sender || m_incoming.count(message.offerId) || int(m_incoming.size()) >= m_limits.maxIncomingOffers)
        return;
    const auto fromSender = std::count_if(m_incoming.begin(), m_incoming.end(),
                                          [&](const auto &in) { return sameHost(in.second->sender, *sender); });
    if (fromSender >= m_limits.maxIncomingOffersPerHost)
        return;
    auto in = std::make_unique<Incoming>();
    in->offer = message;
    in->sender = *sender;
    in->quietUntil.setRemainingTime(m_limits.offerLifetime);
    IncomingOffer shown{message.offerId, message.address, message.nickname, {}};
    for (const TransferPacket::File &file : message.files) {
        in->names.append(SafeFileName::reduce(cp950::decode(file.name)));
        shown.files.append({in->names.back(), file.size});
    }
    in->stall.timer = new QTimer(this);
    in->stall.timer->setSingleShot(true);
    in->retry = new QTimer(this);
    in->retry->setSingleShot(true);
    Incoming *raw = in.get();
    connect(in->stall.timer, &QTimer::timeout, this, [this, raw] {
        if (raw->stall.expired())
            fetchBroken(*raw);
    });
    connect(in->retry, &QTimer::timeout, this, [this, raw] { beginFile(*raw); });
    m_incoming[message.offerId] = std::move(in);
    Q_EMIT offerReceived(shown);
}

void TransferWorker::accept(const QByteArray &id, const QString &folder)
{
    const auto it = m_incoming.find(id);
    if (it == m_incoming.end() || it->second->accepted) {
        Q_EMIT acceptRefused(id, Refusal::UnknownOffer);
        return;
    }
    Incoming &in = *it->second;
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable()) {
        Q_EMIT acceptRefused(id, Refusal::FolderUnusable);
        return;
    }
    qint64 total = 0;
    for (const TransferPacket::File &file : in.offer.files)
        total += file.size;
    if (QStorageInfo(folder).bytesAvailable() < total) {
        Q_EMIT acceptRefused(id, Refusal::NotEnoughSpace);
        return;
    }
    in.accepted = true;
    in.folder = QDir(info.absoluteFilePath());
    send(in.offer.address, Kind::Accept, id);
    beginFile(in);
}

void TransferWorker::decline(const QByteArray &id)
{
    const auto it = m_incoming.find(id);
    if (it == m_incoming.end() || it->second->accepted)
        return;
    send(it->second->offer.address, Kind::Decline, id);
    endIncoming(id, Outcome::Declined);
}

void TransferWorker::cancel(const QByteArray &id)
{
    if (const auto out = m_outgoing.find(id); out != m_outgoing.end()) {
        send(out->second->recipientText, Kind::Cancel, id);
        endOutgoing(id, Outcome::Cancelled);
    }
    if (const auto in = m_incoming.find(id); in != m_incoming.end()) {
        send(in->second->offer.address, Kind::Cancel, id);
        closeFetch(*in->second);
        endIncoming(id, Outcome::Cancelled);
    }
}

void TransferWorker::beginFile(Incoming &in)
{
    if (in.current >= in.offer.files.size()) {
        endIncoming(in.offer.offerId, in.anyFailed ? Outcome::Failed : Outcome::Completed);
        return;
    }
    if (!openPart(in)) {
        failFile(in);
        return;
    }
    in.header.clear();
    in.announced = -1;
    in.socket = new QTcpSocket(this);
    in.socket->setReadBufferSize(FetchBufferBytes);
    Incoming *raw = &in;
    connect(in.socket, &QTcpSocket::connected, this, [this, raw] {
        raw->socket->write(TransferPacket::buildRequest({raw->offer.offerId, raw->current, raw->received}));
        raw->stall.arm(m_limits.stallTimeout);
    });
    connect(in.socket, &QTcpSocket::readyRead, this, [this, raw] { fetchRead(*raw); });
    connect(in.socket, &QTcpSocket::disconnected, this, [this, raw] { fetchBroken(*raw); });
    connect(in.socket, &QTcpSocket::errorOccurred, this, [this, raw] { fetchBroken(*raw); });
    in.stall.arm(m_limits.connectTimeout);
    in.socket->connectToHost(in.sender, m_endpoints.fetchPort);
}

// The partial file is created beside where the file will end, never over anything; a later connection
// appends to it after hashing what it holds.
bool TransferWorker::openPart(Incoming &in)
{
    const TransferPacket::File &file = in.offer.files[in.current];
    if (in.partPath.isEmpty()) {
        const QString name = SafeFileName::unused(in.folder, in.names[in.current] + QStringLiteral(".part"));
        if (name.isEmpty())
            return false;
        in.partPath = in.folder.filePath(name);
        QFile created(in.partPath);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return false;
    }
    in.part.setFileName(in.partPath);
    if (!in.part.open(QIODevice::ReadWrite | QIODevice::Unbuffered) || in.part.size() > file.size)
        return false;
    in.received = in.part.size();
    if (in.hash)
        in.hash->hexResult(); // what a broken connection left half-hashed
    else
        in.hash = std::make_unique<BackgroundHash>();
    for (qint64 left = in.received; left > 0;) {
        QByteArray piece = in.part.read(std::min(left, m_limits.chunkBytes));
        if (piece.isEmpty())
            return false;
        left -= piece.size();
        in.hash->addData(std::move(piece));
    }
    return in.part.seek(in.received);
}

void TransferWorker::fetchRead(Incoming &in)
{
    if (!in.socket)
        return;
    in.stall.feed();
    if (in.announced < 0) {
        // The answer line alone: the file's bytes may follow it in the same read.
        if (!in.socket->canReadLine()) {
            if (in.socket->bytesAvailable() >= MaxAnswerLine)
                failFile(in);
            return;
        }
        in.header = in.socket->readLine(MaxAnswerLine);
        const qsizetype newline = in.header.indexOf('\n');
        if (newline < 0) {
            failFile(in);
            return;
        }
        const std::optional<qint64> count = TransferPacket::parseAnswer(QByteArrayView(in.header).first(newline));
        // A refusal, or a count that is not what remains of the offered size, ends this file.
        if (!count || *count != in.offer.files[in.current].size - in.received) {
            failFile(in);
            return;
        }
        in.announced = *count;
    }
    if (writeBody(in) && in.received == in.offer.files[in.current].size)
        completeFile(in);
}

// False when the file failed; more bytes than offered fail it.
bool TransferWorker::writeBody(Incoming &in)
{
    const qint64 size = in.offer.files[in.current].size;
    const int fd = int(in.socket->socketDescriptor());
    qint64 turn = 0;
    for (;;) {
        // What the socket object holds comes first, then the kernel's bytes straight into the piece, without
        // a copy through the socket object. One byte more than the file has left is asked for, so that a
        // host sending more than it offered is caught; asking the socket object for more than it holds also
        // lets it watch for more again, had its small buffer filled up.
        const qint64 buffered = in.socket->bytesAvailable();
        const qint64 want = std::min(m_limits.chunkBytes, size - in.received + 1);
        QByteArray piece = in.hash->spare(m_limits.chunkBytes);
        piece.resize(want);
        qint64 n = 0;
        if (buffered > 0) {
            n = in.socket->read(piece.data(), want);
        } else {
            if (turn >= MaxBytesPerTurn)
                break;
            n = ::recv(fd, piece.data(), size_t(want), 0);
            if (n < 0 && errno == EINTR)
                continue;
        }
        // Nothing more now; a closed or broken link is for the socket object to report.
        if (n <= 0)
            break;
        piece.resize(n);
        if (in.received + n > size || in.part.write(piece) != n) {
            failFile(in);
            return false;
        }
        in.received += n;
        turn += n;
        in.hash->addData(std::move(piece));
        in.retries = 0;
    }
    in.quietUntil.setRemainingTime(m_limits.offerLifetime);
    if (progressDue(in.progressClock, in.received, size))
        Q_EMIT progress(in.offer.offerId, Direction::Receiving, in.current, in.received, size);
    return true;
}

void TransferWorker::completeFile(Incoming &in)
{
    // Bytes past the end that came with the last read fail the file too; the close tells the host we are done.
    if (in.socket->bytesAvailable() > 0 || !in.part.flush()) {
        failFile(in);
        return;
    }
    in.part.close();
    if (in.hash->hexResult() != in.offer.files[in.current].sha256) {
        failFile(in);
        return;
    }
    in.socket->disconnect(this);
    // Five bytes leave at once; written now, they cannot be lost when the socket is deleted below.
    in.socket->write(TransferPacket::Receipt);
    in.socket->flush();
    in.socket->disconnectFromHost();
    in.socket->deleteLater();
    in.socket = nullptr;
    in.stall.timer->stop();
    // The rename never replaces: if the name was taken meanwhile, the next free one is tried.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString name = SafeFileName::unused(in.folder, in.names[in.current]);
        if (!name.isEmpty() && QFile::rename(in.partPath, in.folder.filePath(name))) {
            Q_EMIT fileFinished(in.offer.offerId, Direction::Receiving, in.current, in.folder.filePath(name));
            nextFile(in);
            return;
        }
    }
    failFile(in);
}

void TransferWorker::fetchBroken(Incoming &in)
{
    if (!in.socket)
        return;
    closeFetch(in);
    if (in.retries >= m_limits.maxRetries) {
        failFile(in);
        return;
    }
    ++in.retries;
    in.retry->start(m_limits.retryDelay);
}

void TransferWorker::failFile(Incoming &in)
{
    closeFetch(in);
    if (!in.partPath.isEmpty())
        QFile::remove(in.partPath);
    in.anyFailed = true;
    Q_EMIT fileFailed(in.offer.offerId, Direction::Receiving, in.current);
    // Later files go on from a fresh event, so a failure inside a socket's signal never nests deeper.
    in.retry->stop();
    ++in.current;
    in.partPath.clear();
    in.retries = 0;
    in.progressClock.invalidate();
    Incoming *raw = &in;
    QMetaObject::invokeMethod(
        this,
        [this, raw, id = in.offer.offerId] {
            if (m_incoming.count(id) && m_incoming.at(id).get() == raw)
                beginFile(*raw);
        },
        Qt::QueuedConnection);
}

void TransferWorker::nextFile(Incoming &in)
{
    ++in.current;
    in.partPath.clear();
    in.retries = 0;
    in.progressClock.invalidate();
    beginFile(in);
}

void TransferWorker::closeFetch(Incoming &in)
{
    in.stall.timer->stop();
    in.retry->stop();
    if (in.socket) {
        in.socket->disconnect(this);
        in.socket->abort();
        in.socket->deleteLater();
        in.socket = nullptr;
    }
    if (in.part.isOpen())
        in.part.close();
    in.hash.reset();
}

// By value: callers pass the id of the very record this erases.
void TransferWorker::endIncoming(QByteArray id, Outcome outcome)
{
    const auto it = m_incoming.find(id);
    if (it == m_incoming.end())
        return;
    Incoming &in = *it->second;
    closeFetch(in);
    // Cancelled or timed out midway: what was written of the unfinished file goes too.
    if (!in.partPath.isEmpty() && outcome != Outcome::Completed)
        QFile::remove(in.partPath);
    in.stall.timer->disconnect(this);
    in.retry->disconnect(this);
    in.stall.timer->deleteLater();
    in.retry->deleteLater();
    m_incoming.erase(it);
    Q_EMIT transferEnded(id, Direction::Receiving, outcome);
}
