#!/usr/bin/env python3
"""Exec to first paint of one or more tutors, side by side: each run starts the program
with LEXORIN_TRACE, waits for its "first paint" line and ends it. Runs alternate between
the programs, so a busy machine weighs on each alike. Prints the median and quartiles.

    bench/first_paint.py [--runs N] PROGRAM [ARGS...] [-- PROGRAM [ARGS...]]...

Each program has a home of its own (HOME, XDG_CONFIG_HOME, XDG_DATA_HOME), empty before its
first run, which only warms the caches (and makes an installed tutor's lessons folder); it
runs on the offscreen platform unless DISPLAY is set, with the virtual sound device.
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def one_run(command, home):
    with tempfile.NamedTemporaryFile("r", suffix=".trace") as trace:
        env = dict(os.environ, LEXORIN_TRACE=trace.name, LEXORIN_AUDIO="virtual", HOME=home,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"), XDG_DATA_HOME=os.path.join(home, ".local/share"))
        if not os.environ.get("DISPLAY"):
            env["QT_QPA_PLATFORM"] = "offscreen"
        started = time.monotonic_ns()
        proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline:
                for line in open(trace.name):
                    stamp, _, event = line.strip().partition(" ")
                    if event == "first paint":
                        return (int(stamp) - started) / 1e6
                if proc.poll() is not None:
                    raise SystemExit("%s ended before its first paint" % command[0])
                time.sleep(0.005)
            raise SystemExit("%s: no first paint within 30 s" % command[0])
        finally:
            proc.send_signal(signal.SIGTERM)
            proc.wait()


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--runs", type=int, default=15)
    p.add_argument("programs", nargs=argparse.REMAINDER)
    args = p.parse_args()
    commands, current = [], []
    for word in args.programs:
        if word == "--":
            commands.append(current)
            current = []
        else:
            current.append(word)
    commands.append(current)
    commands = [c for c in commands if c]
    if not commands:
        p.error("no program given")
    times = {i: [] for i in range(len(commands))}
    with tempfile.TemporaryDirectory() as scratch:
        for run in range(args.runs + 1):
            for i, command in enumerate(commands):
                home = os.path.join(scratch, "home-%d" % i)
                os.makedirs(home, exist_ok=True)
                ms = one_run(command, home)
                if run > 0:
                    times[i].append(ms)
    for i, command in enumerate(commands):
        q = statistics.quantiles(times[i], n=4)
        print("%-40s median %6.1f ms  (quartiles %.1f .. %.1f, %d runs)" %
              (" ".join(command), statistics.median(times[i]), q[0], q[2], len(times[i])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
