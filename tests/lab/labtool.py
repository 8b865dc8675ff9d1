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
  labtool.py half-tcp HOST HEX        one connection to HOST:3289 that sends HEX, the start of a stream, and
                                      holds it open until killed
  labtool.py unknown-udp PORT SECS    sends unknown-code datagrams to the broadcast as fast as it can for
                                      SECS seconds; prints how many went
  labtool.py rss PID                  resident memory of a process in kB
  labtool.py startup-time CMD…        runs CMD, prints the milliseconds until a socket listens on TCP
                                      3289 in this namespace, then ends CMD with SIGTERM
  labtool.py packet CODE FIELD...     a packet as base64; fields are given as text, sent as code page 950
  labtool.py send-direct SOCKET ADDRESS CODE FIELD...
                                      the instance sends that packet to ADDRESS; prints the result
  labtool.py wait-friends SOCKET SECS [IP...]
                                      waits until the friend table holds exactly these addresses, once each
  labtool.py wait-listed SOCKET SECS IP yes|no
                                      waits until the friend table lists IP (yes) or no longer does (no)
  labtool.py wait-notices SOCKET SECS COUNT CAPTION [TEXT]
                                      waits until COUNT notices under CAPTION (with that plain text) were shown
  labtool.py count-notices SOCKET CAPTION
                                      prints how many notices were shown under CAPTION
  labtool.py wait-messages SOCKET SECS COUNT
                                      waits until the message table holds COUNT rows; prints them as JSON
  labtool.py serve-fetch PORT MODE    an offering host on PORT: every fetch request is answered by MODE,
                                      "long:N" (promises N bytes, sends 2N, closes), "stop:N:M" (promises N,
                                      sends M, then holds the connection open until killed) or "honest:HEX"
                                      (those bytes from the offset asked for, then waits for the receipt)
  labtool.py try-fetch HOST PORT LINE one fetch request line to HOST:PORT; prints the answer line, or "closed"
  labtool.py wait-converged SECS START PEERS SOCKET...
                                      waits until every instance lists PEERS friends; prints the seconds
                                      from START (Unix time) until the last one did
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
    # A window list carries the RTF of every editor, pictures and all: megabytes, read in few pieces.
    chunks = []
    while True:
        chunk = s.recv(1 << 20)
        if not chunk:
            break
        chunks.append(chunk)
        if chunk.endswith(b"\n"):
            break
    s.close()
    return b"".join(chunks).decode()


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


def half_tcp(host, hexdata):
    s = socket.create_connection((host, 3289), timeout=30)
    s.sendall(bytes.fromhex(hexdata))
    print("ready", file=sys.stderr, flush=True)
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
def packet(code, fields):
    return SEP + SEP.join([str(int(code)).encode()] + [f.encode("cp950") for f in fields]) + SEP


def ask_json(path, request, timeout=10):
    answer = json.loads(ask(path, json.dumps(request), timeout))
    if not answer.get("ok"):
        raise RuntimeError("%s: %s" % (request.get("cmd"), answer.get("error")))
    return answer


def send_direct(path, address, code, fields):
    encoded = base64.b64encode(packet(code, fields)).decode()
    return ask_json(path, {"cmd": "sendDirect", "address": address, "packet": encoded})["result"]


def poll(seconds, probe):
    """Calls probe until it answers true or the time is up; the last answer either way."""
    deadline = time.monotonic() + float(seconds)
    while True:
        try:
            result = probe()
        except (OSError, ValueError, RuntimeError):
            result = None
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(0.1)


def friend_ips(path):
    return [row["ip"] for row in ask_json(path, {"cmd": "friends"})["friends"]]


def wait_friends(path, seconds, expected):
    seen = []

    def probe():
        seen[:] = friend_ips(path)
        return sorted(seen) == sorted(expected)

    if poll(seconds, probe):
        return 0
    print("friends of %s: %s, expected %s" % (path, sorted(seen), sorted(expected)), file=sys.stderr)
    return 1


def wait_listed(path, seconds, ip, wanted):
    listed = wanted == "yes"
    if poll(seconds, lambda: (ip in friend_ips(path)) == listed):
        return 0
    print("friends of %s: %s, %s %s" % (path, friend_ips(path), "expected" if listed else "still listed", ip),
          file=sys.stderr)
    return 1


def matching_notices(path, caption, text=None):
    notices = ask_json(path, {"cmd": "notices"})["notices"]
    return [n for n in notices if n["caption"] == caption and (text is None or n["text"].strip() == text)]


def wait_notices(path, seconds, count, caption, text=None):
    if poll(seconds, lambda: len(matching_notices(path, caption, text)) >= int(count)):
        return 0
    notices = ask_json(path, {"cmd": "notices"})["notices"]
    print("notices of %s: %s" % (path, json.dumps(notices, ensure_ascii=False)), file=sys.stderr)
    return 1


def wait_messages(path, seconds, count):
    rows = []

    def probe():
        rows[:] = ask_json(path, {"cmd": "messages"})["messages"]
        return len(rows) >= int(count)

    found = poll(seconds, probe)
    print(json.dumps(rows, ensure_ascii=False))
    return 0 if found else 1


def wait_converged(seconds, start, peers, paths):
    """Polls only the instances still incomplete, so the polling itself stays a small load. An instance
    that stamps its friend table's last change is taken at that stamp rather than at the poll that found it
    complete, as the floor program stamps its own."""
    pending = set(paths)
    deadline = time.monotonic() + float(seconds)
    last = None
    while pending and time.monotonic() < deadline:
        for path in sorted(pending):
            try:
                reply = ask_json(path, {"cmd": "friends"})
                if len(reply["friends"]) >= int(peers):
                    pending.discard(path)
                    done = reply.get("changedAt") or time.time()
                    last = done if last is None else max(last, done)
            except (OSError, ValueError, RuntimeError, KeyError):
                pass
        if pending:
            time.sleep(0.05)
    if pending:
        print("incomplete after %s s: %d of %d" % (seconds, len(pending), len(paths)), file=sys.stderr)
        return 1
    print("%.3f" % (last - float(start)))
    return 0


def serve_fetch(port, mode):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("0.0.0.0", int(port)))
    server.listen(16)
    print("ready", file=sys.stderr, flush=True)
    held = []
    parts = mode.split(":")
    while True:
        client, _ = server.accept()
        request = b""
        while b"\n" not in request:
            chunk = client.recv(256)
            if not chunk:
                break
            request += chunk
        if parts[0] == "honest":
            content = bytes.fromhex(parts[1])
            fields = request.split()
            offset = int(fields[3]) if len(fields) == 4 else 0
            client.sendall(b"OK %d\n" % (len(content) - offset) + content[offset:])
            client.recv(16)
            client.close()
            continue
        promised = int(parts[1])
        if parts[0] == "long":
            client.sendall(b"OK %d\n" % promised + b"x" * (2 * promised))
            client.close()
        else:
            client.sendall(b"OK %d\n" % promised + b"y" * int(parts[2]))
            held.append(client)


def try_fetch(host, port, line):
    s = socket.create_connection((host, int(port)), timeout=10)
    s.sendall(line.encode() + b"\n")
    answer = b""
    while b"\n" not in answer:
        chunk = s.recv(256)
        if not chunk:
            break
        answer += chunk
    s.close()
    print(answer.split(b"\n")[0].decode() if answer else "closed")


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
    elif command == "half-tcp":
        half_tcp(argv[2], argv[3])
    elif command == "unknown-udp":
        unknown_udp(argv[2], argv[3])
    elif command == "startup-time":
        return startup_time(argv[2:])
    elif command == "rss":
        print(rss(argv[2]))
    elif command == "packet":
        print(base64.b64encode(packet(argv[2], argv[3:])).decode())
    elif command == "send-direct":
        print(send_direct(argv[2], argv[3], argv[4], argv[5:]))
    elif command == "wait-friends":
        return wait_friends(argv[2], argv[3], argv[4:])
    elif command == "wait-listed":
        return wait_listed(argv[2], argv[3], argv[4], argv[5])
    elif command == "wait-notices":
        return wait_notices(argv[2], argv[3], argv[4], argv[5], argv[6] if len(argv) > 6 else None)
    elif command == "count-notices":
        print(len(matching_notices(argv[2], argv[3])))
    elif command == "wait-messages":
        return wait_messages(argv[2], argv[3], argv[4])
    elif command == "wait-converged":
        return wait_converged(argv[2], argv[3], argv[4], argv[5:])
    elif command == "serve-fetch":
        serve_fetch(argv[2], argv[3])
    elif command == "try-fetch":
        try_fetch(argv[2], argv[3], argv[4])
    elif command == "b64":
        print(base64.b64encode(bytes.fromhex(argv[2])).decode())
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
