#!/usr/bin/env python3
"""Sends one poll byte on a serial device (a pty end) and prints the reply's bytes in hex,
as a host would see them: raw_reply.py DEVICE. Used by the window sessions."""
import os, sys, termios, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
attrs = termios.tcgetattr(fd); attrs[3] = 0; attrs[6][termios.VMIN] = 0; attrs[6][termios.VTIME] = 5
termios.tcsetattr(fd, termios.TCSANOW, attrs)
termios.tcflush(fd, termios.TCIOFLUSH)
os.write(fd, b"\x01")
data = b""
end = time.time() + 2
while len(data) < 18 and time.time() < end:
    data += os.read(fd, 18 - len(data))
print(" ".join("%02X" % b for b in data))
