#!/usr/bin/env python3
"""Small network and automation helpers for the lab tests.

  labtool.py listen-udp PORT FILE     every datagram arriving on PORT as one hex line in FILE
  labtool.py hold-udp PORT            keeps PORT bound until killed
  labtool.py send-udp PORT HEX        one broadcast datagram to 255.255.255.255:PORT
  labtool.py ask SOCKET JSON          one request on an automation channel; prints the answer line
  labtool.py wait-ready SOCKET SECS   waits until the automation channel answers a ping
"""
import base64
import json
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
    elif command == "b64":
        print(base64.b64encode(bytes.fromhex(argv[2])).decode())
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
