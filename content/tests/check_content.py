#!/usr/bin/env python3
"""Checks the bundled content laid out in the tutor's folder.

Every expected clip must be a readable 16-bit PCM WAVE file, start and end on speech
(no more than MAX_EDGE_SILENCE of silence at either end), end cleanly, reach a sensible
peak without clipping, and last a plausible time for what it says. The help document
must parse as MIME HTML with an HTML part that covers the topics a parent needs.

usage: check_content.py TUTOR_DIR CLIP_LIST_FILE
       check_content.py --self-test   (the checks reject damaged files)
"""

import email
import email.policy
import os
import struct
import sys
import tempfile

MAX_EDGE_SILENCE = 0.030  # seconds
SILENCE_LEVEL = 10 ** (-50 / 20)  # -50 dBFS: below this a sample counts as silence
CLEAN_END_LEVEL = 10 ** (-30 / 20)  # the very first and last samples stay below -30 dBFS
PEAK_RANGE = (10 ** (-3 / 20), 10 ** (-0.3 / 20))  # normalised near -1 dBFS, never clipped
HELP_TOPICS = ["Lesson Editor", "Record", "New Player", "Start Test", "Start Practice",
               "Children", ".xml", "back up", "Add Words...", "Rename Player...", "Delete Player...",
               "Delete Lesson..."]


class Bad(Exception):
    pass


def read_pcm16(path):
    """Returns (rate, channels, samples of the first channel as floats in -1..1)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 12 or data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise Bad("not a RIFF WAVE file")
    riff_size = struct.unpack_from("<I", data, 4)[0]
    if riff_size + 8 != len(data):
        raise Bad(f"RIFF size {riff_size + 8} does not match the file's {len(data)} bytes")
    fmt = None
    samples = None
    pos = 12
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if len(body) != size:
            raise Bad(f"chunk {cid!r} cut off")
        if cid == b"fmt ":
            if size < 16:
                raise Bad("fmt chunk too short")
            fmt = struct.unpack_from("<HHIIHH", body, 0)
        elif cid == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise Bad("fmt or data chunk missing")
    tag, channels, rate, byte_rate, align, bits = fmt
    if tag != 1 or bits != 16:
        raise Bad(f"not 16-bit PCM (format tag {tag}, {bits} bits)")
    if channels not in (1, 2) or rate not in (22050, 44100):
        raise Bad(f"unexpected layout: {channels} channels at {rate} Hz")
    if align != 2 * channels or byte_rate != rate * align:
        raise Bad("inconsistent block align or byte rate")
    if len(samples) % align or not samples:
        raise Bad("data chunk empty or not whole frames")
    values = struct.unpack(f"<{len(samples) // 2}h", samples)[::channels]
    return rate, channels, [v / 32768.0 for v in values]


def duration_range(rel):
    """Plausible length in seconds for a clip, by what it says."""
    folder, name = os.path.split(rel)
    stem = os.path.splitext(name)[0]
    if folder != "Alpha":
        return (1.5, 9.0)  # word, sentence, word
    if len(stem) == 1:
        return (0.2, 1.5)  # a letter, digit or symbol name: long enough to be heard as one
    return (0.4, 5.0)  # a prompt; the welcome holds back the window, so none runs long


def check_clip(path, rel):
    rate, _, x = read_pcm16(path)
    seconds = len(x) / rate
    low, high = duration_range(rel)
    if not low <= seconds <= high:
        raise Bad(f"lasts {seconds:.2f} s, expected {low}..{high} s")
    loud = [i for i, v in enumerate(x) if abs(v) >= SILENCE_LEVEL]
    if not loud:
        raise Bad("silent throughout")
    lead, trail = loud[0] / rate, (len(x) - 1 - loud[-1]) / rate
    if lead > MAX_EDGE_SILENCE or trail > MAX_EDGE_SILENCE:
        raise Bad(f"{lead * 1000:.0f} ms silence at the start, {trail * 1000:.0f} ms at the end")
    if abs(x[0]) > CLEAN_END_LEVEL or abs(x[-1]) > CLEAN_END_LEVEL:
        raise Bad("starts or ends with a step (no fade)")
    peak = max(abs(v) for v in x)
    if not PEAK_RANGE[0] <= peak <= PEAK_RANGE[1]:
        raise Bad(f"peak {peak:.3f} outside {PEAK_RANGE[0]:.3f}..{PEAK_RANGE[1]:.3f}")
    return seconds


def check_help(path):
    with open(path, "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    if msg.get_content_type() != "multipart/related" or msg.defects:
        raise Bad(f"not a clean multipart/related document ({msg.get_content_type()})")
    if msg.get_param("type") != "text/html":
        raise Bad("multipart/related without type=text/html")
    html_parts = [p for p in msg.iter_parts() if p.get_content_type() == "text/html"]
    if len(html_parts) != 1:
        raise Bad(f"{len(html_parts)} HTML parts")
    html = html_parts[0].get_content()
    if "<html" not in html.lower() or "</html>" not in html.lower():
        raise Bad("HTML part is no HTML document")
    missing = [t for t in HELP_TOPICS if t not in html]
    if missing:
        raise Bad(f"help does not mention {missing}")


def check_tree(tutor, clip_list):
    with open(clip_list, encoding="utf-8") as f:
        clips = [line.strip() for line in f if line.strip()]
    failures = 0
    for rel in clips:
        try:
            seconds = check_clip(os.path.join(tutor, rel), rel)
            print(f"ok   {rel} ({seconds:.2f} s)")
        except (Bad, OSError) as e:
            failures += 1
            print(f"FAIL {rel}: {e}")
    checks = [("LexorinHelp.mht", lambda: check_help(os.path.join(tutor, "LexorinHelp.mht"))),
              ("Children/", lambda: None if os.path.isdir(os.path.join(tutor, "Children"))
               else (_ for _ in ()).throw(Bad("folder missing")))]
    for name, check in checks:
        try:
            check()
            print(f"ok   {name}")
        except (Bad, OSError) as e:
            failures += 1
            print(f"FAIL {name}: {e}")
    print(f"{len(clips) + len(checks) - failures} passed, {failures} failed")
    return failures == 0


# --- self-test: damaged files must be rejected -------------------------------------------------

def wav_bytes(samples, rate=22050, channels=1, tag=1, bits=16):
    data = struct.pack(f"<{len(samples)}h", *samples)
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def tone(seconds, level=0.89, rate=22050):
    import math
    n = int(seconds * rate)
    fade = int(0.005 * rate)
    out = []
    for i in range(n):
        env = min(1.0, i / fade, (n - 1 - i) / fade)
        out.append(int(32767 * level * env * math.sin(2 * math.pi * 440 * i / rate)))
    return out


def self_test():
    good = tone(0.3)
    cases = {
        "good": (wav_bytes(good), None),
        "leading silence": (wav_bytes([0] * 2205 + good), "silence at the start"),
        "trailing silence": (wav_bytes(good + [0] * 2205), "at the end"),
        "quiet": (wav_bytes(tone(0.3, 0.2)), "peak"),
        "clipped": (wav_bytes([max(-32767, min(32767, 3 * v)) for v in good]), "peak"),
        "hard end": (wav_bytes(good + [20000] * 10), "step"),
        "all silent": (wav_bytes([0] * 6615), "silent"),
        "float": (wav_bytes(good, tag=3), "not 16-bit PCM"),
        "8 kHz": (wav_bytes(good, rate=8000), "unexpected layout"),
        "cut off": (wav_bytes(good)[:-100], "does not match"),
        "garbage": (os.urandom(300), "not a RIFF"),
        "empty": (b"", "not a RIFF"),
        "too long for a letter": (wav_bytes(tone(2.0)), "lasts"),
        "a mere click for a letter": (wav_bytes(tone(0.05)), "lasts"),
    }
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, (blob, expect) in cases.items():
            path = os.path.join(tmp, "X.wav")
            with open(path, "wb") as f:
                f.write(blob)
            try:
                check_clip(path, "Alpha/X.wav")
                verdict = None
            except Bad as e:
                verdict = str(e)
            ok = verdict is None if expect is None else (verdict is not None and expect in verdict)
            failures += not ok
            print(f"{'ok  ' if ok else 'FAIL'} {name}: {verdict or 'accepted'}")
        bad_help = {
            "plain html": b"Content-Type: text/html\r\n\r\n<html></html>\r\n",
            "no html part": (b"MIME-Version: 1.0\r\nContent-Type: multipart/related; type=\"text/html\"; "
                             b"boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nhi\r\n--b--\r\n"),
        }
        for name, blob in bad_help.items():
            path = os.path.join(tmp, "h.mht")
            with open(path, "wb") as f:
                f.write(blob)
            try:
                check_help(path)
                ok = False
            except Bad:
                ok = True
            failures += not ok
            print(f"{'ok  ' if ok else 'FAIL'} help {name}")
    total = len(cases) + len(bad_help)
    print(f"{total - failures} passed, {failures} failed")
    return failures == 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return 0 if self_test() else 1
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    return 0 if check_tree(argv[1], argv[2]) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
