#!/usr/bin/env python3
"""How long the window takes to end after Exit: idle, after scans, and while a read is blocked.

Measures, from the moment Exit was chosen, how long the process takes to end, in three
cases, each round a fresh process:
  idle     the window has scanned nothing; its settings are new, so closing saves the
           whole placement (as a user's first run, or a run after moving the window)
  scanned  the same after the scan of a generated tree of 300 folders (or of TREE) has
           completed
  blocked  while the scan is held in a folder: fanotify holds every open() of it (a
           permission event that is never answered, as a hung network mount would hold
           it). Needs CAP_SYS_ADMIN (root) for fanotify; left out otherwise.
With --io-load, a second process writes and syncs a file all the while, as a build or a
benchmark of another user does on a shared machine.

Usage: bench/exit-bench.py [--io-load] [--tree TREE] [ROUNDS]
       (default 5 rounds; builds brimwell_gui_bench)
"""
import ctypes
import multiprocessing
import os
import statistics
import subprocess
import sys
import tempfile
import time

FAN_CLOEXEC = 0x01
FAN_CLASS_CONTENT = 0x04
FAN_MARK_ADD = 0x01
FAN_OPEN_PERM = 0x00010000
FAN_ONDIR = 0x40000000
AT_FDCWD = -100

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH = os.path.join(REPO, "build/dev/bench/brimwell_gui_bench")


def hold_opens(folder):
    """Returns a descriptor that holds every open() of folder until it is closed."""
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.fanotify_mark.argtypes = [ctypes.c_int, ctypes.c_uint, ctypes.c_uint64, ctypes.c_int,
                                   ctypes.c_char_p]
    fd = libc.fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, os.O_RDONLY)
    if fd < 0:
        sys.exit(f"fanotify_init: {os.strerror(ctypes.get_errno())} (run as root)")
    if libc.fanotify_mark(fd, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_ONDIR, AT_FDCWD,
                          folder.encode()) < 0:
        sys.exit(f"fanotify_mark: {os.strerror(ctypes.get_errno())}")
    return fd


def make_tree(root):
    """A few hundred folders with files, and the folder that will hang among them."""
    for i in range(300):
        folder = os.path.join(root, f"f{i:03d}")
        os.makedirs(folder)
        for j in range(5):
            with open(os.path.join(folder, f"file{j}"), "wb") as out:
                out.write(b"x" * (100 * j))
    hung = os.path.join(root, "f150", "hung")
    os.makedirs(os.path.join(hung, "inside"))
    return hung


def run_bench(arguments):
    """Runs the bench; the time from Exit to the end of the process in ms, and its output."""
    run = subprocess.run([BENCH] + arguments, capture_output=True, text=True, timeout=120,
                         env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    ended = time.monotonic_ns()
    exit_ns, left = (int(field) for field in run.stdout.split()[:2])
    return (ended - exit_ns) / 1e6, run.returncode, left


def idle_round(tree, hung):
    with tempfile.TemporaryDirectory(prefix="brimwell-exit-config-") as config:
        return run_bench(["--exit-idle", "300", config])


def scanned_round(tree, hung, scanned=None):
    with tempfile.TemporaryDirectory(prefix="brimwell-exit-config-") as config:
        return run_bench(["--exit-scanned", "300", config, scanned or tree])


def blocked_round(tree, hung):
    held = hold_opens(hung)
    try:
        return run_bench(["--exit-after", "800", tree])
    finally:
        os.close(held)  # lets the open() go on


def write_and_sync(folder):
    """Writes 8 MiB and syncs it, over and over, until killed."""
    block = os.urandom(1 << 20)
    with open(os.path.join(folder, "load"), "wb") as out:
        while True:
            out.seek(0)
            for _ in range(8):
                out.write(block)
            out.flush()
            os.fsync(out.fileno())


def main():
    arguments = sys.argv[1:]
    io_load = "--io-load" in arguments
    arguments = [a for a in arguments if a != "--io-load"]
    scanned = None
    if "--tree" in arguments:
        at = arguments.index("--tree")
        scanned = os.path.abspath(arguments[at + 1])
        del arguments[at:at + 2]
    rounds = int(arguments[0]) if arguments else 5
    subprocess.run(["cmake", "--build", "--preset", "dev", "--target", "brimwell_gui_bench"],
                   cwd=REPO, check=True, stdout=subprocess.DEVNULL)
    cases = [("idle", idle_round),
             ("scanned", lambda tree, hung: scanned_round(tree, hung, scanned))]
    if os.geteuid() == 0:
        cases.append(("blocked", blocked_round))
    with tempfile.TemporaryDirectory(prefix="brimwell-exit-") as tree:
        hung = make_tree(tree)
        load = None
        if io_load:
            load = multiprocessing.Process(target=write_and_sync, args=(tree,), daemon=True)
            load.start()
        print(f"load average: {open('/proc/loadavg').read().split()[:3]}, "
              f"I/O load: {'yes' if io_load else 'no'}")
        try:
            for name, one_round in cases:
                times = []
                for i in range(rounds):
                    ms, code, left = one_round(tree, hung)
                    print(f"{name} round {i + 1}: process ended {ms:.0f} ms after Exit, "
                          f"exit code {code}, {left} scan thread(s) running when the "
                          f"window closed")
                    times.append(ms)
                print(f"{name}: median {statistics.median(times):.0f} ms, "
                      f"max {max(times):.0f} ms from Exit to the end of the process "
                      f"(target <= 500)")
        finally:
            if load:
                load.kill()


if __name__ == "__main__":
    main()
