#!/usr/bin/env python3
"""Ctrl-C in tessivor-cli debug, on a terminal (a pty) and with commands from a pipe: it pauses
a move, it never ends the session, and at an input box it stops the wait.

Usage: check_debug_interrupts.py TESSIVOR_CLI WORK_DIR
"""

import os
import pty
import select
import signal
import subprocess
import sys
import time

CLI, WORK = sys.argv[1], sys.argv[2]
os.makedirs(WORK, exist_ok=True)
PROGRAM = os.path.join(WORK, "ask-then-loop.tsasm")
with open(PROGRAM, "w") as f:
    # Asks for a name, shows it, then jumps to label 1 for ever.
    f.write("set 10, Name?;\nset 90, 1;\ninp 10, 01\ndsp 01\nlbl 01\ngto 90\n")

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


class Session:
    """The debugger on a pty (Ctrl-C typed, as a person does) or on pipes (SIGINT sent)."""

    def __init__(self, terminal):
        self.terminal = terminal
        self.seen = b""
        self.ended = None
        args = [CLI, "debug", PROGRAM]
        if terminal:
            self.pid, self.fd = pty.fork()
            if self.pid == 0:
                os.execv(CLI, args)
        else:
            self.proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.STDOUT, start_new_session=True)
            self.pid, self.fd = self.proc.pid, self.proc.stdout.fileno()

    def send(self, text):
        if not self.alive():
            return
        if self.terminal:
            os.write(self.fd, text.encode())
        else:
            self.proc.stdin.write(text.encode())
            self.proc.stdin.flush()

    def interrupt(self):
        if not self.alive():
            return
        if self.terminal:
            os.write(self.fd, b"\x03")  # the terminal sends SIGINT to its foreground job
        else:
            os.kill(self.pid, signal.SIGINT)

    def wait_for(self, text, seconds=15):
        """Reads until `text` has come after what was waited for before; False on a timeout."""
        want = text.encode()
        end = time.time() + seconds
        while want not in self.seen:
            left = end - time.time()
            if left <= 0:
                return False
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                try:
                    chunk = os.read(self.fd, 65536)
                except OSError:
                    return False
                if not chunk:
                    return False
                self.seen += chunk
        self.seen = self.seen[self.seen.index(want) + len(want):]
        return True

    def alive(self):
        return self.status() is None

    def status(self):
        """The exit status (or -signal) once the debugger has ended, else None."""
        if not self.terminal:
            return self.proc.poll()
        if self.ended is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.ended = os.waitstatus_to_exitcode(status)
        return self.ended

    def finish(self):
        """Quits, and returns the exit status (or -signal)."""
        self.send("quit\n")
        end = time.time() + 15
        while time.time() < end:
            if self.terminal:
                try:
                    os.read(self.fd, 65536)
                except OSError:
                    pass
            if not self.alive():
                return self.status()
            time.sleep(0.05)
        os.kill(self.pid, signal.SIGKILL)
        return None


def started(terminal):
    s = Session(terminal)
    if terminal:
        check(s.wait_for("(tessivor) "), "terminal: first prompt")
    return s


for terminal in (True, False):
    where = "terminal" if terminal else "pipe"

    # Ctrl-C at the prompt drops the line and asks again.
    s = started(terminal)
    s.send("bre")
    time.sleep(0.3)
    s.interrupt()
    time.sleep(0.3)
    check(s.alive(), f"{where}: Ctrl-C at the prompt ended the debugger")
    s.send("break 6\n")
    check(s.wait_for("Breakpoint 1 at"), f"{where}: a command after Ctrl-C at the prompt")
    check(s.finish() == 0, f"{where}: quit after Ctrl-C at the prompt")

    # Ctrl-C while the input box waits pauses before the "inp"; the next continue asks again.
    s = started(terminal)
    s.send("break 6\ncontinue\n")
    check(s.wait_for("Name?"), f"{where}: the input box's prompt")
    time.sleep(0.3)
    s.interrupt()
    check(s.wait_for("Paused, "), f"{where}: Ctrl-C at the input box did not pause the run")
    check(s.wait_for("inp 10, 01"), f"{where}: the pause is at the inp")
    s.send("continue\n")
    check(s.wait_for("Name?"), f"{where}: the input box is asked again")
    s.send("Ada\n")
    check(s.wait_for("display: Ada"), f"{where}: the reply reaches the program")
    check(s.wait_for("Breakpoint, "), f"{where}: the breakpoint after the reply")
    check(s.finish() == 0, f"{where}: quit after Ctrl-C at the input box")

    # Ctrl-C pauses the endless loop; a second one just after the pause changes nothing.
    s = started(terminal)
    s.send("continue\n")
    check(s.wait_for("Name?"), f"{where}: the input box's prompt")
    s.send("Ada\n")
    time.sleep(0.5)
    s.interrupt()
    check(s.wait_for("Paused, "), f"{where}: Ctrl-C during continue")
    s.interrupt()
    time.sleep(0.3)
    check(s.alive(), f"{where}: a second Ctrl-C after the pause ended the debugger")
    s.send("print 01\n")
    check(s.wait_for('01 = "Ada"'), f"{where}: the session kept its cells")
    check(s.finish() == 0, f"{where}: quit after two Ctrl-C")

# In a script, Ctrl-C pauses the move under way and the script goes on.
script = os.path.join(WORK, "script")
replies = os.path.join(WORK, "replies")
with open(script, "w") as f:
    f.write("continue\nprint 01\n")
with open(replies, "w") as f:
    f.write("Ada\n")
proc = subprocess.Popen([CLI, "debug", "-x", script, "--input", replies, PROGRAM],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
time.sleep(0.5)
proc.send_signal(signal.SIGINT)
try:
    out, err = proc.communicate(timeout=15)
except subprocess.TimeoutExpired:
    proc.kill()
    out, err = proc.communicate()
check(proc.returncode == 0, f"script: exit status {proc.returncode}, stderr {err!r}")
check(b"Paused, " in out and out.endswith(b'(tessivor) print 01\n01 = "Ada"\n'),
      f"script: {out!r}")

if failures:
    sys.exit(1)
print("ok")
