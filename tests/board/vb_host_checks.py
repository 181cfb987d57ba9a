#!/usr/bin/env python3
"""The virtual board against hosts and parents that misbehave, the way only a real process
on a real pseudo-terminal shows: a host that floods polls without reading, a host that
leaves replies unread for the next one, a parent that never reads the log or that starts
the board with its signals blocked, a second board on a link that a live board holds.
    vb_host_checks.py VIRTUAL_BOARD DIR
Prints one "ok" or "FAIL" line per check; exit status 1 when any failed."""
import atexit
import fcntl
import os
import select
import signal
import subprocess
import sys
import termios
import time
import tty

board, work = sys.argv[1], sys.argv[2]
failures = 0
started = []  # every board, ended at exit whatever happened


@atexit.register
def end_boards():
    for proc in started:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


def check(ok, text):
    global failures
    print(("ok   " if ok else "FAIL ") + text, flush=True)
    failures += 0 if ok else 1


def start(args, stdout=subprocess.PIPE, **extra):
    """The board with a link; its first line read. stdin stays open (the parent's pipe)."""
    link = os.path.join(work, "host-check-link")
    proc = subprocess.Popen([board, "--link", link] + args, stdin=subprocess.PIPE, stdout=stdout,
                            stderr=subprocess.PIPE, **extra)
    started.append(proc)
    first = proc.stdout.readline().decode().strip() if stdout == subprocess.PIPE else None
    for _ in range(100):
        if os.path.islink(link) and (first is None or os.readlink(link) == first):
            break
        time.sleep(0.05)
    return proc, link


def stop(proc, sig=signal.SIGTERM, limit=3.0):
    """Sends sig; the seconds the board took to end, or None if it did not within limit."""
    began = time.monotonic()
    proc.send_signal(sig)
    try:
        proc.wait(limit)
        return time.monotonic() - began
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return None


def open_host(link):
    """A host that sets the line but, like many, does not flush on opening."""
    fd = os.open(link, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd, termios.TCSANOW)  # TCSAFLUSH, the default, would flush
    return fd


def read_for(fd, seconds):
    got, deadline = b"", time.monotonic() + seconds
    while (left := deadline - time.monotonic()) > 0 and select.select([fd], [], [], left)[0]:
        got += os.read(fd, 4096)
    return got


def poll_once(fd):
    os.write(fd, b"\x01")
    reply = read_for(fd, 0.5)
    return len(reply) == 18 and reply[:2] == b"\xf8\x04"


# A host writes 20000 polls before reading: the write returns, the replies the host's end
# could not hold are lost and counted, and the next poll is answered.
proc, link = start(["--stay"])
fd = open_host(link)
signal.alarm(20)  # a board that blocks would hold this write for ever
os.write(fd, b"\x01" * 20000)
signal.alarm(0)
time.sleep(0.3)
termios.tcflush(fd, termios.TCIFLUSH)
answered = poll_once(fd)
os.close(fd)
stop(proc)
totals = proc.stdout.read().decode().splitlines()[-1]
counts = dict(word.split("=") for word in totals.split())
check(answered and int(counts["replies_lost"]) > 0 and
      int(counts["polls_answered"]) + int(counts["replies_lost"]) == 20001,
      f"20000 polls written without reading: the write returned, then a poll answered; {totals}")

# A host polls and closes without reading; the next host, which does not flush, reads only
# the reply to its own poll.
proc, link = start(["--stay"])
fd = open_host(link)
os.write(fd, b"\x01\x01\x01")
time.sleep(0.3)
os.close(fd)
time.sleep(0.3)
fd = open_host(link)
os.write(fd, b"\x01")
got = read_for(fd, 0.5)
os.close(fd)
check(len(got) == 18, f"a host that left 3 replies unread: the next host reads {len(got)} bytes for its poll")

# A second board on the link of one that runs is refused; a link a killed board left is
# replaced.
second = subprocess.run([board, "--link", link], stdin=subprocess.DEVNULL, capture_output=True, text=True)
check(second.returncode == 2 and "points at the host end of a board that runs" in second.stderr and
      os.path.islink(link),
      f"a link a live board holds: refused, {second.stderr.strip()}")
proc.kill()
proc.wait()
proc, link = start([])
check(proc.poll() is None and os.path.islink(link), "a link a killed board left: replaced")
proc.stdin.close()
stop(proc)

# Nobody reads the log: standard output is a pipe that fills. SIGTERM still ends the board
# at once, and the link goes.
read_end, write_end = os.pipe()
fcntl.fcntl(write_end, fcntl.F_SETPIPE_SZ, 4096)  # a second of the ramp's log fills it
with open(os.path.join(work, "ramp.txt"), "w") as script:
    script.write("ramp A 0 100 1s\nramp A 100 0 1s\n" * 10)  # a line every 10 ms
if os.path.lexists(os.path.join(work, "host-check-link")):
    os.unlink(os.path.join(work, "host-check-link"))
proc, link = start(["--log", "--script", os.path.join(work, "ramp.txt")], stdout=write_end)
os.close(write_end)
os.read(read_end, 4096)  # the host end; after it, nothing
time.sleep(2.0)
taken = stop(proc)
said = proc.stderr.read().decode().strip()
check(taken is not None and taken < 1.5 and proc.returncode == 0 and not os.path.lexists(link) and
      "standard output was not read" in said, f"--log with standard output unread: SIGTERM ended the "
      f"board in {taken} s, link gone; {said}")
os.close(read_end)

# A parent that starts the board with every signal it relies on blocked: the stop works.
relied_on = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGUSR1, signal.SIGUSR2}
proc, link = start(["--stay"], preexec_fn=lambda: signal.pthread_sigmask(signal.SIG_BLOCK, relied_on))
fd = open_host(link)
answered = poll_once(fd)  # the responder now waits for the next byte
os.close(fd)
taken = stop(proc, signal.SIGINT)
check(answered and taken is not None and proc.returncode == 0,
      f"started with the stop and interrupt signals blocked: a poll answered, SIGINT ended it in {taken} s")

sys.exit(1 if failures else 0)
