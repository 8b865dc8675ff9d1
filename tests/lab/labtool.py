#!/usr/bin/env python3
"""Small network and automation helpers for the lab tests.

  labtool.py listen-udp PORT FILE     every datagram arriving on PORT as one hex line in FILE
  labtool.py hold-udp PORT            keeps PORT bound until killed
  labtool.py send-udp PORT HEX        one broadcast datagram to 255.255.255.255:PORT
  labtool.py ask SOCKET JSON          one request on an automation channel; prints the answer line
  labtool.py wait-ready SOCKET SECS   waits until the automation channel answers a ping
  labtool.py send-tcp HOST KIND       one connection to HOST:3289 carrying a stream of KIND (see STREAMS),
                                      or the bytes of HEX when KIND is hex:HEX; closes after writing
  labtool.py flood-udp PORT COUNT     COUNT random datagrams (random lengths, some framed) to the broadcast
  labtool.py big-udp PORT HEX SIZE    one datagram: HEX padded with zero bytes to SIZE bytes, then 08
  labtool.py hold-tcp HOST N          opens N connections to HOST:3289 and holds them silently until killed
  labtool.py unknown-udp PORT SECS    sends unknown-code datagrams to the broadcast as fast as it can for
                                      SECS seconds; prints how many went
  labtool.py rss PID                  resident memory of a process in kB
  labtool.py startup-time CMD…        runs CMD, prints the milliseconds until a socket listens on TCP
                                      3289 in this namespace, then ends CMD with SIGTERM
"""
import base64
import json
import random
import socket
import sys
import time


def listen_udp(port, path):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.bind(("0.0.0.0", int(port)))
    with open(path, "a", encoding="ascii") as out:
        print("ready", file=sys.stderr, flush=True)
        while True:
            data = s.recv(65536)
            out.write(data.hex() + "\n")
            out.flush()


def hold_udp(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("0.0.0.0", int(port)))
    print("ready", file=sys.stderr, flush=True)
    while True:
        time.sleep(3600)


def send_udp(port, hexdata):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    s.sendto(bytes.fromhex(hexdata), ("255.255.255.255", int(port)))


def ask(path, request, timeout=10):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.settimeout(timeout)
    s.connect(path)
    s.sendall(request.encode() + b"\n")
    answer = b""
    while not answer.endswith(b"\n"):
        chunk = s.recv(65536)
        if not chunk:
            break
        answer += chunk
    s.close()
    return answer.decode()


def wait_ready(path, seconds):
    deadline = time.monotonic() + float(seconds)
    while time.monotonic() < deadline:
        try:
            if json.loads(ask(path, '{"cmd":"ping"}', 2)).get("ok"):
                return 0
        except (OSError, ValueError):
            pass
        time.sleep(0.1)
    return 1


SEP = b"\x08"

STREAMS = {
    # begins with the separator but does not end with it
    "unterminated": lambda: SEP + b"8" + SEP + b"LAB" + SEP + b"no end",
    # connect and close without a byte
    "empty": lambda: b"",
    # framed, but the command is no number
    "nan": lambda: SEP + b"X1" + SEP + b"LAB" + SEP + b"body" + SEP,
    # 70 MB, framed at both ends
    "huge": lambda: SEP + b"5" + SEP + b"10.77.0.9" + SEP + b"x" * (70 << 20) + SEP,
    # a notice whose RTF nests far deeper than any reader should follow
    "nested": lambda: SEP + b"8" + SEP + b"LAB" + SEP + b"{\\rtf1 " + b"{\\b " * 200000 + b"deep"
    + b"}" * 200000 + b"}" + SEP,
    # a notice whose RTF announces far more binary bytes than it carries, then many that it does
    "bin": lambda: SEP + b"8" + SEP + b"LAB" + SEP + b"{\\rtf1 {\\pict\\wmetafile8\\bin2147483647 abc}"
    + b"{\\pict\\dibitmap0\\picw65535\\pich65535\\bin8000000 " + b"\xff" * 8000000 + b"}}" + SEP,
}


def send_tcp(host, kind):
    data = bytes.fromhex(kind[4:]) if kind.startswith("hex:") else STREAMS[kind]()
    s = socket.create_connection((host, 3289), timeout=60)
    try:
        s.sendall(data)
    except OSError as error:
        # the receiver may cut off a stream that outgrows what it accepts
        print("send-tcp: %s" % error, file=sys.stderr)
    s.close()


def broadcaster():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    return s


def flood_udp(port, count):
    rng = random.Random(6543)
    s = broadcaster()
    for i in range(int(count)):
        data = bytearray(rng.randbytes(rng.randint(1, 1400)))
        if i % 40 == 0:
            data[0] = 8
        if i % 50 == 0:
            data[-1] = 8
        s.sendto(bytes(data), ("255.255.255.255", int(port)))
        if i % 200 == 199:
            time.sleep(0.01)


def big_udp(port, hexdata, size):
    data = bytes.fromhex(hexdata)
    data += b"\0" * (int(size) - len(data) - 1) + SEP
    broadcaster().sendto(data, ("255.255.255.255", int(port)))


def hold_tcp(host, count):
    # Connects without waiting: past the receiver's backlog a connect would hang in SYN retries.
    held = []
    for _ in range(int(count)):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setblocking(False)
        s.connect_ex((host, 3289))
        held.append(s)
    print("ready %d" % len(held), file=sys.stderr, flush=True)
    while True:
        time.sleep(3600)


def unknown_udp(port, seconds):
    s = broadcaster()
    data = SEP + b"10" + SEP + b"10.77.0.9" + SEP + b"flood" + SEP
    target = ("255.255.255.255", int(port))
    sent = 0
    deadline = time.monotonic() + float(seconds)
    while time.monotonic() < deadline:
        for _ in range(200):
            try:
                s.sendto(data, target)
                sent += 1
            except BlockingIOError:
                pass
    print(sent)


def rss(pid):
    with open("/proc/%s/status" % pid, encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def listening_on(port):
    wanted = ":%04X" % port
    with open("/proc/net/tcp", encoding="ascii") as table:
        for line in table:
            columns = line.split()
            if len(columns) > 3 and columns[1].endswith(wanted) and columns[3] == "0A":
                return True
    return False


def startup_time(command):
    import subprocess
    if listening_on(3289):
        print("startup-time: port 3289 is taken already", file=sys.stderr)
        return 1
    began = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        while not listening_on(3289):
            if child.poll() is not None or time.monotonic() - began > 30:
                print("startup-time: never listened", file=sys.stderr)
                return 1
            time.sleep(0.0005)
        print("%.1f" % ((time.monotonic() - began) * 1000))
    finally:
        child.terminate()
        child.wait(30)
    return 0


def main(argv):
    command = argv[1]
    if command == "listen-udp":
        listen_udp(argv[2], argv[3])
    elif command == "hold-udp":
        hold_udp(argv[2])
    elif command == "send-udp":
        send_udp(argv[2], argv[3])
    elif command == "ask":
        print(ask(argv[2], argv[3]), end="")
    elif command == "wait-ready":
        return wait_ready(argv[2], argv[3])
    elif command == "send-tcp":
        send_tcp(argv[2], argv[3])
    elif command == "flood-udp":
        flood_udp(argv[2], argv[3])
    elif command == "big-udp":
        big_udp(argv[2], argv[3], argv[4])
    elif command == "hold-tcp":
        hold_tcp(argv[2], argv[3])
    elif command == "unknown-udp":
        unknown_udp(argv[2], argv[3])
    elif command == "startup-time":
        return startup_time(argv[2:])
    elif command == "rss":
        print(rss(argv[2]))
    elif command == "b64":
        print(base64.b64encode(bytes.fromhex(argv[2])).decode())
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
