// Floods the broadcast port with one unknown-code packet as fast as sendmmsg allows, for the lab
// benchmark: python alone cannot send fast enough to load the receiver.
//   udp_flood PORT SECONDS   prints how many datagrams went
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: udp_flood PORT SECONDS\n");
        return 2;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<unsigned short>(std::atoi(argv[1])));
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    static const char packet[] = "\b10\b10.78.0.9\bflood\b";

    constexpr int Batch = 64;
    iovec iov{const_cast<char *>(packet), sizeof packet - 1};
    mmsghdr messages[Batch]{};
    for (mmsghdr &m : messages) {
        m.msg_hdr.msg_name = &to;
        m.msg_hdr.msg_namelen = sizeof to;
        m.msg_hdr.msg_iov = &iov;
        m.msg_hdr.msg_iovlen = 1;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::atof(argv[2]));
    unsigned long long sent = 0;
    while (std::chrono::steady_clock::now() < end) {
        const int n = ::sendmmsg(fd, messages, Batch, 0);
        if (n > 0)
            sent += static_cast<unsigned>(n);
    }
    std::printf("%llu\n", sent);
    ::close(fd);
    return 0;
}
