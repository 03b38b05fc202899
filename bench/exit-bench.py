#!/usr/bin/env python3
"""How long the window takes to end after Exit while a folder read is blocked.

Holds every open() of one folder with fanotify (a permission event that is never
answered, as a hung network mount would hold it), starts the window's scan of a tree that
contains that folder, chooses Exit after a while and measures, from the moment Exit was
chosen, how long the process takes to end. Needs CAP_SYS_ADMIN (root) for fanotify.

Usage: bench/exit-bench.py [ROUNDS]      (default 5; builds brimwell_gui_bench first)
"""
import ctypes
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


def one_round(tree, hung):
    held = hold_opens(hung)
    try:
        run = subprocess.run([BENCH, "--exit-after", "800", tree], capture_output=True,
                             text=True, timeout=120, env=dict(os.environ,
                                                              QT_QPA_PLATFORM="offscreen"))
        ended = time.monotonic_ns()
    finally:
        os.close(held)  # lets the open() go on
    exit_ns, left = (int(field) for field in run.stdout.split()[:2])
    return (ended - exit_ns) / 1e6, run.returncode, left


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    subprocess.run(["cmake", "--build", "--preset", "dev", "--target", "brimwell_gui_bench"],
                   cwd=REPO, check=True, stdout=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory(prefix="brimwell-exit-") as tree:
        hung = make_tree(tree)
        times = []
        for i in range(rounds):
            ms, code, left = one_round(tree, hung)
            print(f"round {i + 1}: process ended {ms:.0f} ms after Exit, exit code {code}, "
                  f"{left} scan thread(s) still blocked when the window closed")
            times.append(ms)
        print(f"median {statistics.median(times):.0f} ms from Exit to the end of the process "
              f"(target <= 500)")


if __name__ == "__main__":
    main()
