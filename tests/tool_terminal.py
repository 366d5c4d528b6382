"""Runs the console tool in a real pseudo-terminal and reads its screen the way a person would.

The tool's output goes through pyte, a terminal emulator, so tests look at the screen as it is
drawn (menus redrawn in place, cleared screens), not at the raw byte stream. Like a real
terminal, the emulator answers the cursor-position queries that the prompt package sends on
start-up; queries it does not understand (DCS capability requests) go unanswered and are kept
off the screen.
"""
import os
import re
import sys
import time

import pexpect
import pyte

KEYS = {
    "up": "\x1b[A",
    "down": "\x1b[B",
    "enter": "\r",
    "ctrl-c": "\x03",
}

# The mark that the menu theme draws in front of the current entry.
CURSOR_MARK = "\u27a4"

# Device-control strings (ESC P ... ESC \): capability queries that pyte would print as text.
_DCS = re.compile(rb"\x1bP.*?\x1b\\", re.S)


class _AnsweringScreen(pyte.Screen):
    def __init__(self, columns, lines, reply):
        super().__init__(columns, lines)
        self._reply = reply

    def write_process_input(self, data):
        self._reply(data)


class ToolTerminal:
    def __init__(self, command=None, columns=100, lines=40, env=None, cwd=None):
        if command is None:
            command = [sys.executable, "-m", "pylentrasdk"]
        environment = dict(os.environ)
        environment["TERM"] = "xterm"
        environment.update(env or {})
        self.screen = _AnsweringScreen(columns, lines, self._answer)
        self.stream = pyte.ByteStream(self.screen)
        self._held = b""
        self.child = pexpect.spawn(command[0], command[1:], env=environment, cwd=cwd,
                                   dimensions=(lines, columns))

    def _answer(self, text):
        self.child.send(text)

    def _feed(self, data):
        data = self._held + data
        start = data.rfind(b"\x1bP")
        if start != -1 and data.find(b"\x1b\\", start) == -1:
            # An unfinished device-control string: keep it until its end arrives.
            data, self._held = data[:start], data[start:]
        else:
            self._held = b""
        self.stream.feed(_DCS.sub(b"", data))

    def pump(self, seconds=0.2):
        """Reads whatever the tool writes during about `seconds`; False once it has ended."""
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return True
            try:
                self._feed(self.child.read_nonblocking(65536, timeout=min(left, 0.1)))
            except pexpect.TIMEOUT:
                pass
            except pexpect.EOF:
                return False

    def text(self):
        return "\n".join(line.rstrip() for line in self.screen.display)

    def lines(self):
        return [line.rstrip() for line in self.screen.display]

    def wait_for(self, predicate, timeout=8.0):
        """Reads until `predicate(screen text)` holds (a str means: appears on screen)."""
        if isinstance(predicate, str):
            wanted = predicate
            predicate = lambda text: wanted in text  # noqa: E731
        deadline = time.monotonic() + timeout
        while True:
            if predicate(self.text()):
                return True
            if time.monotonic() > deadline:
                raise AssertionError("screen never showed what was expected:\n" + self.text())
            if not self.pump(0.1) and not predicate(self.text()):
                raise AssertionError("the tool ended; last screen:\n" + self.text())

    def press(self, *keys):
        for key in keys:
            self.child.send(KEYS.get(key, key))

    def type_line(self, text):
        self.child.send(text + "\r")

    def choose(self, entry, timeout=8.0):
        """Moves the menu cursor onto the entry whose text is `entry` and presses Enter.

        Entries are drawn after a three-column gutter that holds the cursor mark on the current
        entry; the number of steps is the distance between that line and the entry's."""
        self.wait_for(lambda text: self._entry_line(entry) is not None
                      and self._cursor_line() is not None, timeout)
        target = self._entry_line(entry)
        steps = target - self._cursor_line()
        self.press(*(["down"] * steps if steps >= 0 else ["up"] * -steps))
        self.wait_for(lambda text: self._cursor_line() == target, timeout)
        self.press("enter")

    def menu_entries(self):
        """The entries of the current (lowest) menu on screen, in order."""
        lines = self.lines()
        for n in range(len(lines) - 1, -1, -1):
            if lines[n].startswith("[?]"):
                return [entry[3:] for entry in lines[n + 1:] if entry.startswith("   ")
                        or self._is_cursor(entry)]
        return []

    @staticmethod
    def _is_cursor(line):
        return len(line) > 2 and line[0] == " " and line[1] == CURSOR_MARK and line[2] == " "

    # A screen can still show a question answered before the current one (an operation's
    # closing menu is drawn below its mode question): the current menu is the lowest one.
    def _entry_line(self, entry):
        found = None
        for n, line in enumerate(self.lines()):
            if len(line) > 3 and (line.startswith("   ") or self._is_cursor(line)) \
                    and line[3:] == entry.rstrip():
                found = n
        return found

    def _cursor_line(self):
        found = None
        for n, line in enumerate(self.lines()):
            if self._is_cursor(line):
                found = n
        return found

    def finish(self, timeout=10.0):
        """Waits for the tool to end; returns its exit status."""
        deadline = time.monotonic() + timeout
        while self.pump(0.1):
            if time.monotonic() > deadline:
                self.child.terminate(force=True)
                raise AssertionError("the tool did not end; last screen:\n" + self.text())
        self.child.close()
        return self.child.exitstatus

    def close(self):
        if self.child.isalive():
            self.child.terminate(force=True)
