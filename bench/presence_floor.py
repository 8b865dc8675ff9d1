#!/usr/bin/env python3
"""The least a host can do to take part in presence: the same packets as the program, nothing else.

  presence_floor.py ADDRESS NICKNAME PEERS BACKLOG OUT

Binds UDP 6543 and TCP 3289 (listen backlog BACKLOG), broadcasts CMD_ONLINE once, adds every announcer
and answers it with a blocking CMD_PRESENCE_REPLY, adds every replier. When the friend table first holds
PEERS hosts it writes the Unix time to OUT. A lower bound for the program's convergence on the same lab.
"""
import select
import socket
import sys
import time

SEPARATOR = b"\x08"
CMD_ONLINE, CMD_PRESENCE_REPLY, CMD_AWAY = b"1", b"3", b"6"
CONNECT_TIMEOUT = 3.0


def fields(packet):
    if not packet.startswith(SEPARATOR):
        return []
    return packet.split(SEPARATOR)[1:-1]


def build(*values):
    return SEPARATOR + SEPARATOR.join(values) + SEPARATOR


def main(argv):
    address, nickname, peers, backlog, out = argv[1], argv[2].encode("cp950"), int(argv[3]), int(argv[4]), argv[5]
    own = address.encode()
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    udp.bind(("0.0.0.0", 6543))
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("0.0.0.0", 3289))
    listener.listen(backlog)
    listener.setblocking(False)

    friends = {}
    done = False

    def add(f):
        nonlocal done
        if len(f) >= 3 and f[1] not in friends:
            friends[f[1]] = f[2][:20]
        if not done and len(friends) >= peers:
            done = True
            with open(out, "w", encoding="ascii") as stamp:
                stamp.write("%.6f\n" % time.time())

    udp.sendto(build(CMD_ONLINE, own, nickname, b""), ("255.255.255.255", 6543))
    streams = {}
    while True:
        readable, _, _ = select.select([udp, listener] + list(streams), [], [])
        for s in readable:
            if s is udp:
                f = fields(udp.recv(30001))
                if len(f) >= 2 and f[0] in (CMD_ONLINE, CMD_AWAY) and f[1] != own:
                    add(f)
                    try:
                        with socket.create_connection((f[1].decode(), 3289), CONNECT_TIMEOUT) as back:
                            back.sendall(build(CMD_PRESENCE_REPLY, own, nickname, b""))
                    except OSError:
                        pass
            elif s is listener:
                try:
                    connection, _ = listener.accept()
                    streams[connection] = b""
                except OSError:
                    pass
            else:
                chunk = s.recv(30000)
                if chunk:
                    streams[s] += chunk
                    continue
                f = fields(streams.pop(s))
                s.close()
                if f and f[0] == CMD_PRESENCE_REPLY:
                    add(f)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
