#!/usr/bin/env python3
"""virtual_board.exe --tcp PORT under Wine, polled by a native Linux socket host: the
Windows build's TCP port answers as the Linux one does, one host at a time.
    tcp_wine_test.py VIRTUAL_BOARD_EXE"""
import socket
import subprocess
import sys
import time

# A port free now; the board is refused with status 2 if another program takes it first.
probe = socket.socket()
probe.bind(("127.0.0.1", 0))
port = probe.getsockname()[1]
probe.close()

board = subprocess.Popen(["wine", sys.argv[1], "--tcp", str(port), "--stay"], stdin=subprocess.PIPE,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
where = ""
deadline = time.monotonic() + 120  # a cold Wine prefix takes its time
while time.monotonic() < deadline and not where.startswith("socket://"):
    where = board.stdout.readline().strip()
    if not where and board.poll() is not None:
        break
failures = []
if where != f"socket://127.0.0.1:{port}":
    failures.append(f"first line {where!r}")
else:
    host = socket.create_connection(("127.0.0.1", port), timeout=10)
    host.sendall(b"\x01")
    reply = host.recv(18, socket.MSG_WAITALL)
    if len(reply) != 18 or reply[:2] != b"\xf8\x04":
        failures.append(f"reply {reply.hex()}")
    second = socket.create_connection(("127.0.0.1", port), timeout=10)
    if second.recv(18) != b"":
        failures.append("a second host was served")
    host.close()
board.stdin.write("quit\n")
board.stdin.flush()
try:
    rest = board.communicate(timeout=60)[0]
except subprocess.TimeoutExpired:
    board.kill()
    rest = board.communicate()[0]
    failures.append("the board did not end on quit")
if "polls_answered=1 " not in rest or board.returncode != 0:
    failures.append(f"status {board.returncode}, output {rest.strip()!r}")
print("FAIL " + "; ".join(failures) if failures else f"ok   {where}: answered, a second host refused, {rest.split()[-3]}")
sys.exit(1 if failures else 0)
