#!/usr/bin/env python3
"""OpenSSH's sftp-server behind a pipe that holds every piece of data a
given time in each direction, as a network link does: sshfs starts this as
its ssh command (-o ssh_command=...) and speaks SFTP through it. The delay
in seconds is in KORVEL_SFTP_DELAY; the arguments sshfs gives for ssh are
ignored. Pieces keep their order, and many are under way at once, as on a
link with room to spare.
"""
import collections
import os
import subprocess
import sys
import threading
import time

DELAY = float(os.environ.get("KORVEL_SFTP_DELAY", "0.001"))


def relay(source, target):
    """Copies source to target, each piece DELAY seconds after it came."""
    pieces = collections.deque()
    ready = threading.Condition()

    def read():
        while True:
            data = os.read(source, 1 << 16)
            with ready:
                pieces.append((time.monotonic() + DELAY, data))
                ready.notify()
            if not data:
                return

    def write():
        while True:
            with ready:
                while not pieces:
                    ready.wait()
                due, data = pieces.popleft()
            pause = due - time.monotonic()
            if pause > 0:
                time.sleep(pause)
            if not data:
                os.close(target)
                return
            os.write(target, data)

    threads = [threading.Thread(target=read, daemon=True), threading.Thread(target=write, daemon=True)]
    for thread in threads:
        thread.start()
    return threads


def main():
    server = subprocess.Popen(["/usr/lib/openssh/sftp-server"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    to_server = relay(sys.stdin.fileno(), server.stdin.fileno())
    from_server = relay(server.stdout.fileno(), sys.stdout.fileno())
    for thread in to_server + from_server:
        thread.join()
    server.wait()


if __name__ == "__main__":
    main()
