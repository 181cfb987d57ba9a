#!/usr/bin/env python3
"""A fixture for host-software test suites: starts virtual_board, hands back where to
connect, carries out commands (each one has taken effect when the call returns) and on exit
stops the board and returns its totals. Only Python's standard library is used.

    from virtual_board import VirtualBoard

    with VirtualBoard() as board:           # a pseudo-terminal; VirtualBoard(tcp=0) for TCP
        host = MyHost(board.port)           # /dev/pts/N, or socket://127.0.0.1:PORT
        board.command("drop 1")             # the next poll gets no reply
        ...
    print(board.totals["polls_answered"])

The tool is found as $VIRTUAL_BOARD, else as virtual_board on the PATH, else next to this
file's folder in build/native/bin.
"""
import os
import queue
import shutil
import subprocess
import threading


class VirtualBoardError(Exception):
    """The board refused a command or did not start; the message is the board's."""


def find_tool():
    found = os.environ.get("VIRTUAL_BOARD") or shutil.which("virtual_board")
    if found:
        return found
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.join(here, "..", "build", "native", "bin", "virtual_board")


class VirtualBoard:
    def __init__(self, script=None, seed=None, tcp=None, args=(), tool=None, timeout=5.0):
        """script: a scenario file; seed: the faults' seed (the board prints the one it took);
        tcp: a port number (0: any free one) to answer on TCP instead of a pseudo-terminal."""
        self.command_line = [tool or find_tool(), "--ack", "--stay"]
        if script is not None:
            self.command_line += ["--script", str(script)]
        if seed is not None:
            self.command_line += ["--seed", str(seed)]
        if tcp is not None:
            self.command_line += ["--tcp", str(tcp)]
        self.command_line += list(args)
        self.timeout = timeout
        self.port = None
        self.seed = None
        self.totals = {}
        self.returncode = None
        self._process = None
        self._lines = queue.Queue()
        self._sent = 0

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self._process = subprocess.Popen(self.command_line, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, text=True, bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()
        self.port = self._next_line("where to connect")
        seed = self._next_line("the seed")
        self.seed = int(seed.split("=", 1)[1]) if seed.startswith("seed=") else None

    def command(self, line):
        """Carries out one command line; returns once it has taken effect (a wait or a ramp
        once it has ended). Raises VirtualBoardError with the board's message for a bad line."""
        self._process.stdin.write(line.rstrip("\n") + "\n")
        self._process.stdin.flush()
        self._sent += 1
        while True:
            answer = self._next_line(f"the answer to {line!r}")
            if answer == f"ok {self._sent}":
                return
            if answer.startswith(f"<stdin>:{self._sent}:"):
                raise VirtualBoardError(answer)

    def stop(self):
        """Stops the board; returns its totals as a dict (polls_answered, dropped, ...)."""
        if self._process is None or self.returncode is not None:
            return self.totals
        try:
            self._process.stdin.write("quit\n")
            self._process.stdin.close()
        except (BrokenPipeError, ValueError):
            pass
        try:
            self.returncode = self._process.wait(self.timeout)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self.returncode = self._process.wait()
        while True:
            try:
                line = self._lines.get(timeout=self.timeout)
            except queue.Empty:
                break
            if line is None:
                break
            for field in line.split():
                key, equals, value = field.partition("=")
                if equals and value.isdigit() and not line.startswith("t="):
                    self.totals[key] = int(value)
        return self.totals

    def _read(self):
        for line in self._process.stdout:
            self._lines.put(line.rstrip("\n"))
        self._lines.put(None)

    def _next_line(self, what):
        try:
            line = self._lines.get(timeout=self.timeout)
        except queue.Empty:
            line = None
        if line is None:
            self._process.kill()
            error = self._process.stderr.read().strip()
            raise VirtualBoardError(f"no {what} from the board: {error or 'it did not answer'}")
        return line
