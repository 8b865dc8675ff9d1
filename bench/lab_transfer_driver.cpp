// The two ends of the lab's file transfer benchmark (bench/lab_transfer.sh), run in two network namespaces:
//   lab_transfer_driver receive OWN_ADDRESS FOLDER     accepts the first offer into FOLDER; prints
//                                                      "bytes seconds outcome peak_kB" (accept to end)
//   lab_transfer_driver send OWN_ADDRESS PEER FILE     offers FILE to PEER; prints "outcome peak_kB"
//   lab_transfer_driver raw-sink PORT FILE             one connection read to its end into FILE with a
//                                                      256 KB buffer; prints "bytes seconds peak_kB"
//   lab_transfer_driver raw-send ADDRESS PORT FILE     FILE through one plain blocking write loop
// Both transfer ends run the console's socket engine on port 3289 for the offer and its answer.
#include "admin/transfer/FileTransfer.h"
#include "engine/NoticeSink.h"
#include "engine/Packet.h"
#include "engine/SocketEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t Chunk = 256 * 1024;

struct PrintedNotices final : NoticeSink
{
    void ShowNotice(const QByteArray &text, const QByteArray &caption) override
    {
        std::fprintf(stderr, "notice %s: %s\n", caption.constData(), text.toHex().constData());
    }
};

// The most resident memory the process has had, from the kernel's own count.
long peakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

const char *outcomeName(Transfer::Outcome outcome)
{
    switch (outcome) {
    case Transfer::Outcome::Completed:
        return "completed";
    case Transfer::Outcome::Declined:
        return "declined";
    case Transfer::Outcome::Cancelled:
        return "cancelled";
    case Transfer::Outcome::Failed:
        return "failed";
    }
    return "?";
}

struct Host
{
    explicit Host(const QByteArray &address) : socketEngine(notices), transfer(socketEngine)
    {
        socketEngine.StartSocketEngine();
        socketEngine.registerAction(SocketEngine::Transport::Tcp, Packet::CMD_FILE_TRANSFER,
                                    [this](const QByteArray &packet) { transfer.handlePacket(packet); });
        if (!transfer.start())
            std::fprintf(stderr, "cannot serve files\n");
        transfer.setIdentity(address, "bench");
    }
    PrintedNotices notices;
    SocketEngine socketEngine;
    FileTransfer transfer;
};

int receive(const QByteArray &address, const QString &folder)
{
    Host host(address);
    QElapsedTimer clock;
    qint64 bytes = 0;
    QObject::connect(&host.transfer, &FileTransfer::offerReceived, &host.transfer,
                     [&](const Transfer::IncomingOffer &offer) {
                         for (const Transfer::OfferedFile &file : offer.files)
                             bytes += file.size;
                         clock.start();
                         host.transfer.accept(offer.id, folder);
                     });
    QObject::connect(&host.transfer, &FileTransfer::transferEnded, &host.transfer,
                     [&](const QByteArray &, Transfer::Direction, Transfer::Outcome outcome) {
                         std::printf("%lld %.6f %s %ld\n", bytes, clock.nsecsElapsed() / 1e9, outcomeName(outcome),
                                     peakKilobytes());
                         std::fflush(stdout);
                         QCoreApplication::exit(outcome == Transfer::Outcome::Completed ? 0 : 1);
                     });
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

int send(const QByteArray &address, const QByteArray &peer, const QString &file)
{
    Host host(address);
    QObject::connect(&host.transfer, &FileTransfer::transferEnded, &host.transfer,
                     [&](const QByteArray &, Transfer::Direction, Transfer::Outcome outcome) {
                         std::printf("%s %ld\n", outcomeName(outcome), peakKilobytes());
                         std::fflush(stdout);
                         QCoreApplication::exit(outcome == Transfer::Outcome::Completed ? 0 : 1);
                     });
    host.transfer.offer(peer, {file});
    return QCoreApplication::exec();
}

sockaddr_in endpoint(const char *address, int port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    ::inet_pton(AF_INET, address, &to.sin_addr);
    return to;
}

int rawSink(int port, const char *path)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in any = endpoint("0.0.0.0", port);
    if (::bind(listener, reinterpret_cast<const sockaddr *>(&any), sizeof any) != 0 || ::listen(listener, 5) != 0) {
        std::perror("raw-sink");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const int peer = ::accept(listener, nullptr, nullptr);
    FILE *out = std::fopen(path, "wb");
    std::vector<char> buffer(Chunk);
    QElapsedTimer clock;
    clock.start();
    long long bytes = 0;
    for (ssize_t n; (n = ::read(peer, buffer.data(), buffer.size())) > 0; bytes += n)
        std::fwrite(buffer.data(), 1, size_t(n), out);
    std::fclose(out);
    std::printf("%lld %.6f %ld\n", bytes, clock.nsecsElapsed() / 1e9, peakKilobytes());
    return 0;
}

int rawSend(const char *address, int port, const char *path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in to = endpoint(address, port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        std::perror("raw-send");
        return 1;
    }
    FILE *in = std::fopen(path, "rb");
    std::vector<char> buffer(Chunk);
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
        for (size_t done = 0; done < n;) {
            const ssize_t w = ::write(fd, buffer.data() + done, n - done);
            if (w <= 0)
                return 1;
            done += size_t(w);
        }
    std::fclose(in);
    ::close(fd);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? argv[1] : "";
    if (mode == "receive" && argc == 4)
        return receive(argv[2], QString::fromLocal8Bit(argv[3]));
    if (mode == "send" && argc == 5)
        return send(argv[2], argv[3], QString::fromLocal8Bit(argv[4]));
    if (mode == "raw-sink" && argc == 4)
        return rawSink(std::atoi(argv[2]), argv[3]);
    if (mode == "raw-send" && argc == 5)
        return rawSend(argv[2], std::atoi(argv[3]), argv[4]);
    std::fprintf(stderr, "usage: lab_transfer_driver receive ADDRESS FOLDER | send ADDRESS PEER FILE | "
                         "raw-sink PORT FILE | raw-send ADDRESS PORT FILE\n");
    return 2;
}
