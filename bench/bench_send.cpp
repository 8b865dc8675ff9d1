// SendWithProgress against a raw TCP transfer of the same bytes over loopback, into the same reader.
#include "engine/NoticeSink.h"
#include "messages/MessageSender.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qsizetype PacketBytes = 20 * 1024 * 1024;

struct IgnoredNotices final : NoticeSink
{
    void ShowNotice(const QByteArray &, const QByteArray &) override {}
};

struct NoProgress final : SendProgress
{
    int last = 0;
    void beginPieces(int) override {}
    void setPiece(int piece) override { last = piece; }
    void sendFailed() override {}
};

// Accepts connections one after the other and reads each to its end, as the receiving engine does.
class Sink
{
public:
    Sink()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~Sink()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    quint16 port() const { return m_port; }

    // Waits until the reader has seen the end of the connection number `count`.
    qint64 waitFor(int count)
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_finished >= count; });
        return m_lastBytes;
    }

private:
    void run()
    {
        std::vector<char> buffer(256 * 1024);
        while (!m_stop) {
            const int peer = ::accept(m_listener, nullptr, nullptr);
            if (peer < 0)
                return;
            qint64 bytes = 0;
            for (ssize_t n; (n = ::read(peer, buffer.data(), buffer.size())) > 0;)
                bytes += n;
            ::close(peer);
            std::lock_guard lock(m_mutex);
            m_lastBytes = bytes;
            ++m_finished;
            m_done.notify_all();
        }
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_done;
    int m_finished = 0;
    qint64 m_lastBytes = 0;
};

Sink &sink()
{
    static Sink instance;
    return instance;
}
int s_connectionsMade = 0;

const QByteArray &packet()
{
    static const QByteArray bytes(PacketBytes, 'p');
    return bytes;
}

void BM_RawTcp(benchmark::State &state)
{
    const qsizetype chunk = state.range(0) ? state.range(0) : PacketBytes;
    for (auto _ : state) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(sink().port());
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            state.SkipWithError("connect failed");
            ::close(fd);
            return;
        }
        const char *data = packet().constData();
        qsizetype left = packet().size();
        while (left > 0) {
            const ssize_t n = ::write(fd, data, size_t(qMin(left, chunk)));
            if (n <= 0)
                break;
            data += n;
            left -= n;
        }
        ::close(fd);
        if (sink().waitFor(++s_connectionsMade) != PacketBytes)
            state.SkipWithError("short transfer");
    }
    state.SetBytesProcessed(state.iterations() * PacketBytes);
}

void BM_SendWithProgress(benchmark::State &state)
{
    IgnoredNotices notices;
    NoProgress progress;
    SendOptions options;
    options.port = sink().port();
    for (auto _ : state) {
        if (SendWithProgress("127.0.0.1", packet(), notices, &progress, options) != 0) {
            state.SkipWithError("send failed");
            return;
        }
        if (sink().waitFor(++s_connectionsMade) != PacketBytes)
            state.SkipWithError("short transfer");
    }
    state.SetBytesProcessed(state.iterations() * PacketBytes);
}

} // namespace

BENCHMARK(BM_RawTcp)->Arg(0)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SendWithProgress)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
