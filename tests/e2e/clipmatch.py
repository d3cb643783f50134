"""Finding known clips in a recording of what the tutor played.

The end-to-end run records the sound server's null-sink monitor as raw 16-bit
stereo at 44100 Hz. A clip is recognised by the shape of its loudness over time:
both signals are reduced to an envelope of RMS values per 10 ms frame, and the
clip's envelope (with a little silence on either side, since every clip the
tutor plays starts and ends in silence) is slid along the recording's; the
Pearson correlation at each position says how alike the two shapes are, and the
RMS level says whether it is the same loudness. Resampling and channel mixing in
the playback path leave the envelope alone, so the comparison holds whatever the
device format.

A playback that runs dry for a moment (the machine busy elsewhere) leaves a
stretch of digital silence inside a clip and shifts the rest of it. Where a
clip is not found as it is, stretches of silence that fall where the clip has
sound, up to MAX_GAP_FRAMES in all, are left out and the clip is tried again;
the match then tells how long the playback stalled.

Run as a program it checks itself on recordings assembled from real clips:
  python3 clipmatch.py --self-test ALPHA_DIR LESSON_DIR
"""

import math
import os
import struct
import sys
import warnings
import wave

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    try:
        import audioop  # fast RMS; present up to Python 3.12, Debian 12 has 3.11
    except ImportError:  # pragma: no cover - later Pythons
        audioop = None

RATE = 44100
CHANNELS = 2
WIDTH = 2
FRAME_MS = 10
FRAME_BYTES = RATE * FRAME_MS // 1000 * CHANNELS * WIDTH  # 1764
PAD_FRAMES = 4  # silence expected around a clip, in frames (chained clips leave little)
MIN_SCORE = 0.85  # correlation needed to call a match
LEVEL_RANGE = (0.35, 2.8)  # window RMS / clip RMS accepted as the same loudness
SILENT = 1.0  # a frame's RMS below this is digital silence: what the sink plays when a stream runs dry
MAX_GAP_FRAMES = 15  # stalls of the playback left out of a clip: 150 ms in all


def _rms(chunk, width):
    if audioop is not None:
        return float(audioop.rms(chunk, width))
    fmt = {1: "b", 2: "h", 4: "i"}[width]
    n = len(chunk) // width
    if n == 0:
        return 0.0
    values = struct.unpack("<%d%s" % (n, fmt), chunk[: n * width])
    return math.sqrt(sum(v * v for v in values) / n)


def envelope_of_pcm(data, rate, channels, width):
    """RMS per 10 ms frame of interleaved little-endian PCM."""
    frame = rate * FRAME_MS // 1000 * channels * width
    if width == 1 and audioop is not None:  # 8-bit WAVE is unsigned
        data = audioop.bias(data, 1, -128)
    return [_rms(data[i : i + frame], width) for i in range(0, len(data) - frame + 1, frame)]


class Clip:
    """A reference clip: its name, envelope and level."""

    def __init__(self, path):
        self.path = path
        self.name = os.path.splitext(os.path.basename(path))[0]
        with wave.open(path, "rb") as w:
            data = w.readframes(w.getnframes())
            env = envelope_of_pcm(data, w.getframerate(), w.getnchannels(), w.getsampwidth())
        # Scale to 16-bit levels so the loudness compares with the recording.
        scale = {1: 256.0, 2: 1.0, 3: 1.0 / 256, 4: 1.0 / 65536}[w.getsampwidth()]
        env = [v * scale for v in env]
        # Trim the clip's own leading and trailing near-silence: the recording has
        # its own, of whatever length.
        peak = max(env) if env else 0.0
        lo, hi = 0, len(env)
        while lo < hi and env[lo] < peak * 0.02:
            lo += 1
        while hi > lo and env[hi - 1] < peak * 0.02:
            hi -= 1
        self.body = env[lo:hi]
        if len(self.body) < 3:
            raise ValueError("clip %s holds no sound" % path)
        self.level = math.sqrt(sum(v * v for v in self.body) / len(self.body))
        self.pattern = [0.0] * PAD_FRAMES + self.body + [0.0] * PAD_FRAMES
        n = len(self.pattern)
        mean = sum(self.pattern) / n
        self._centred = [v - mean for v in self.pattern]
        self._norm = math.sqrt(sum(v * v for v in self._centred))

    @property
    def frames(self):
        return len(self.body)

    def score_at(self, env, pos):
        """Correlation and level of the window of env that starts at pos (a padded start)."""
        return self.score_window(env[pos : pos + len(self.pattern)])

    def bridged_at(self, env, pos):
        """The window of env at pos with the stretches of silence inside the clip's sound left out.

        Returns the window and the number of frames left out. A stretch is left out
        only where the clip has sound, after its first frame, and while the frames
        left out stay within MAX_GAP_FRAMES.
        """
        body = []
        i = pos + PAD_FRAMES
        left_out = 0
        kept_until = i  # frames of a stretch too long to leave out are kept
        while len(body) < len(self.body) and i < len(env):
            if i >= kept_until and body and env[i] < SILENT and self.body[len(body)] >= SILENT:
                end = i
                while end < len(env) and env[end] < SILENT:
                    end += 1
                if end == len(env):
                    break  # the recording has not gone on past it yet
                if left_out + end - i <= MAX_GAP_FRAMES:
                    left_out += end - i
                    i = end
                    continue
                kept_until = end
            body.append(env[i])
            i += 1
        return env[pos : pos + PAD_FRAMES] + body + env[i : i + PAD_FRAMES], left_out

    def score_window(self, window):
        """Correlation and level of a window as long as the padded clip."""
        n = len(self.pattern)
        if len(window) < n:
            return -1.0, 0.0
        mean = sum(window) / n
        dot = 0.0
        sq = 0.0
        for c, v in zip(self._centred, window):
            d = v - mean
            dot += c * d
            sq += d * d
        if sq <= 0.0 or self._norm <= 0.0:
            return -1.0, 0.0
        body = window[PAD_FRAMES : PAD_FRAMES + len(self.body)]
        level = math.sqrt(sum(v * v for v in body) / len(body))
        return dot / math.sqrt(sq) / self._norm, level / self.level


class Match:
    def __init__(self, clip, frame, score, level, gap=0):
        self.clip = clip
        self.frame = frame  # first frame of the clip's sound in the recording
        self.score = score
        self.level = level
        self.gap = gap  # frames of silence left out of it: the playback stalled

    @property
    def ms(self):
        return self.frame * FRAME_MS

    def __repr__(self):
        stall = ", across a %d ms stall" % (self.gap * FRAME_MS) if self.gap else ""
        return "%s at %d ms (r=%.3f, level x%.2f%s)" % (self.clip.name, self.ms, self.score, self.level, stall)


def best_match(clip, env, start=0, end=None):
    """The best-scoring position of clip in env[start:end], or None if nothing there."""
    end = len(env) if end is None else min(end, len(env))
    start = max(0, start - PAD_FRAMES)
    best = None
    n = len(clip.pattern)
    quiet = clip.level * 0.05
    # Only positions where the clip's first sound meets sound in the recording.
    starts = [pos for pos in range(start, end - n + 1)
              if env[pos + PAD_FRAMES] >= quiet or env[pos + PAD_FRAMES + 1] >= quiet]
    for pos in starts:
        score, level = clip.score_at(env, pos)
        if best is None or score > best.score:
            best = Match(clip, pos + PAD_FRAMES, score, level)
    if is_heard(best):
        return best
    heard_so_far = env[:end]
    for pos in starts:
        window, gap = clip.bridged_at(heard_so_far, pos)
        if gap:
            score, level = clip.score_window(window)
            if score > best.score:
                best = Match(clip, pos + PAD_FRAMES, score, level, gap)
    return best


def is_heard(match):
    return match is not None and match.score >= MIN_SCORE and LEVEL_RANGE[0] <= match.level <= LEVEL_RANGE[1]


def find(clip, env, start=0, end=None):
    """The clip's match in env[start:end] if it is clearly there, else None."""
    m = best_match(clip, env, start, end)
    return m if is_heard(m) else None


def identify(clips, env, start=0, end=None, margin=0.04):
    """Which one of clips was played in env[start:end]: the first heard, clearly ahead of the rest.

    Returns (match, all_matches); match is None when no clip is clearly there.
    """
    matches = [best_match(c, env, start, end) for c in clips]
    heard = [m for m in matches if is_heard(m)]
    if not heard:
        return None, matches
    first = min(m.frame for m in heard)
    # Of the clips heard, the one whose sound starts first (a later clip, say the
    # praise after an answer, is another event); among those near that start, the best.
    near = [m for m in heard if m.frame - first < 20]
    near.sort(key=lambda m: m.score, reverse=True)
    if len(near) > 1 and near[0].score - near[1].score < margin:
        return None, matches
    return near[0], matches


class Recording:
    """The growing raw recording of the null-sink monitor, as an envelope."""

    def __init__(self, path):
        self.path = path
        self.env = []
        self._offset = 0

    def bytes_now(self):
        try:
            return os.path.getsize(self.path)
        except OSError:
            return 0

    def frame_now(self):
        return self.bytes_now() // FRAME_BYTES

    def update(self):
        size = self.bytes_now()
        whole = (size - self._offset) // FRAME_BYTES * FRAME_BYTES
        if whole <= 0:
            return
        with open(self.path, "rb") as f:
            f.seek(self._offset)
            data = f.read(whole)
        self._offset += len(data)
        self.env.extend(envelope_of_pcm(data, RATE, CHANNELS, WIDTH))


# ----------------------------------------------------------------------------------------
# Self-test on recordings assembled from the bundled clips.


def _pcm_as_device(path):
    """A clip's PCM converted to the monitor's format, as the playback path would."""
    with wave.open(path, "rb") as w:
        data = w.readframes(w.getnframes())
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
    if width != 2:
        data = audioop.lin2lin(data, width, 2)
    if channels == 1:
        data = audioop.tostereo(data, 2, 1, 1)
    if rate != RATE:
        data, _ = audioop.ratecv(data, 2, 2, rate, RATE, None)
    return data


def _silence(ms):
    return b"\0" * (RATE * ms // 1000 * CHANNELS * WIDTH)


def _envelope(data):
    return envelope_of_pcm(data, RATE, CHANNELS, WIDTH)


def self_test(alpha, lesson):
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    welcome = Clip(os.path.join(alpha, "welcome.wav"))
    correct = Clip(os.path.join(alpha, "Correct.wav"))
    done = Clip(os.path.join(alpha, "LESSON.wav"))

    # The welcome clip after 1230 ms of silence, then the praise; quieter by half.
    rec = _silence(1230) + _pcm_as_device(welcome.path) + _silence(700) + _pcm_as_device(correct.path) + _silence(500)
    rec_half = audioop.mul(rec, 2, 0.5)
    env = _envelope(rec)
    m = find(welcome, env)
    lead = _lead_ms(welcome.path)
    check(m is not None and abs(m.ms - (1230 + lead)) <= 20, "welcome found at its place: %r (expected %d ms)" % (m, 1230 + lead))
    check(find(welcome, _envelope(rec_half)) is not None, "welcome found at half loudness")
    check(find(welcome, _envelope(audioop.mul(rec, 2, 0.1))) is None, "welcome at a tenth of its loudness is not taken for it")
    check(find(correct, env) is not None, "the praise found after the welcome")
    check(find(done, env) is None, "the end-of-test clip is not found where it was never played")
    check(find(welcome, _envelope(_silence(3000))) is None, "nothing found in silence")
    check(find(welcome, env, end=len(env) // 3) is None, "a clip cut off by the end of the recording is not heard yet")

    # A playback that ran dry mid-clip for 60 ms is bridged and says so; one silent for
    # 400 ms is beyond what a stall explains.
    praise = _pcm_as_device(correct.path)
    middle = len(praise) // 8 * 4
    for stall_ms, heard in ((60, True), (400, False)):
        stalled = _silence(500) + praise[:middle] + _silence(stall_ms) + praise[middle:] + _silence(500)
        m = find(correct, _envelope(stalled))
        if heard:
            check(m is not None and m.gap in (5, 6, 7) and m.score > 0.95,
                  "the praise across a %d ms stall of the playback: %r" % (stall_ms, m))
        else:
            check(m is None, "the praise cut in two by %d ms of silence is not heard: %r" % (stall_ms, m))

    # A spoken spelling: clips chained with hardly a gap are each found.
    chain = [Clip(os.path.join(alpha, n + ".wav")) for n in ("IsSpelled", "C", "A", "T")]
    env = _envelope(_silence(300) + _silence(30).join(_pcm_as_device(c.path) for c in chain) + _silence(300))
    found = [find(c, env) for c in chain]
    check(all(found) and [m.frame for m in found] == sorted(m.frame for m in found),
          "clips chained 30 ms apart each found, in order: %r" % found)

    # White-ish noise of the same loudness is not the clip.
    noise = bytearray()
    seed = 12345
    for _ in range(RATE * 3):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        v = ((seed >> 8) % 8000) - 4000
        noise += struct.pack("<hh", v, v)
    check(find(welcome, _envelope(bytes(noise))) is None, "steady noise is not the welcome clip")

    # Every word of the lesson is told apart from the others.
    words = sorted(os.path.join(lesson, f) for f in os.listdir(lesson) if f.lower().endswith(".wav"))
    clips = [Clip(p) for p in words]
    check(len(clips) >= 2, "the lesson has words to tell apart (%d)" % len(clips))
    for c in clips:
        # The word, a second of quiet, then the praise of the next answer for good measure.
        env = _envelope(_silence(400) + _pcm_as_device(c.path) + _silence(1000) + _pcm_as_device(correct.path))
        m, all_matches = identify(clips, env)
        check(m is not None and m.clip is c, "word %s identified: %r" % (c.name, m))
    return not failures


def _lead_ms(path):
    """Where the clip's sound starts within its file, in ms (its leading near-silence)."""
    with wave.open(path, "rb") as w:
        env = envelope_of_pcm(w.readframes(w.getnframes()), w.getframerate(), w.getnchannels(), w.getsampwidth())
    peak = max(env)
    i = 0
    while env[i] < peak * 0.02:
        i += 1
    return i * FRAME_MS


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--self-test":
        sys.exit(0 if self_test(sys.argv[2], sys.argv[3]) else 1)
    if len(sys.argv) >= 3:
        # clipmatch.py RECORDING.raw CLIP.wav...: where each clip is heard.
        rec = Recording(sys.argv[1])
        rec.update()
        for p in sys.argv[2:]:
            print(p, find(Clip(p), rec.env), "best:", best_match(Clip(p), rec.env))
        sys.exit(0)
    print(__doc__)
    sys.exit(2)
