#!/usr/bin/env python3
"""wavconvert against sox, as whole processes, on the same 60-second file; then the SNR of
both on sines near the band edge.

usage: bench/wavconvert_vs_sox.py [--wavconvert PATH] [--runs N] [--seconds S] [--no-snr-table]

Makes a 44.1 kHz stereo 16-bit test file (a 997 Hz sine at -6 dBFS, the same in both
channels), then for each conversion runs `wavconvert IN OUT CHANNELS RATE BITS` and the
matching `sox IN [-c C] [-b B] OUT rate -h RATE`, alternating, several times. Prints the
median wall-clock and CPU (user + sys) times of each and their ratio, and the SNR of both
outputs against the ideal sine at the output rate (a least-squares fit of the known
frequency, so a constant delay or gain does not count as noise).
The SNR table: for each rate pair, 16-bit mono files holding a -1 dBFS sine (the level the
bundled clips are normalised to) at 0.1, 0.5 and 0.9 of the lower Nyquist frequency,
rounded without dither, converted by wavconvert and by `sox -D IN -b 16 OUT rate -h RATE`
(sox without its dither, so both only round).
Build wavconvert in Release first (cmake -DCMAKE_BUILD_TYPE=Release; target wavconvert).
"""

import argparse
import array
import math
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import wave

FREQ = 997.0
SNR_PAIRS = [(44100, 48000), (44100, 22050), (8000, 44100), (48000, 44100)]
SNR_FRACTIONS = [0.1, 0.5, 0.9]
SNR_LEVEL = 10 ** (-1 / 20)  # -1 dBFS
GOLDEN = (math.sqrt(5) - 1) / 2
CASES = [
    # (label, channels, rate, bits)
    ("rate only: 2ch 48000 16-bit", 2, 48000, 16),
    ("playback default: 1ch 22050 8-bit", 1, 22050, 8),
    ("channels only: 1ch 44100 16-bit", 1, 44100, 16),
    ("rate and channels: 1ch 16000 16-bit", 1, 16000, 16),
    ("same format: 2ch 44100 16-bit", 2, 44100, 16),
]


def run_timed(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}\n{done.stderr.decode(errors='replace')}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def read_channel0(path, start_s, length_s):
    """First channel of a PCM WAVE file as floats in -1 ... 1, over a window."""
    with wave.open(path, "rb") as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        w.setpos(int(start_s * rate))
        raw = w.readframes(int(length_s * rate))
    if width == 1:
        values = [(b - 128) / 128.0 for b in raw]
    elif width == 2:
        a = array.array("h")
        a.frombytes(raw)
        if sys.byteorder != "little":
            a.byteswap()
        values = [v / 32768.0 for v in a]
    else:
        raise ValueError(f"{width * 8}-bit output not measured")
    return values[::channels], rate


def snr_db(path, freq=FREQ, start_s=20.0, length_s=2.0):
    """SNR of a sine at freq: fit c + a sin + b cos, the residual is the noise."""
    x, rate = read_channel0(path, start_s, length_s)
    w = 2 * math.pi * freq / rate
    basis = [(1.0, math.sin(w * n), math.cos(w * n)) for n in range(len(x))]
    m = [[sum(r[i] * r[j] for r in basis) for j in range(3)] for i in range(3)]
    v = [sum(r[i] * xi for r, xi in zip(basis, x)) for i in range(3)]
    coef = solve3(m, v)
    signal = noise = 0.0
    for r, xi in zip(basis, x):
        s = coef[1] * r[1] + coef[2] * r[2]
        signal += s * s
        noise += (xi - coef[0] - s) ** 2
    return 10 * math.log10(signal / noise) if noise > 0 else float("inf")


def solve3(m, v):
    a = [row[:] + [v[i]] for i, row in enumerate(m)]
    for c in range(3):
        p = max(range(c, 3), key=lambda r: abs(a[r][c]))
        a[c], a[p] = a[p], a[c]
        for r in range(3):
            if r != c:
                f = a[r][c] / a[c][c]
                a[r] = [x - f * y for x, y in zip(a[r], a[c])]
    return [a[i][3] / a[i][i] for i in range(3)]


def write_sine(path, rate, freq, seconds, phase=0.0):
    """16-bit mono sine at SNR_LEVEL, rounded to the nearest step (no dither)."""
    a = array.array("h", (round(SNR_LEVEL * 32767 * math.sin(2 * math.pi * freq * n / rate + phase))
                          for n in range(int(rate * seconds))))
    if sys.byteorder != "little":
        a.byteswap()
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(a.tobytes())


def snr_both(wavconvert, tmp, rate_in, rate_out, freq, phase):
    """SNR of wavconvert's and of sox's conversion of one sine."""
    src = os.path.join(tmp, "sine.wav")
    ours = os.path.join(tmp, "ours.wav")
    theirs = os.path.join(tmp, "sox.wav")
    write_sine(src, rate_in, freq, 3.0, phase)
    run_timed([wavconvert, src, ours, "1", str(rate_out), "16"])
    run_timed(["sox", "-D", src, "-b", "16", theirs, "rate", "-h", str(rate_out)])
    return snr_db(ours, freq, 1.0, 1.0), snr_db(theirs, freq, 1.0, 1.0)


def mean_snr(values):
    """The SNR of the mean noise power of several measurements of the same signal."""
    return -10 * math.log10(statistics.mean(10 ** (-v / 10) for v in values))


def snr_table(wavconvert, tmp, offset=1.0, phases=1):
    """offset scales each frequency. At exact fractions such as rate / 4 the rounding error
    repeats with the sine, and its power depends on where the samples fall on the wave:
    that table averages the noise over `phases` starting phases of the sine, spread by the
    golden ratio so that no two of them put the samples on the same points of a wave of a
    few samples' period (evenly spaced phases would, at rate / 4). A second
    table, 0.03 % off the fractions, shows the converters without that dependence."""
    print(f"\nSNR in dB, 16-bit mono sine at -1 dBFS, measured over 1 s after the first second: "
          f"wavconvert / sox -D rate -h" + ("" if offset == 1.0 else f"; frequencies x {offset:g}")
          + ("" if phases == 1 else f"; noise averaged over {phases} phases of the sine"))
    print(f"{'rate pair':18}" + "".join(f"{f'{fr:g} x Nyquist':>26}" for fr in SNR_FRACTIONS))
    for rate_in, rate_out in SNR_PAIRS:
        cells = []
        for fraction in SNR_FRACTIONS:
            freq = offset * fraction * min(rate_in, rate_out) / 2
            results = [snr_both(wavconvert, tmp, rate_in, rate_out, freq, 2 * math.pi * (p * GOLDEN % 1))
                       for p in range(phases)]
            ours, theirs = (mean_snr(r[i] for r in results) for i in (0, 1))
            cells.append(f"{ours:6.1f} / {theirs:5.1f} ({freq:5.0f} Hz)")
        print(f"{f'{rate_in} -> {rate_out}':18}" + "".join(f"{c:>26}" for c in cells))


def frames(path):
    with wave.open(path, "rb") as w:
        return w.getnframes()


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--wavconvert", default=os.path.join(here, "..", "build-release", "src", "wavconvert"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--no-snr-table", action="store_true", help="only the timed conversions")
    args = parser.parse_args()
    if not os.access(args.wavconvert, os.X_OK):
        sys.exit(f"no wavconvert at {args.wavconvert}")
    if not shutil.which("sox"):
        sys.exit("sox is not installed")

    tmp = tempfile.mkdtemp(prefix="wavconvert_bench_")
    try:
        src = os.path.join(tmp, "in.wav")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", src,
                        "synth", str(args.seconds), "sine", str(FREQ), "vol", "0.5"], check=True)
        print(f"input: {args.seconds:g} s, 44100 Hz, 2 channels, 16-bit, {FREQ:g} Hz sine at -6 dBFS; "
              f"{args.runs} runs each, alternating; medians")
        print(f"{'conversion':38} {'wavconvert wall/cpu':>21} {'sox wall/cpu':>15} {'ratio wall/cpu':>15}"
              f" {'SNR ours/sox dB':>16} {'frames ours/sox/ideal':>24}")
        same_format = None
        for label, channels, rate, bits in CASES:
            ours = os.path.join(tmp, "ours.wav")
            theirs = os.path.join(tmp, "sox.wav")
            ours_cmd = [args.wavconvert, src, ours, str(channels), str(rate), str(bits)]
            sox_cmd = ["sox", src, "-c", str(channels), "-b", str(bits), theirs, "rate", "-h", str(rate)]
            times = {"ours": [], "sox": []}
            for i in range(args.runs):
                order = [("ours", ours_cmd), ("sox", sox_cmd)]
                if i % 2:
                    order.reverse()
                for name, cmd in order:
                    times[name].append(run_timed(cmd))
            med = {k: (statistics.median(t[0] for t in v), statistics.median(t[1] for t in v))
                   for k, v in times.items()}
            ratio_wall = med["ours"][0] / med["sox"][0]
            ratio_cpu = med["ours"][1] / med["sox"][1] if med["sox"][1] > 0 else float("nan")
            if (channels, rate, bits) == (2, 44100, 16):
                same_format = med["ours"]
            print(f"{label:38} {med['ours'][0]*1000:9.0f}/{med['ours'][1]*1000:5.0f} ms "
                  f"{med['sox'][0]*1000:6.0f}/{med['sox'][1]*1000:5.0f} ms "
                  f"{ratio_wall:7.2f}/{ratio_cpu:5.2f}  "
                  f"{snr_db(ours):7.1f}/{snr_db(theirs):6.1f}  "
                  f"{frames(ours):8d}/{frames(theirs):d}/{int(args.seconds * rate):d}")
        print("ratio = wavconvert / sox (below 1: wavconvert faster). sox dithers when it reduces "
              "the bit depth; wavconvert does not.")
        # The floor for PCM to the same PCM: copying the file as a process does.
        copies = [run_timed(["cp", src, os.path.join(tmp, "copy.wav")]) for _ in range(args.runs)]
        copy = (statistics.median(c[0] for c in copies), statistics.median(c[1] for c in copies))
        print(f"file copy (cp): {copy[0]*1000:.0f}/{copy[1]*1000:.0f} ms wall/cpu; same format through "
              f"wavconvert: {same_format[0] / copy[0]:.2f}x the copy's wall time, "
              f"{same_format[1] / max(copy[1], 1e-6):.2f}x its CPU time")
        if not args.no_snr_table:
            snr_table(args.wavconvert, tmp)
            snr_table(args.wavconvert, tmp, phases=24)
            snr_table(args.wavconvert, tmp, offset=1.0003)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
