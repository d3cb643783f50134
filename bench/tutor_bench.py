#!/usr/bin/python3
"""The tutor's own benchmarks on a desktop session: start-up, answer latency, and the
peers' start-up beside ours. Run by bench/tutor_bench.sh, which sets up the session (the
end-to-end test's: Xvfb with a black root, D-Bus, the accessibility bus, a PulseAudio
daemon with a null sink whose monitor is being recorded) and passes the same arguments
the end-to-end driver takes.

start-up   exec to the first paint of the first real window (wider than 200 and taller
           than 150 pixels), seen from outside: the window's pixels are read over X every
           few milliseconds until they are no longer all one colour. Peak memory is the
           process's VmHWM two seconds after that paint. The tutor runs twice per round:
           with its welcome clip removed, and with it kept ("Lexorin+greeting"), where the
           greeting's first sample at the null sink's monitor is put on the same clock as
           the paint (as the praise is below: its onset less the clip's quiet lead), and
           the tutor's probes of the sound output (LEXORIN_TRACE) are timed. KLettres and
           Parley run as installed (LEXORIN_BENCH_PEERS=0 leaves them out). One warm-up
           run each, then the runs alternate between the programs. The tutor also writes
           its own moment of first paint (LEXORIN_TRACE), reported beside.
answer     a test on the sample lesson, answered right again and again with the real
           pointer and keyboard. For each answer: the tutor's trace gives the moment its
           Check It handler ran and the first buffer it handed to the device after that;
           the recording of the null-sink monitor gives the first sample of the praise.
           The recording's frames are put on the monotonic clock by watching the file
           grow: a frame's moment is when the recorder first wrote it out (the recorder
           runs at 2 ms latency; this includes its own delay, so it errs late). The
           praise is found by its onset, the first sample louder than 1 % of full scale
           among the frames written after the click; its first sample is the clip's own
           quiet lead before that.
"""

import argparse
import json
import os
import signal
import statistics
import subprocess
import sys
import threading
import time
import wave

sys.dont_write_bytecode = True
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import clipmatch  # noqa: E402
import drive_tutor as dt  # noqa: E402

from Xlib import X, display, error as xerror  # noqa: E402

ONSET = 328  # 1 % of 16-bit full scale
LESSON = "First Words"


def log(msg):
    print("[bench %7.2f] %s" % (time.monotonic() - T0, msg), flush=True)


T0 = time.monotonic()


# ---------------------------------------------------------------------------------------
# Start-up


def _vm_hwm_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def _painted(win):
    """True once the window's pixels are not all one colour; None when it is gone."""
    try:
        g = win.get_geometry()
        if g.width <= 200 or g.height <= 150:
            return False
        data = win.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF).data
    except (xerror.XError, xerror.BadWindow, xerror.BadMatch, xerror.BadDrawable):
        return None
    return data.count(data[:4]) * 4 != len(data)


def _stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def measure_start(cmd, cwd, env, timeout=60.0):
    """(ms from exec to first paint, peak KiB, monotonic s of exec) of one start of a program."""
    d = display.Display()
    root = d.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    mapped = []
    started = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    painted_at = None
    try:
        while painted_at is None:
            if time.monotonic() - started > timeout:
                raise RuntimeError("%s showed no painted window within %.0f s" % (cmd[0], timeout))
            if proc.poll() is not None:
                raise RuntimeError("%s ended with status %s before painting" % (cmd[0], proc.returncode))
            while d.pending_events():
                e = d.next_event()
                if e.type == X.MapNotify and not e.override:
                    mapped.append(e.window)
            for win in list(mapped):
                state = _painted(win)
                if state is None:
                    mapped.remove(win)
                elif state:
                    painted_at = time.monotonic()
                    break
            if painted_at is None:
                time.sleep(0.002)
        time.sleep(2.0)
        peak = _vm_hwm_kib(proc.pid)
    finally:
        _stop(proc)
        d.close()
    return (painted_at - started) * 1000.0, peak, started


def trace_lines(path):
    try:
        with open(path) as f:
            return [line.rstrip("\n").split(" ", 1) for line in f if " " in line]
    except OSError:
        return []


def greeting_after_paint_ms(clock, recording, lead_s, exec_s, paint_ms):
    """When the greeting's first sample reached the monitor, in ms after the first paint."""
    onset = first_loud_frame(recording, clock.frames_at(exec_s))
    if onset is None:
        raise dt.StageFailed("the greeting never reached the monitor")
    first = max(onset - round(lead_s * clipmatch.RATE), clock.frames_at(exec_s))
    return (clock.arrival_of(first) - exec_s) * 1000.0 - paint_ms


def probe_ms(trace):
    """How long each probe of the sound output took, from the tutor's trace."""
    times, started = [], None
    for t, ev in trace_lines(trace):
        if ev == "output probe":
            started = int(t)
        elif ev.startswith("output probe ") and started is not None:
            times.append((int(t) - started) / 1e6)
            started = None
    return times


def bench_start(args, tutor_env):
    tutor_dir = os.path.dirname(os.path.abspath(args.tutor))
    welcome = os.path.join(tutor_dir, "Alpha", "welcome.wav")
    lead = clip_lead_s(welcome)
    home = os.path.join(args.screenshots, "home")
    os.makedirs(home, exist_ok=True)
    plain = {k: v for k, v in os.environ.items() if k != "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"}
    plain["HOME"] = home
    tutor = [os.path.abspath(args.tutor)]
    programs = [("Lexorin", tutor, tutor_dir), ("Lexorin+greeting", tutor, tutor_dir)]
    if os.environ.get("LEXORIN_BENCH_PEERS", "1") != "0":
        programs += [("KLettres", ["klettres"], home), ("Parley", ["parley"], home)]
    results = {name: {"first_paint_ms": [], "peak_kib": []} for name, _, _ in programs}
    results["Lexorin+greeting"].update({"greeting_after_paint_ms": [], "probe_ms": []})
    internal = []
    clock = RecordingClock(args.recording)
    try:
        for run in range(args.start_runs + 1):
            for name, cmd, cwd in programs:
                env = dict(plain)
                trace = os.path.join(args.screenshots, "start-trace-%s-%d.log" % (name, run))
                if name.startswith("Lexorin"):
                    env.update({k: v for k, v in tutor_env.items() if k != "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"})
                    env["HOME"] = home
                    env["LEXORIN_TRACE"] = trace
                if name == "Lexorin":
                    os.rename(welcome, welcome + ".absent")
                exec_ns = time.monotonic_ns()
                try:
                    ms, peak, exec_s = measure_start(cmd, cwd, env)
                finally:
                    if name == "Lexorin":
                        os.rename(welcome + ".absent", welcome)
                extra = ""
                if name == "Lexorin":
                    paint = [int(t) for t, ev in trace_lines(trace) if ev == "first paint"]
                    if run and paint:
                        internal.append((paint[0] - exec_ns) / 1e6)
                if name == "Lexorin+greeting":
                    after = greeting_after_paint_ms(clock, args.recording, lead, exec_s, ms)
                    probes = probe_ms(trace)
                    extra = ", greeting's first sample %.0f ms after it, output probe %s ms" % (
                        after, "/".join("%.1f" % p for p in probes))
                    if run:
                        results[name]["greeting_after_paint_ms"].append(round(after, 1))
                        results[name]["probe_ms"].extend(round(p, 2) for p in probes)
                log("%s run %d: first paint %.0f ms%s, peak %s KiB%s" % (name, run, ms, extra, peak,
                                                                       " (warm-up)" if run == 0 else ""))
                if run:
                    results[name]["first_paint_ms"].append(round(ms, 1))
                    results[name]["peak_kib"].append(peak)
    finally:
        clock.stop()
    summary = {}
    for name, r in results.items():
        summary[name] = {"first_paint_ms_median": statistics.median(r["first_paint_ms"]),
                         "peak_MiB_median": round(statistics.median(r["peak_kib"]) / 1024.0, 1), "runs": r}
    summary["Lexorin"]["own_trace_first_paint_ms_median"] = round(statistics.median(internal), 1) if internal else None
    greeting = results["Lexorin+greeting"]
    summary["Lexorin+greeting"]["greeting_after_paint_ms_median"] = statistics.median(greeting["greeting_after_paint_ms"])
    summary["Lexorin+greeting"]["probe_ms_max"] = max(greeting["probe_ms"]) if greeting["probe_ms"] else None
    return summary


# ---------------------------------------------------------------------------------------
# Answer latency


class RecordingClock:
    """Puts the monitor recording's frames on the monotonic clock by watching it grow."""

    BYTES_PER_FRAME = clipmatch.CHANNELS * clipmatch.WIDTH

    def __init__(self, path):
        self.path = path
        self.points = []  # (monotonic s, frames in the file)
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)
        self._thread.start()

    def _watch(self):
        last = -1
        while not self._stop.is_set():
            try:
                size = os.path.getsize(self.path)
            except OSError:
                size = 0
            now = time.monotonic()
            if size != last:
                self.points.append((now, size // self.BYTES_PER_FRAME))
                last = size
            time.sleep(0.0005)

    def stop(self):
        self._stop.set()
        self._thread.join()

    def frames_at(self, moment):
        """How many frames the recording held at a moment."""
        held = [n for t, n in self.points if t <= moment]
        return held[-1] if held else 0

    def arrival_of(self, frame):
        """When the recording first held a frame (None while it has not arrived)."""
        for t, n in self.points:
            if n > frame:
                return t
        return None


def _samples(data):
    import array
    a = array.array("h")
    a.frombytes(data[: len(data) // 2 * 2])
    return a


def clip_lead_s(path):
    """How long a clip stays below the onset level before its first loud sample."""
    with wave.open(path, "rb") as w:
        s = _samples(w.readframes(w.getnframes()))
        for i, v in enumerate(s):
            if abs(v) > ONSET:
                return (i // w.getnchannels()) / w.getframerate()
    return 0.0


def first_loud_frame(path, from_frame, to_frame=None):
    with open(path, "rb") as f:
        f.seek(from_frame * RecordingClock.BYTES_PER_FRAME)
        count = -1 if to_frame is None else (to_frame - from_frame) * RecordingClock.BYTES_PER_FRAME
        s = _samples(f.read(count))
    for i, v in enumerate(s):
        if abs(v) > ONSET:
            return from_frame + i // clipmatch.CHANNELS
    return None


def wait_trace(path, pred, since, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for t, ev in trace_lines(path)[since:]:
            if pred(ev):
                return int(t), ev
        time.sleep(0.02)
    raise dt.StageFailed("no trace event after line %d within %.0f s" % (since, timeout))


def bench_answer(args, trace):
    sc = dt.Scenario(argparse.Namespace(tutor=args.tutor, recording=args.recording, screenshots=args.screenshots,
                                        lesson=LESSON))
    sc.tutor.env["LEXORIN_TRACE"] = trace
    clock = RecordingClock(args.recording)
    correct = os.path.join(sc.alpha, "Correct.wav")
    lead = clip_lead_s(correct)
    lesson_dir = os.sep + LESSON + os.sep
    rounds = []
    try:
        sc.stage_start()
        sc.stage_player()
        t = sc.tutor
        mark = None  # trace line from which the next spoken word is looked for
        while len(rounds) < args.answers:
            if mark is None:
                mark = len(trace_lines(trace))
                sc.me.press("Start Test")
                t.wait_page("The Lesson")
            _, ev = wait_trace(trace, lambda e: e.startswith("clip ") and (lesson_dir in e or e.endswith("LESSON.wav")),
                               mark)
            if ev.endswith("LESSON.wav"):  # the run is over: start another
                t.wait_page("Spelling Lessons", timeout=20)
                mark = None
                continue
            word = os.path.splitext(os.path.basename(ev))[0]
            # The praise is told from the word by silence between them: let the word end.
            spoken_ns, _ = wait_trace(trace, lambda e, ev=ev: e == ev, mark)
            with wave.open(ev.split(" ", 1)[1], "rb") as w:
                length_s = w.getnframes() / w.getframerate()
            time.sleep(max(0.0, spoken_ns / 1e9 + length_s + 0.6 - time.monotonic()))
            before = len(trace_lines(trace))
            mark = before
            sc.answer(word, by_enter=False)
            click_ns, _ = wait_trace(trace, lambda e: e == "check it", before)
            clicked = [i for i, (_, e) in enumerate(trace_lines(trace)) if i >= before and e == "check it"][0]
            write_ns, _ = wait_trace(trace, lambda e: e == "waveOutWrite", clicked)
            time.sleep(1.5)  # the praise reaches the recording
            click_s = click_ns / 1e9
            start_frame = clock.frames_at(click_s)  # nothing after the click can be in these
            quiet_from = max(start_frame - clipmatch.RATE // 10, 0)
            if first_loud_frame(args.recording, quiet_from, start_frame) is not None:
                raise dt.StageFailed("sound at the monitor just before the click for %s" % word)
            onset = first_loud_frame(args.recording, max(start_frame, 0))
            if onset is None:
                raise dt.StageFailed("no sound at the monitor after the click for %s" % word)
            # The clip's first sample sits its quiet lead before the onset.
            first_frame = max(onset - round(lead * clipmatch.RATE), start_frame)
            rounds.append({"word": word, "click_to_first_write_ms": round((write_ns - click_ns) / 1e6, 2),
                           "click_to_monitor_ms": round((clock.arrival_of(first_frame) - click_s) * 1000.0, 1),
                           "click_to_onset_ms": round((clock.arrival_of(onset) - click_s) * 1000.0, 1)})
            log("answer %d (%s): first buffer %.2f ms, praise at the monitor %.1f ms (audible %.1f ms) after the click"
                % (len(rounds), word, rounds[-1]["click_to_first_write_ms"], rounds[-1]["click_to_monitor_ms"],
                   rounds[-1]["click_to_onset_ms"]))
    finally:
        clock.stop()
        sc.close()
    return {"answers": rounds,
            "click_to_first_write_ms_median": statistics.median(r["click_to_first_write_ms"] for r in rounds),
            "click_to_monitor_ms_median": statistics.median(r["click_to_monitor_ms"] for r in rounds),
            "click_to_onset_ms_median": statistics.median(r["click_to_onset_ms"] for r in rounds),
            "correct_wav_lead_ms": round(lead * 1000.0, 2)}


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--tutor", required=True)
    p.add_argument("--recording", required=True)
    p.add_argument("--screenshots", required=True, help="folder for the results")
    p.add_argument("--stages", default="", help="ignored (the end-to-end session passes it)")
    p.add_argument("--start-runs", type=int, default=int(os.environ.get("LEXORIN_BENCH_START_RUNS", "7")))
    p.add_argument("--answers", type=int, default=int(os.environ.get("LEXORIN_BENCH_ANSWERS", "20")),
                   help="0 leaves the answer latency out")
    args = p.parse_args()
    tutor_env = dict(os.environ)
    results = {"start": bench_start(args, tutor_env)}
    if args.answers:
        results["answer"] = bench_answer(args, os.path.join(args.screenshots, "answer-trace.log"))
    with open(os.path.join(args.screenshots, "results.json"), "w") as f:
        json.dump(results, f, indent=2)
    s = results["start"]
    print("\nStart-up, exec to first paint (median of %d) and peak memory:" % args.start_runs)
    for name in ("Lexorin", "Lexorin+greeting", "KLettres", "Parley"):
        if name in s:
            print("  %-16s %7.0f ms  %7.1f MiB" % (name, s[name]["first_paint_ms_median"], s[name]["peak_MiB_median"]))
    print("  (Lexorin's own trace of its first paint: %s ms)" % s["Lexorin"]["own_trace_first_paint_ms_median"])
    g = s["Lexorin+greeting"]
    print("The greeting's first sample at the monitor after the first paint (median of %d): %.0f ms"
          % (args.start_runs, g["greeting_after_paint_ms_median"]))
    print("Probe of the sound output at start, longest: %s ms" % g["probe_ms_max"])
    if "answer" not in results:
        return 0
    a = results["answer"]
    print("Check It click to the first buffer handed to the device (median of %d): %.2f ms"
          % (len(a["answers"]), a["click_to_first_write_ms_median"]))
    print("Check It click to the praise's first sample at the monitor (median of %d): %.1f ms"
          % (len(a["answers"]), a["click_to_monitor_ms_median"]))
    print("Check It click to the praise's first audible sample at the monitor (median of %d): %.1f ms"
          % (len(a["answers"]), a["click_to_onset_ms_median"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
