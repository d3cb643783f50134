#!/usr/bin/env python3
"""Makes the tutor's bundled voice: the prompt and letter clips of the Alpha folder
and the sample lesson, spoken by a speech synthesiser from our own words.

Every clip is trimmed of leading and trailing silence, peak-normalised, faded in and
out over a few milliseconds so it starts and ends without a click, and written as
16-bit mono PCM WAVE at 22050 Hz. The output depends only on the words below, the
synthesiser and sox, so two runs give the same bytes.

usage: make_clips.py --out TUTOR_DIR [--engine flite|espeak-ng] [--part alpha|lesson]
       make_clips.py --list [--part alpha|lesson]   (clip paths, relative to TUTOR_DIR)
       make_clips.py --check-names   (the synthesiser says every letter's name)
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

RATE = 22050
GAP_SECONDS = 0.45  # pause between the parts of a lesson word's clip
SILENCE_THRESHOLD = "-55d"  # quieter than this at either end counts as silence

# Prompts: file name in Alpha -> what the tutor says.
PROMPTS = {
    "welcome.wav": "Hello, and welcome to Lexorin!",
    "Correct.wav": "That's right! Well done!",
    "IsSpelled.wav": "is spelled",
    "tryagain.wav": "Oops, not quite. Try again!",
    "LESSON.wav": "Great work! You have finished the test.",
    "PRACTICECOMPLETE.wav": "Super! You have practiced every word.",
}

LETTERS = [chr(c) for c in range(ord("A"), ord("Z") + 1)]
DIGITS = [str(d) for d in range(10)]
# Characters that are no letter or digit but occur in words: file name stem -> what is said.
SYMBOLS = {"'": "apostrophe", "-": "hyphen"}

# What flite's US English front end must make of each character, so that a letter
# is heard by its name ("bee"), never as a sound or an article.
FLITE_PHONES = {
    "A": "ey", "B": "b iy", "C": "s iy", "D": "d iy", "E": "iy", "F": "eh f",
    "G": "jh iy", "H": "ey ch", "I": "ay", "J": "jh ey", "K": "k ey", "L": "eh l",
    "M": "eh m", "N": "eh n", "O": "ow", "P": "p iy", "Q": "k y uw", "R": "aa r",
    "S": "eh s", "T": "t iy", "U": "y uw", "V": "v iy", "W": "d ah b ax l y uw",
    "X": "eh k s", "Y": "w ay", "Z": "z iy",
    "0": "z ih r ow", "1": "w ah n", "2": "t uw", "3": "th r iy", "4": "f ao r",
    "5": "f ay v", "6": "s ih k s", "7": "s eh v ax n", "8": "ey t", "9": "n ay n",
    "'": "ax p aa s t r ax f iy", "-": "hh ay f ax n",
}

# The sample lesson: its folder name and, per word, a sentence that uses it.
LESSON_NAME = "First Words"
LESSON_WORDS = {
    "CAT": "The cat sleeps on a warm mat.",
    "DOG": "The dog wags its tail.",
    "SUN": "The sun is hot and bright.",
    "FISH": "A little fish swims in the pond.",
    "BOOK": "Please read me a book.",
    "TREE": "A bird sits in the tree.",
    "HOUSE": "Our house has a red door.",
    "APPLE": "I eat an apple for lunch.",
}


def clip_table(part=None):
    """The clips as (path relative to the tutor folder, list of spoken parts): the Alpha
    folder's, the sample lesson's, or (part None) both."""
    table = alpha_table() if part in (None, "alpha") else []
    if part in (None, "lesson"):
        for word, sentence in LESSON_WORDS.items():
            # Lower case, so no synthesiser takes the word for an abbreviation to spell.
            spoken = word.lower() + "."
            table.append((os.path.join(LESSON_NAME, word + ".wav"), [spoken, sentence, spoken]))
    return table


def alpha_table():
    table = [(os.path.join("Alpha", name), [text]) for name, text in PROMPTS.items()]
    # Single characters are given to the synthesiser as they are: its front end
    # reads a lone letter by its name, which --check-names verifies.
    for ch in LETTERS + DIGITS:
        table.append((os.path.join("Alpha", ch + ".wav"), [ch]))
    for ch, name in SYMBOLS.items():
        table.append((os.path.join("Alpha", ch + ".wav"), [name]))
    return table


class Synth:
    """A speech synthesiser writing one WAVE file per text."""

    def __init__(self, engine):
        self.engine = engine
        self.exe = shutil.which(engine)
        if not self.exe:
            sys.exit(f"make_clips: {engine} not found")

    def speak(self, text, path, slow):
        # A little slower than the voice's natural pace for young listeners, and slower
        # still for a lone word such as a letter's name, which is otherwise over in a blink.
        if self.engine == "flite":
            stretch = "1.4" if slow else "1.12"
            cmd = [self.exe, "-voice", "slt", "--setf", f"duration_stretch={stretch}",
                   "-t", text, "-o", path]
        else:
            speed = "120" if slow else "145"
            cmd = [self.exe, "-v", "en-us", "-s", speed, "-p", "55", "-w", path, text]
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)

    def phones(self, text):
        if self.engine != "flite":
            return None
        out = subprocess.run([self.exe, "-voice", "slt", "-ps", "-t", text, "-o", os.devnull],
                             check=True, capture_output=True, text=True).stdout
        return " ".join(p for p in out.split() if p != "pau")


def sox(*args):
    # -R seeds everything random with a fixed value and -D turns dither off: same input, same bytes.
    subprocess.run(["sox", "-R", "-D", "-V1", *args], check=True)


# Trims silence off both ends and fades the ends (the end by fading in the reversed
# audio), so a clip neither waits nor clicks.
TRIM_AND_FADE = ["silence", "1", "0.005", SILENCE_THRESHOLD, "reverse",
                 "silence", "1", "0.005", SILENCE_THRESHOLD, "fade", "q", "0.015", "reverse",
                 "fade", "q", "0.005"]


def make_clip(synth, parts, out_path, work):
    """Speaks the parts with a pause between them and writes the finished clip."""
    pieces = []
    for i, text in enumerate(parts):
        raw = os.path.join(work, f"raw{i}.wav")
        piece = os.path.join(work, f"piece{i}.wav")
        # A lone word (a letter's name, a lesson word) is said slowly; phrases at an easy pace.
        synth.speak(text, raw, slow=" " not in text.strip())
        # Low rumble off, one rate and level for all pieces, each piece's own silence off.
        sox(raw, "-c", "1", "-b", "16", piece, "highpass", "60", "rate", "-v", str(RATE),
            "norm", "-3", *TRIM_AND_FADE)
        pieces.append(piece)
    if len(pieces) > 1:
        gap = os.path.join(work, "gap.wav")
        sox("-n", "-r", str(RATE), "-c", "1", "-b", "16", gap, "trim", "0", str(GAP_SECONDS))
        joined = os.path.join(work, "joined.wav")
        sequence = [pieces[0]]
        for piece in pieces[1:]:
            sequence += [gap, piece]
        sox(*sequence, joined)
    else:
        joined = pieces[0]
    # Trim and fade once more, then bring the peak to -1 dBFS.
    tmp = out_path + ".part"
    sox(joined, "-e", "signed-integer", "-b", "16", "-c", "1", "-r", str(RATE), "-t", "wav", tmp,
        *TRIM_AND_FADE, "norm", "-1")
    os.replace(tmp, out_path)


def check_names(synth):
    """Fails unless every letter, digit and symbol clip says that character's name."""
    bad = []
    for ch, expected in FLITE_PHONES.items():
        text = SYMBOLS.get(ch, ch)
        got = synth.phones(text)
        if got is not None and got != expected:
            bad.append(f"{ch!r}: expected '{expected}', synthesiser says '{got}'")
    for line in bad:
        print("make_clips:", line, file=sys.stderr)
    return not bad


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("--out", help="the tutor's folder (the built executable's folder)")
    ap.add_argument("--engine", choices=["flite", "espeak-ng"], default="flite")
    ap.add_argument("--part", choices=["alpha", "lesson"],
                    help="only the Alpha folder's clips, or only the sample lesson's")
    ap.add_argument("--list", action="store_true", help="print the clip paths and stop")
    ap.add_argument("--check-names", action="store_true",
                    help="check that letters are read by their names and stop")
    args = ap.parse_args()

    if args.list:
        for path, _ in clip_table(args.part):
            print(path.replace(os.sep, "/"))
        return 0
    synth = Synth(args.engine)
    if args.check_names:
        return 0 if check_names(synth) else 1
    if not args.out:
        ap.error("--out is required")
    if not check_names(synth):
        return 1
    if not shutil.which("sox"):
        sys.exit("make_clips: sox not found")

    table = clip_table(args.part)
    for folder in sorted({os.path.dirname(p) for p, _ in table}):
        os.makedirs(os.path.join(args.out, folder), exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="lexorin-clips-") as work:
        for rel, parts in table:
            make_clip(synth, parts, os.path.join(args.out, rel), work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
