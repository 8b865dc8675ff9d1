// The two ends of the lab's transfer benchmark (bench/lab_send.sh), run in two network namespaces:
//   lab_send_driver sink PORT COUNT        accepts COUNT connections one after the other and reads each to its
//                                          end; per connection one line "bytes sha256 seconds" (accept to end)
//   lab_send_driver message ADDRESS PORT FILE   the file through the message window's sender
//   lab_send_driver raw ADDRESS PORT FILE       the file through one plain blocking write loop
// Senders print the seconds they were blocked.
#include "engine/NoticeSink.h"
#include "messages/MessageSender.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

struct PrintedNotices final : NoticeSink
{
    void ShowNotice(const QByteArray &text, const QByteArray &caption) override
    {
        std::fprintf(stderr, "notice %s: %s\n", caption.constData(), text.toHex().constData());
    }
};

sockaddr_in endpoint(const char *address, int port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    ::inet_pton(AF_INET, address, &to.sin_addr);
    return to;
}

int sink(int port, int count)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in any = endpoint("0.0.0.0", port);
    if (::bind(listener, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0 || ::listen(listener, 4) != 0) {
        std::perror("sink");
        return 1;
    }
    std::fprintf(stderr, "ready\n");
    std::vector<char> buffer(256 * 1024);
    for (int i = 0; i < count; ++i) {
        const int peer = ::accept(listener, nullptr, nullptr);
        if (peer < 0)
            return 1;
        QElapsedTimer clock;
        clock.start();
        QCryptographicHash hash(QCryptographicHash::Sha256);
        qint64 bytes = 0;
        for (ssize_t n; (n = ::read(peer, buffer.data(), buffer.size())) > 0; bytes += n)
            hash.addData(QByteArrayView(buffer.data(), n));
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        ::close(peer);
        std::printf("%lld %s %.6f\n", static_cast<long long>(bytes), hash.result().toHex().constData(), seconds);
        std::fflush(stdout);
    }
    ::close(listener);
    return 0;
}

int rawSend(const char *address, int port, const QByteArray &bytes)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = endpoint(address, port);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        std::perror("connect");
        return -1;
    }
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        data += n;
        left -= n;
    }
    ::close(fd);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "sink" && argc == 4)
        return sink(std::atoi(argv[2]), std::atoi(argv[3]));
    if ((mode == "message" || mode == "raw") && argc == 5) {
        QFile file(QString::fromLocal8Bit(argv[4]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = file.readAll();
        QElapsedTimer clock;
        clock.start();
        int result;
        if (mode == "raw") {
            result = rawSend(argv[2], std::atoi(argv[3]), bytes);
        } else {
            PrintedNotices notices;
            SendOptions options;
            options.port = quint16(std::atoi(argv[3]));
            result = SendWithProgress(QByteArrayView(argv[2]), bytes, notices, nullptr, options);
        }
        std::printf("%.6f\n", double(clock.nsecsElapsed()) / 1e9);
        return result == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: lab_send_driver sink PORT COUNT | message|raw ADDRESS PORT FILE\n");
    return 2;
}
