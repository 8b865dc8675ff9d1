#include "admin/transfer/FileTransfer.h"
#include "admin/transfer/SafeFileName.h"
#include "admin/transfer/Sha256.h"
#include "admin/transfer/TransferPacket.h"
#include "engine/Packet.h"
#include "engine/PacketTransport.h"
#include "tests/support/TransferPeers.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <algorithm>

#include <memory>

using namespace std::chrono_literals;
using Transfer::Direction;
using Transfer::Outcome;

namespace {

constexpr int Patience = 20000;

// The shared quick limits, and a stalled stream given up soon, though not too soon for a loaded machine.
Transfer::Limits transferLimits()
{
    Transfer::Limits limits = quickLimits();
    limits.stallTimeout = 2s;
    return limits;
}

struct Side
{
    explicit Side(quint16 fetchPort, const QByteArray &address = "127.0.0.1")
        : engine(transport, {0, fetchPort}, transferLimits())
    {
        engine.start();
        engine.setIdentity(address, "nick");
    }
    Outcome outcome(int i = 0) const { return ended.at(i).at(2).value<Outcome>(); }

    PeerTransport transport;
    FileTransfer engine;
    QSignalSpy offers{&engine, &FileTransfer::offerReceived};
    QSignalSpy answers{&engine, &FileTransfer::offerAnswered};
    QSignalSpy refusals{&engine, &FileTransfer::acceptRefused};
    QSignalSpy progress{&engine, &FileTransfer::progress};
    QSignalSpy finished{&engine, &FileTransfer::fileFinished};
    QSignalSpy failed{&engine, &FileTransfer::fileFailed};
    QSignalSpy ended{&engine, &FileTransfer::transferEnded};
};

// Relays fetch connections to the offering host; can cut the first one or hold it after some bytes.
class Relay final : public QObject
{
public:
    explicit Relay(quint16 upstream) : upstream_(upstream)
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *down = server.nextPendingConnection())
                relay(down);
        });
    }
    quint16 port() const { return server.serverPort(); }

    qint64 cutFirstAfter = -1;
    qint64 holdAfter = -1;
    QByteArrayList requests;
    qint64 relayed = 0;

private:
    void relay(QTcpSocket *down)
    {
        auto *up = new QTcpSocket(down);
        const int number = connections_++;
        auto passed = std::make_shared<qint64>(0);
        up->connectToHost(QHostAddress::LocalHost, upstream_);
        connect(down, &QTcpSocket::readyRead, up, [this, down, up] {
            const QByteArray bytes = down->readAll();
            requests.append(bytes);
            up->write(bytes);
        });
        connect(up, &QTcpSocket::readyRead, down, [this, down, up, number, passed] {
            if (holdAfter >= 0 && *passed >= holdAfter)
                return;
            // Never pass more than the hold or the cut allows, however much one read would bring.
            qint64 allowed = up->bytesAvailable();
            if (holdAfter >= 0)
                allowed = std::min(allowed, holdAfter - *passed);
            if (number == 0 && cutFirstAfter >= 0)
                allowed = std::min(allowed, cutFirstAfter - *passed);
            const QByteArray bytes = up->read(allowed);
            down->write(bytes);
            *passed += bytes.size();
            relayed += bytes.size();
            if (number == 0 && cutFirstAfter >= 0 && *passed >= cutFirstAfter) {
                down->abort();
                up->abort();
            }
        });
        connect(down, &QTcpSocket::disconnected, up, [up] { up->disconnectFromHost(); });
        connect(up, &QTcpSocket::disconnected, down, [down] { down->disconnectFromHost(); });
    }

    QTcpServer server;
    quint16 upstream_;
    int connections_ = 0;
};

// An offering host that answers every fetch with the bytes given, then keeps the connection open.
class ScriptedHost final : public QObject
{
public:
    explicit ScriptedHost(QByteArray answer) : answer_(std::move(answer))
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (socket->readAll().contains('\n'))
                        socket->write(answer_);
                });
        });
    }
    QTcpServer server;

private:
    QByteArray answer_;
};

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i + 4 <= size; i += 4)
        qToLittleEndian(QRandomGenerator::global()->generate(), bytes.data() + i);
    for (qsizetype i = size & ~qsizetype(3); i < size; ++i)
        bytes[i] = char(i);
    return bytes;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Every file below `root`, relative to it, sorted.
QStringList filesBelow(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(root).relativeFilePath(it.next()));
    found.sort();
    return found;
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestFileTransfer : public QObject
{
    Q_OBJECT

    // Two engines on loopback, linked by their packets; the recipient fetches from the sender directly or
    // through a relay that can break the stream.
    struct Pair
    {
        explicit Pair(bool relayed = false)
            : sender(std::make_unique<Side>(0)),
              relay(relayed ? std::make_unique<Relay>(sender->engine.servingPort()) : nullptr),
              receiver(std::make_unique<Side>(relayed ? relay->port() : sender->engine.servingPort()))
        {
            sender->transport.peer = &receiver->engine;
            receiver->transport.peer = &sender->engine;
        }
        // Offers the files to the recipient and waits until it has seen the offer.
        QByteArray offer(const QStringList &paths)
        {
            const QByteArray id = sender->engine.offer("127.0.0.1", paths);
            if (!QTest::qWaitFor([this] { return receiver->offers.count() > 0; }, Patience))
                return {};
            return id;
        }
        std::unique_ptr<Side> sender;
        std::unique_ptr<Relay> relay;
        std::unique_ptr<Side> receiver;
    };

private Q_SLOTS:
    void packets_data();
    void packets();
    void requests();
    void safeNames_data();
    void safeNames();
    void unusedNames();
    void filesArriveWhole();
    void decline();
    void cancel_data();
    void cancel();
    void resumeAfterCut();
    void hostileOffers_data();
    void hostileOffers();
    void servesOnlyWhatWasOffered();
    void refusesWithoutSpace();
    void offersBoundedPerHost();
};

void TestFileTransfer::packets_data()
{
    using TransferPacket::Kind;
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("valid");
    const QByteArray id(32, 'a');
    const QByteArray sha(64, '0');
    const auto offer = [&](const QByteArrayList &tail) {
        return Packet::build(Packet::CMD_FILE_TRANSFER, QByteArrayList{"10.0.0.1", "nick", "1", id} + tail);
    };
    QTest::newRow("offer") << offer({"2", "a.txt", "0", sha, "\xa4\xa4.doc", "123", sha}) << true;
    QTest::newRow("accept") << Packet::build(20, {"10.0.0.1", "nick", "2", id}) << true;
    QTest::newRow("cancel") << Packet::build(20, {"10.0.0.1", "nick", "4", id}) << true;
    QTest::newRow("accept with more") << Packet::build(20, {"10.0.0.1", "nick", "2", id, "x"}) << false;
    QTest::newRow("unknown kind") << Packet::build(20, {"10.0.0.1", "nick", "5", id}) << false;
    QTest::newRow("other command") << Packet::build(5, {"10.0.0.1", "nick", "2", id}) << false;
    QTest::newRow("short id") << Packet::build(20, {"10.0.0.1", "nick", "2", id.left(31)}) << false;
    QTest::newRow("upper-case id") << Packet::build(20, {"10.0.0.1", "nick", "2", QByteArray(32, 'A')}) << false;
    QTest::newRow("count too high") << offer({"2", "a.txt", "0", sha}) << false;
    QTest::newRow("no files") << offer({"0"}) << false;
    QTest::newRow("negative size") << offer({"1", "a.txt", "-1", sha}) << false;
    QTest::newRow("signed size") << offer({"1", "a.txt", "+1", sha}) << false;
    QTest::newRow("huge size") << offer({"1", "a.txt", "99999999999999999999", sha}) << false;
    QTest::newRow("empty name") << offer({"1", "", "1", sha}) << false;
    QTest::newRow("bad hash") << offer({"1", "a.txt", "1", QByteArray(63, '0')}) << false;
    QByteArrayList many{"257"};
    for (int i = 0; i < 257; ++i)
        many << "f"
             << "1" << sha;
    QTest::newRow("too many files") << offer(many) << false;
    QTest::newRow("not framed") << offer({"1", "a.txt", "1", sha}).chopped(1) << false;
}

void TestFileTransfer::packets()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, valid);
    const auto message = TransferPacket::parse(packet);
    QCOMPARE(message.has_value(), valid);
    if (valid)
        QCOMPARE(TransferPacket::build(*message), packet);
}

void TestFileTransfer::requests()
{
    const TransferPacket::FetchRequest request{QByteArray(32, 'b'), 3, 1234567890123};
    const QByteArray line = TransferPacket::buildRequest(request);
    QVERIFY(line.endsWith('\n'));
    const auto parsed = TransferPacket::parseRequest(line.chopped(1));
    QVERIFY(parsed);
    QCOMPARE(parsed->offerId, request.offerId);
    QCOMPARE(parsed->index, 3);
    QCOMPARE(parsed->offset, request.offset);
    for (const QByteArray &bad : {QByteArray("PLFETCH x 0 0"), "PLFETCH " + QByteArray(32, 'b') + " -1 0",
                                  "PLFETCH " + QByteArray(32, 'b') + " 256 0", "PLFETCH " + QByteArray(32, 'b') + " 0"})
        QVERIFY2(!TransferPacket::parseRequest(bad), bad.constData());
    QCOMPARE(TransferPacket::parseAnswer("OK 12"), std::optional<qint64>(12));
    QVERIFY(!TransferPacket::parseAnswer("NO"));
    QVERIFY(!TransferPacket::parseAnswer("OK -3"));
    QVERIFY(TransferPacket::isOfferId(TransferPacket::newOfferId()));
    QVERIFY(TransferPacket::newOfferId() != TransferPacket::newOfferId());

    // The digest that files are checked by, fed in pieces, against Qt's own.
    const QByteArray bytes = randomBytes(100000);
    Sha256 hash;
    hash.addData(bytes.left(1));
    hash.addData(bytes.mid(1));
    QCOMPARE(hash.hexResult(), sha256Hex(bytes));
    QCOMPARE(hash.hexResult(), sha256Hex({}));
}

void TestFileTransfer::safeNames_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("reduced");
    QTest::newRow("plain") << u"報告.doc"_qs << u"報告.doc"_qs;
    QTest::newRow("parent folders") << u"../../.bashrc"_qs << u"bashrc"_qs;
    QTest::newRow("absolute") << u"/etc/passwd"_qs << u"passwd"_qs;
    QTest::newRow("backslashes") << u"C:\\Windows\\win.ini"_qs << u"win.ini"_qs;
    QTest::newRow("only dots") << u".."_qs << u"file"_qs;
    QTest::newRow("trailing slash") << u"folder/"_qs << u"file"_qs;
    QTest::newRow("controls") << u"a\nb\x01\x7f.txt"_qs << u"a_b__.txt"_qs;
    QTest::newRow("refused by other systems") << u"a<b>:c?.txt"_qs << u"a_b__c_.txt"_qs;
    QTest::newRow("leading spaces and dots") << u" . .x"_qs << u"x"_qs;
}

void TestFileTransfer::safeNames()
{
    QFETCH(QString, offered);
    QFETCH(QString, reduced);
    QCOMPARE(SafeFileName::reduce(offered), reduced);
}

void TestFileTransfer::unusedNames()
{
    const QString long_ = QString(300, u'中') + u".txt"_qs;
    const QString cut = SafeFileName::reduce(long_);
    QVERIFY(cut.toUtf8().size() <= SafeFileName::MaxBytes);
    QVERIFY(cut.endsWith(u"中.txt"_qs));

    QTemporaryDir dir;
    const QDir folder(dir.path());
    QCOMPARE(SafeFileName::unused(folder, u"名稱.ext"_qs), u"名稱.ext"_qs);
    writeFile(folder.filePath(u"名稱.ext"_qs), "x");
    QCOMPARE(SafeFileName::unused(folder, u"名稱.ext"_qs), u"名稱 (1).ext"_qs);
    writeFile(folder.filePath(u"名稱 (1).ext"_qs), "x");
    QCOMPARE(SafeFileName::unused(folder, u"名稱.ext"_qs), u"名稱 (2).ext"_qs);
    QVERIFY(QFile::link(u"/nonexistent/target"_qs, folder.filePath(u"dangling"_qs)));
    QCOMPARE(SafeFileName::unused(folder, u"dangling"_qs), u"dangling (1)"_qs);
}

// Empty, one-byte and multi-megabyte files of one offer arrive byte for byte; a name already taken in the
// folder gets the next free one and the file there is left alone.
void TestFileTransfer::filesArriveWhole()
{
    QTemporaryDir source, target;
    const QList<QByteArray> contents{{}, "x", randomBytes(3 * 1024 * 1024 + 7)};
    const QStringList names{u"空.txt"_qs, u"one.bin"_qs, u"big.dat"_qs};
    QStringList paths;
    for (int i = 0; i < names.size(); ++i)
        paths.append(writeFile(QDir(source.path()).filePath(names[i]), contents[i]));
    writeFile(QDir(target.path()).filePath(u"one.bin"_qs), "mine");

    Pair pair;
    const QByteArray id = pair.offer(paths);
    QVERIFY(!id.isEmpty());
    const auto offer = pair.receiver->offers.at(0).at(0).value<Transfer::IncomingOffer>();
    QCOMPARE(offer.id, id);
    QCOMPARE(offer.nickname, QByteArray("nick"));
    QCOMPARE(offer.files.size(), 3);
    QCOMPARE(offer.files[1].name, u"one.bin"_qs);
    QCOMPARE(offer.files[2].size, contents[2].size());
    QVERIFY(filesBelow(target.path()) == QStringList{u"one.bin"_qs}); // nothing before the answer

    pair.receiver->engine.accept(id, target.path());
    QTRY_COMPARE_WITH_TIMEOUT(pair.receiver->ended.count(), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(pair.sender->ended.count(), 1, Patience);
    QCOMPARE(pair.receiver->outcome(), Outcome::Completed);
    QCOMPARE(pair.sender->outcome(), Outcome::Completed);
    QCOMPARE(pair.sender->answers.count(), 1);
    QCOMPARE(pair.sender->answers.at(0).at(1).toBool(), true);
    QCOMPARE(pair.receiver->finished.count(), 3);
    QCOMPARE(pair.sender->finished.count(), 3);

    const QDir folder(target.path());
    QCOMPARE(filesBelow(target.path()), (QStringList{u"big.dat"_qs, u"one (1).bin"_qs, u"one.bin"_qs, u"空.txt"_qs}));
    QCOMPARE(readFile(folder.filePath(u"空.txt"_qs)), contents[0]);
    QCOMPARE(readFile(folder.filePath(u"one (1).bin"_qs)), contents[1]);
    QCOMPARE(readFile(folder.filePath(u"one.bin"_qs)), QByteArray("mine"));
    QVERIFY(readFile(folder.filePath(u"big.dat"_qs)) == contents[2]);

    // Both sides report the last file's progress up to its size.
    for (Side *side : {pair.sender.get(), pair.receiver.get()}) {
        const QList<QVariant> last = side->progress.last();
        QCOMPARE(last.at(2).toInt(), 2);
        QCOMPARE(last.at(3).toLongLong(), contents[2].size());
        QCOMPARE(last.at(4).toLongLong(), contents[2].size());
    }
}

void TestFileTransfer::decline()
{
    QTemporaryDir source, target;
    Pair pair;
    const QByteArray id = pair.offer({writeFile(QDir(source.path()).filePath(u"a.txt"_qs), "abc")});
    QVERIFY(!id.isEmpty());
    pair.receiver->engine.decline(id);
    QTRY_COMPARE_WITH_TIMEOUT(pair.sender->ended.count(), 1, Patience);
    QCOMPARE(pair.sender->outcome(), Outcome::Declined);
    QCOMPARE(pair.sender->answers.at(0).at(1).toBool(), false);
    QTRY_COMPARE_WITH_TIMEOUT(pair.receiver->ended.count(), 1, Patience);
    QCOMPARE(pair.receiver->outcome(), Outcome::Declined);
    // A declined offer can no longer be accepted.
    pair.receiver->engine.accept(id, target.path());
    QTRY_COMPARE_WITH_TIMEOUT(pair.receiver->refusals.count(), 1, Patience);
    QVERIFY(filesBelow(target.path()).isEmpty());
}

void TestFileTransfer::cancel_data()
{
    QTest::addColumn<bool>("bySender");
    QTest::newRow("by the sender") << true;
    QTest::newRow("by the recipient") << false;
}

// A transfer held half-way is cancelled: both sides end, the partial file goes.
void TestFileTransfer::cancel()
{
    QFETCH(bool, bySender);
    QTemporaryDir source, target;
    Pair pair(true);
    pair.relay->holdAfter = 1024 * 1024;
    const QByteArray id = pair.offer({writeFile(QDir(source.path()).filePath(u"big.dat"_qs), randomBytes(4 << 20))});
    QVERIFY(!id.isEmpty());
    pair.receiver->engine.accept(id, target.path());
    QTRY_VERIFY_WITH_TIMEOUT(
        !pair.receiver->progress.isEmpty() && pair.receiver->progress.last().at(3).toLongLong() > 0, Patience);
    QCOMPARE(filesBelow(target.path()), QStringList{u"big.dat.part"_qs});

    (bySender ? pair.sender : pair.receiver)->engine.cancel(id);
    QTRY_COMPARE_WITH_TIMEOUT(pair.receiver->ended.count(), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(pair.sender->ended.count(), 1, Patience);
    QCOMPARE(pair.receiver->outcome(), Outcome::Cancelled);
    QCOMPARE(pair.sender->outcome(), Outcome::Cancelled);
    QVERIFY(filesBelow(target.path()).isEmpty());
}

// The first fetch is cut after a megabyte; the next one asks from where the partial file ends.
void TestFileTransfer::resumeAfterCut()
{
    QTemporaryDir source, target;
    const QByteArray content = randomBytes(6 << 20);
    Pair pair(true);
    pair.relay->cutFirstAfter = 1024 * 1024;
    const QByteArray id = pair.offer({writeFile(QDir(source.path()).filePath(u"big.dat"_qs), content)});
    QVERIFY(!id.isEmpty());
    pair.receiver->engine.accept(id, target.path());
    QTRY_COMPARE_WITH_TIMEOUT(pair.receiver->ended.count(), 1, Patience);
    QCOMPARE(pair.receiver->outcome(), Outcome::Completed);
    QVERIFY(readFile(QDir(target.path()).filePath(u"big.dat"_qs)) == content);
    QVERIFY(pair.relay->requests.size() >= 2);
    QVERIFY(pair.relay->requests.first().endsWith(" 0 0\n"));
    QVERIFY(!pair.relay->requests.last().endsWith(" 0 0\n"));
    QVERIFY2(pair.relay->relayed < content.size() + content.size() / 2, "the second fetch started over");
}

void TestFileTransfer::hostileOffers_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("content"); // what the offer promises
    QTest::addColumn<QByteArray>("answer");  // what the offering host then sends
    QTest::addColumn<QString>("saved");      // the file that may appear, empty for none
    const QByteArray ten("0123456789");
    QTest::newRow("parent folders") << QByteArray("../../escape.txt") << ten << "OK 10\n" + ten << u"escape.txt"_qs;
    QTest::newRow("absolute path") << QByteArray("/tmp/absolute.txt") << ten << "OK 10\n" + ten << u"absolute.txt"_qs;
    QTest::newRow("hidden") << QByteArray(".profile") << ten << "OK 10\n" + ten << u"profile"_qs;
    QTest::newRow("more bytes than offered") << QByteArray("a.txt") << ten << "OK 10\n" + ten + "extra" << QString();
    QTest::newRow("another count") << QByteArray("a.txt") << ten << "OK 11\n" + ten + "x" << QString();
    QTest::newRow("other content") << QByteArray("a.txt") << ten << QByteArray("OK 10\n9876543210") << QString();
    QTest::newRow("stream stops") << QByteArray("a.txt") << ten << QByteArray("OK 10\n01234") << QString();
    QTest::newRow("refused") << QByteArray("a.txt") << ten << QByteArray("NO\n") << QString();
}

// Offers from a host that lies: nothing lands outside the chosen folder, and a file that is not what was
// offered leaves nothing behind.
void TestFileTransfer::hostileOffers()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, answer);
    QFETCH(QString, saved);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(u"in/chosen"_qs));
    const QString chosen = root.filePath(u"in/chosen"_qs);

    ScriptedHost host(answer);
    PeerTransport silent;
    FileTransfer receiver(silent, {0, host.server.serverPort()}, transferLimits());
    QVERIFY(receiver.start());
    QSignalSpy ended(&receiver, &FileTransfer::transferEnded);
    const QByteArray id = TransferPacket::newOfferId();
    receiver.handlePacket(TransferPacket::build(
        {TransferPacket::Kind::Offer, "127.0.0.1", "evil", id, {{name, content.size(), sha256Hex(content)}}}));
    // An offer alone writes nothing.
    QTest::qWait(50);
    QVERIFY(filesBelow(root.path()).isEmpty());

    receiver.accept(id, chosen);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Patience);
    QCOMPARE(ended.at(0).at(2).value<Outcome>(), saved.isEmpty() ? Outcome::Failed : Outcome::Completed);
    QCOMPARE(filesBelow(root.path()), saved.isEmpty() ? QStringList{} : QStringList{u"in/chosen/"_qs + saved});
}

// The sender answers a fetch only for an open offer, an offered index and the host it was offered to.
void TestFileTransfer::servesOnlyWhatWasOffered()
{
    QTemporaryDir source;
    PeerTransport nowhere;
    nowhere.result = 0;
    FileTransfer sender(nowhere, {0, 0}, transferLimits());
    QVERIFY(sender.start());
    sender.setIdentity("127.0.0.1", "nick");
    const QString path = writeFile(QDir(source.path()).filePath(u"a.txt"_qs), "secret");
    const QByteArray toOther = sender.offer("127.0.0.2", {path});
    const QByteArray toLoopback = sender.offer("127.0.0.1", {path});
    QTRY_COMPARE_WITH_TIMEOUT(nowhere.sent.size(), 2, Patience);

    const auto fetch = [&](const QByteArray &id, int index) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, sender.servingPort());
        if (!socket.waitForConnected(Patience))
            return QByteArray("<no connection>");
        socket.write(TransferPacket::buildRequest({id, index, 0}));
        QByteArray answer;
        while (socket.waitForReadyRead(2000) && !answer.contains("secret"))
            answer += socket.readAll();
        return answer + socket.readAll();
    };
    QCOMPARE(fetch(toLoopback, 0), QByteArray("OK 6\nsecret"));
    QCOMPARE(fetch(toOther, 0), QByteArray("NO\n"));
    QCOMPARE(fetch(toLoopback, 1), QByteArray("NO\n"));
    QCOMPARE(fetch(TransferPacket::newOfferId(), 0), QByteArray("NO\n"));
}

void TestFileTransfer::refusesWithoutSpace()
{
    QTemporaryDir target;
    PeerTransport silent;
    FileTransfer receiver(silent, {0, 1}, transferLimits());
    QVERIFY(receiver.start());
    QSignalSpy refusals(&receiver, &FileTransfer::acceptRefused);
    const QByteArray id = TransferPacket::newOfferId();
    receiver.handlePacket(TransferPacket::build(
        {TransferPacket::Kind::Offer, "127.0.0.1", "evil", id, {{"huge.iso", qint64(1) << 49, QByteArray(64, '0')}}}));
    QTest::qWait(50);
    receiver.accept(id, target.path());
    QTRY_COMPARE_WITH_TIMEOUT(refusals.count(), 1, Patience);
    QCOMPARE(refusals.at(0).at(1).value<Transfer::Refusal>(), Transfer::Refusal::NotEnoughSpace);
    receiver.accept(id, target.filePath(u"missing"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(refusals.count(), 2, Patience);
    QCOMPARE(refusals.at(1).at(1).value<Transfer::Refusal>(), Transfer::Refusal::FolderUnusable);
    QVERIFY(filesBelow(target.path()).isEmpty());
    QVERIFY(silent.sent.isEmpty());
}

// A host that offers again and again holds a few places only; the others keep theirs.
void TestFileTransfer::offersBoundedPerHost()
{
    PeerTransport silent;
    FileTransfer receiver(silent, {0, 0}, transferLimits());
    QSignalSpy offers(&receiver, &FileTransfer::offerReceived);
    const auto offerFrom = [&](const QByteArray &address) {
        receiver.handlePacket(TransferPacket::build({TransferPacket::Kind::Offer,
                                                     address,
                                                     "nick",
                                                     TransferPacket::newOfferId(),
                                                     {{"a.txt", 1, QByteArray(64, 'a')}}}));
    };
    for (int i = 0; i < 10; ++i)
        offerFrom("10.0.0.1");
    offerFrom("10.0.0.2");
    QTRY_COMPARE_WITH_TIMEOUT(offers.count(), Transfer::Limits().maxIncomingOffersPerHost + 1, Patience);
    QTest::qWait(100);
    QCOMPARE(offers.count(), Transfer::Limits().maxIncomingOffersPerHost + 1);
    QCOMPARE(offers.constLast().at(0).value<Transfer::IncomingOffer>().address, QByteArray("10.0.0.2"));
}

QTEST_GUILESS_MAIN(TestFileTransfer)
#include "tst_filetransfer.moc"
