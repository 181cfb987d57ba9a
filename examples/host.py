#!/usr/bin/env python3
"""A small host for the Ombrix board: polls it over a serial port and prints its channels.

    python3 host.py PORT [--seconds S]

PORT is the board's serial port: the host end that virtual_board prints (or its --link),
/dev/ttyUSB0 with a real cable, ... The port is set to 38400 baud, 8 data bits, no
parity, one stop bit, raw. Twenty times a second the host sends the poll byte 0x01 and
reads the 18-byte reply: the header F8 04, then one record of two bytes per channel,
1ccc cvvv 0vvv vvvv (channel c, 10-bit value v). It prints the channels whenever they
change and ends when the board goes away or after S seconds; exit status 1 when a reply
was missing or malformed. Only Python's standard library is used.
"""
import os
import select
import sys
import termios
import time
import tty

# Wire channel of each reply record, with the names a host program would give them.
NAMES = ["D", "C", "B", "button", "A", "light", "sound", "slider"]


def open_port(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    attrs = termios.tcgetattr(fd)
    attrs[4] = attrs[5] = termios.B38400  # input and output speed
    attrs[2] &= ~(termios.PARENB | termios.CSTOPB | termios.CRTSCTS)
    attrs[2] |= termios.CS8 | termios.CLOCAL | termios.CREAD
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    termios.tcflush(fd, termios.TCIOFLUSH)
    return fd


def read_reply(fd, timeout=0.5):
    """The 18 bytes of one reply; fewer when the board stays silent; None when it has gone."""
    reply = b""
    deadline = time.monotonic() + timeout
    while len(reply) < 18:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        try:
            chunk = os.read(fd, 18 - len(reply))
        except OSError:  # the other end has closed: EIO
            return None
        if not chunk:
            return None
        reply += chunk
    return reply


def decode(reply):
    """The eight channel values, or None for a malformed reply."""
    if len(reply) != 18 or reply[0] != 0xF8 or reply[1] != 0x04:
        return None
    values = []
    for channel in range(8):
        high, low = reply[2 + 2 * channel], reply[3 + 2 * channel]
        if high & 0xF8 != 0x80 | channel << 3 or low & 0x80:
            return None
        values.append((high & 7) << 7 | low)
    return values


def describe(values):
    text = " ".join(f"{name}={value}" for name, value in zip(NAMES, values) if name != "button")
    # The button pulls its channel low while pressed.
    return text + " button=" + ("pressed" if values[3] < 512 else "up")


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--seconds"):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    seconds = float(argv[3]) if len(argv) == 4 else None
    fd = open_port(argv[1])
    start = time.monotonic()
    shown, polls, bad = None, 0, 0
    while seconds is None or time.monotonic() - start < seconds:
        try:
            os.write(fd, b"\x01")
        except OSError:
            break
        polls += 1
        reply = read_reply(fd)
        if reply is None:
            break
        values = decode(reply)
        if values is None:
            bad += 1
            termios.tcflush(fd, termios.TCIFLUSH)  # do not let a partial reply shift the next
        elif values != shown:
            print(f"{time.monotonic() - start:7.3f} s  {describe(values)}", flush=True)
            shown = values
        time.sleep(0.05)
    print(f"{polls} polls, {bad} missing or malformed replies")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
