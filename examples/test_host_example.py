"""An example of host tests against the virtual board with pytest: a small host that reads
the board's channels, tested against a dropped reply, a delayed reply and a corrupted reply.
Run it with
    VIRTUAL_BOARD=path/to/virtual_board python3 -m pytest examples/test_host_example.py
(the test command runs exactly this, so that it cannot rot). Your own host takes the place of
read_channels; the fixture is examples/virtual_board.py, Python's standard library only.
"""
import os
import select
import sys
import termios
import time
import tty

import pytest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from virtual_board import VirtualBoard  # noqa: E402


# --- The host under test -------------------------------------------------------------------
# Polls with 0x01 and reads the 18-byte reply (header F8 04, then per channel 1ccc cvvv 0vvv
# vvvv). A reply that does not come within the time-out, or does not frame, is asked again,
# up to three times in all.
def open_port(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    attrs = termios.tcgetattr(fd)
    attrs[4] = attrs[5] = termios.B38400
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    termios.tcflush(fd, termios.TCIOFLUSH)
    return fd


def decode(reply):
    if len(reply) != 18 or reply[:2] != b"\xf8\x04":
        return None
    values = []
    for channel in range(8):
        high, low = reply[2 + 2 * channel], reply[3 + 2 * channel]
        if high & 0xF8 != 0x80 | channel << 3 or low & 0x80:
            return None
        values.append((high & 7) << 7 | low)
    return values


def read_channels(fd, timeout=0.3, tries=3):
    """The eight channel values, or None when every try failed."""
    for _ in range(tries):
        termios.tcflush(fd, termios.TCIFLUSH)  # what a late or broken reply left
        os.write(fd, b"\x01")
        reply, deadline = b"", time.monotonic() + timeout
        while len(reply) < 18 and select.select([fd], [], [], max(0, deadline - time.monotonic()))[0]:
            reply += os.read(fd, 18 - len(reply))
        values = decode(reply)
        if values is not None:
            return values
    return None


# --- The tests ---------------------------------------------------------------------------------
@pytest.fixture
def board():
    with VirtualBoard() as running:
        running.command("set A 50")  # wire channel 4 reads 521
        running.fd = open_port(running.port)
        yield running
        os.close(running.fd)


def test_a_dropped_reply_is_asked_again(board):
    board.command("drop 1")
    assert read_channels(board.fd)[4] == 521
    assert board.stop()["dropped"] == 1


def test_a_delayed_reply_within_the_timeout_is_taken(board):
    board.command("delay 100ms")
    started = time.monotonic()
    assert read_channels(board.fd, tries=1)[4] == 521
    assert time.monotonic() - started >= 0.1


def test_a_corrupted_reply_is_not_taken_for_values(board):
    board.command("corrupt 1")
    assert read_channels(board.fd, tries=1) is None  # the broken reply is refused...
    assert read_channels(board.fd)[4] == 521  # ...and the next one read
    assert board.stop()["corrupted"] == 1
