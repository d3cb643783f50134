#!/usr/bin/python3
"""Drives the built tutor as a person would, through the accessibility bus.

Started by run_e2e.sh inside Xvfb and a D-Bus session with the accessibility bus
running and a private PulseAudio daemon whose null-sink monitor is being
recorded. The driver starts the tutor itself (so it knows where in the recording
the start falls), finds controls by their captions or accessible names, clicks
them with the real pointer (xdotool), types with the real keyboard, reads labels
and text boxes, listens to the recording for the clips the tutor plays, and
checks the player's record file at the end.

The scenario is split into stages, run in this order; each can be switched on
alone, and a stage needs the stages it builds on (listed after the colon):
  start     the window "Quorbel's Lexorin" appears; the process keeps running
  pages     the four page tabs; the user can reach the editor but not the test
            or practice pages by tab; screenshots of the start and editor pages
  help      on a desktop with no program for web archives, "More Help" shows
            the help document in the tutor's own window; Escape puts it away  : start
  welcome   the welcome clip is heard at the null sink's monitor     : start
  words     the parent adds two words to the lesson from a pasted list
            (with one word that has a clip already) in the tutor's own
            voice, then records one of them over with the microphone  : start
  player    lesson "First Words" chosen, a new player added with the
            input box, its record file created                       : start
  test      a test started; the spoken word recognised by ear and
            answered right; the praise heard, the tallies updated    : player welcome
            (after "words", the lesson's words include the added ones)
  practice  a wrong answer sends the player to the practice page, the
            word is drilled three times (one wrong entry first), then
            back to the test                                         : test
  finish    right answers until the run ends by itself: exactly the
            number the draw rule asks for, the end clip heard; every
            word of the lesson asked, the added ones too             : practice
  record    the record file holds the counts of the run              : finish
  progress  "Progress" opens the progress window for the player: its table
            holds each word's tries and right answers of the run, the summary
            the test and its answers, the history file one line per answer;
            a screenshot of it; Escape closes it                     : record
"""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

import pyatspi

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import clipmatch  # noqa: E402

STAGES = ["start", "pages", "help", "welcome", "words", "player", "test", "practice", "finish", "record", "progress"]
NEEDS = {
    "welcome": ["start"],
    "pages": ["start"],
    "help": ["start"],
    "words": ["start"],
    "player": ["start"],
    "test": ["player", "welcome"],
    "practice": ["test"],
    "finish": ["practice"],
    "record": ["finish"],
    "progress": ["record"],
}
CAPTION = "Quorbel's Lexorin"
PAGES = ["Spelling Lessons", "Lesson Editor", "The Lesson", "Practice"]
PLAYER_TYPED = "Sam Smith"
PLAYER = "Sam_Smith"  # as the tutor cleans the typed name into a file name
# The list the parent pastes into "Add Words": two new words and one the lesson has already.
PASTED_WORDS = "kite, Moon\ncat\n"
ADDED_WORDS = ["KITE", "MOON"]
RECORDED_OVER = "MOON"
# What the tutor writes into a clip made in its own voice (first 4 KiB of the file).
VOICE_MARK = b"ISFT"
VOICE_NAME = b"Lexorin tutor voice (flite cmu_us_slt)\0"


class StageFailed(Exception):
    pass


def log(msg):
    print("[%7.2f] %s" % (time.monotonic() - T0, msg), flush=True)


T0 = time.monotonic()


# ---------------------------------------------------------------------------------
# The accessibility tree


def safe(fn, default=None):
    try:
        return fn()
    except Exception:
        return default


def name(a):
    return safe(lambda: a.name, "") or ""


def role(a):
    return safe(lambda: a.getRoleName(), "") or ""


def states(a):
    return safe(lambda: a.getState(), None)


def is_showing(a):
    s = states(a)
    return bool(s and s.contains(pyatspi.STATE_SHOWING))


def is_enabled(a):
    s = states(a)
    return bool(s and s.contains(pyatspi.STATE_ENABLED))


def is_selected(a):
    s = states(a)
    return bool(s and s.contains(pyatspi.STATE_SELECTED))


def extents(a):
    e = safe(lambda: a.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))
    return None if e is None else (e.x, e.y, e.width, e.height)


def text_of(a):
    """The text of an edit box or memo, else the accessible name (labels)."""
    t = safe(lambda: a.queryText())
    if t is not None:
        got = safe(lambda: t.getText(0, -1))
        if got is not None:
            return got
    return name(a)


def children(a):
    n = safe(lambda: a.childCount, 0) or 0
    for i in range(n):
        c = safe(lambda: a.getChildAtIndex(i))
        if c is not None:
            yield c


def walk(a):
    stack = [a]
    while stack:
        x = stack.pop()
        yield x
        stack.extend(reversed(list(children(x))))


def describe(a):
    return "%s %r%s%s" % (role(a), name(a), "" if is_enabled(a) else " (disabled)", "" if is_showing(a) else " (hidden)")


class Tutor:
    """The tutor's process and its accessible application."""

    def __init__(self, exe, env):
        self.exe = exe
        self.env = env
        self.proc = None
        self.app = None

    def launch(self, out):
        self.proc = subprocess.Popen([self.exe], cwd=os.path.dirname(self.exe), env=self.env,
                                     stdout=out, stderr=subprocess.STDOUT)
        return self.proc

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for a in children(desktop):
            if safe(lambda: a.get_process_id()) == self.proc.pid:
                return a
        return None

    def windows(self):
        app = self.app or self.find_app()
        return list(children(app)) if app else []

    def main_window(self):
        for w in self.windows():
            if name(w) == CAPTION:
                return w
        return None

    def dialogs(self):
        """Top-level windows other than the main one that are showing (input and message boxes)."""
        return [w for w in self.windows() if name(w) != CAPTION and is_showing(w)]

    def find(self, pred, root=None, showing=True):
        root = root or self.main_window()
        if root is None:
            return []
        return [a for a in walk(root) if pred(a) and (not showing or is_showing(a))]

    def one(self, role_name, caption, root=None, showing=True, timeout=10.0):
        """The one control of that role and caption (showing), waiting for it to appear."""
        deadline = time.monotonic() + timeout
        while True:
            self.check_alive()
            found = self.find(lambda a: role(a) == role_name and name(a) == caption, root, showing)
            if len(found) == 1:
                return found[0]
            if len(found) > 1:
                raise StageFailed("%d controls %s %r showing, expected one" % (len(found), role_name, caption))
            if time.monotonic() > deadline:
                raise StageFailed("no %s %r showing after %.0f s; showing now: %s"
                                  % (role_name, caption, timeout, self.summary()))
            time.sleep(0.2)

    def check_alive(self):
        if not self.alive():
            raise StageFailed("the tutor exited with status %s%s" % (self.proc.returncode, self.exit_hint()))
        for d in self.dialogs():
            if role(d) in ("alert", "dialog") and name(d) not in self.expected_dialogs:
                texts = [text_of(x) for x in walk(d) if role(x) in ("label", "text") and text_of(x)]
                raise StageFailed("unexpected box %r: %s" % (name(d), " | ".join(texts)))

    expected_dialogs = set()

    def exit_hint(self):
        """What the tutor said before it ended, and whether the X server is still there."""
        try:
            with open(self.log_path, "rb") as f:
                said = f.read()[-600:].decode("utf-8", "replace").strip()
        except (OSError, AttributeError):
            said = ""
        x = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True)
        return "; it said: %r; X server %s on %s" % (
            said, "answering" if x.returncode == 0 else "NOT answering", os.environ.get("DISPLAY"))

    def summary(self):
        w = self.main_window()
        if w is None:
            return "(no window)"
        shown = [describe(a) for a in walk(w) if is_showing(a) and role(a) in ("push button", "label", "page tab")]
        return "; ".join(shown)

    def active_page(self):
        tabs = self.find(lambda a: role(a) == "page tab")
        sel = [name(t) for t in tabs if is_selected(t)]
        if len(sel) == 1:
            return sel[0]
        # Qt names the tab list after its current tab where the tabs carry no selection.
        lists = self.find(lambda a: role(a) == "page tab list")
        return name(lists[0]) if len(lists) == 1 else None

    def wait_page(self, page, timeout=15.0):
        deadline = time.monotonic() + timeout
        while self.active_page() != page:
            self.check_alive()
            if time.monotonic() > deadline:
                raise StageFailed("page %r not shown after %.0f s (showing %r)" % (page, timeout, self.active_page()))
            time.sleep(0.2)

    def wait_until(self, what, pred, timeout=15.0):
        deadline = time.monotonic() + timeout
        while True:
            self.check_alive()
            got = pred()
            if got:
                return got
            if time.monotonic() > deadline:
                raise StageFailed("%s: not so after %.0f s" % (what, timeout))
            time.sleep(0.2)

    def control_after(self, label_caption, role_name):
        """The first control of role_name after the showing label in its parent (unnamed combos)."""
        label = self.one("label", label_caption)
        parent = label.parent
        seen = False
        for c in children(parent):
            if seen and role(c) == role_name:
                return c
            if c == label or (role(c) == "label" and name(c) == label_caption):
                seen = True
        raise StageFailed("no %s after label %r" % (role_name, label_caption))


# ---------------------------------------------------------------------------------
# The person: pointer, keyboard, eyes and ears


class Person:
    def __init__(self, tutor, rec, shots):
        self.tutor = tutor
        self.rec = rec
        self.shots = shots

    def xdo(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], check=True)

    def click(self, a, what=None):
        what = what or describe(a)
        self.tutor.wait_until("%s usable" % what, lambda: is_showing(a) and is_enabled(a), timeout=20)
        ext = extents(a)
        if not ext or ext[2] <= 0 or ext[3] <= 0:
            raise StageFailed("%s has no place on the screen" % what)
        x, y = ext[0] + ext[2] // 2, ext[1] + ext[3] // 2
        log("click %s at %d,%d" % (what, x, y))
        # (No --sync: it waits forever when the pointer is already there.)
        self.xdo("mousemove", x, y, "sleep", 0.05, "click", 1)

    def press(self, caption, root=None):
        self.click(self.tutor.one("push button", caption, root))

    def keys(self, *names):
        log("keys %s" % " ".join(names))
        self.xdo("key", "--delay", 40, *names)

    def type_into(self, box, text, what="box"):
        """Click into the box, clear it, type the text; check the box now holds it."""
        self.click(box, what)
        self.keys("ctrl+a", "BackSpace")
        if text:
            log("type %r" % text)
            self.xdo("type", "--delay", 40, text)
        self.tutor.wait_until("%s holds %r" % (what, text), lambda: text_of(box) == text, timeout=5)

    def screenshot(self, page, fname, window=None):
        w = window or self.tutor.main_window()
        x, y, wd, ht = extents(w)
        path = os.path.join(self.shots, fname)
        time.sleep(0.4)  # let the last repaint reach the screen
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (wd, ht, x, y), "+repage", path],
                       check=True)
        log("screenshot of %r: %s" % (page, path))

    def mark(self):
        """Where in the recording 'now' is (as a frame index)."""
        return self.rec.frame_now()

    def hear(self, clip, since, timeout=15.0, what=None):
        """Wait until the clip is heard in the recording after frame 'since'."""
        what = what or clip.name
        deadline = time.monotonic() + timeout
        while True:
            self.rec.update()
            m = clipmatch.find(clip, self.rec.env, start=since)
            if m:
                log("heard %s: %r" % (what, m))
                return m
            if time.monotonic() > deadline:
                best = clipmatch.best_match(clip, self.rec.env, start=since)
                raise StageFailed("%s not heard within %.0f s (best: %r)" % (what, timeout, best))
            self.tutor.check_alive()
            time.sleep(0.25)

    def not_heard(self, clip, since):
        self.rec.update()
        m = clipmatch.find(clip, self.rec.env, start=since)
        if m:
            raise StageFailed("%s heard where it should not be: %r" % (clip.name, m))

    def recognise(self, words, since, timeout=20.0):
        """Which word the tutor said after frame 'since', by ear."""
        deadline = time.monotonic() + timeout
        while True:
            self.rec.update()
            m, all_m = clipmatch.identify(words, self.rec.env, start=since)
            if m:
                log("heard the word %s: %r" % (m.clip.name, m))
                return m
            if time.monotonic() > deadline:
                raise StageFailed("no word recognised within %.0f s: %s" % (timeout, all_m))
            self.tutor.check_alive()
            time.sleep(0.25)


# ---------------------------------------------------------------------------------
# The scenario


class Scenario:
    def __init__(self, args):
        self.args = args
        # The content folder (lessons and players) and the program's clips: beside the
        # program in a build, apart in an installed tutor.
        self.tutor_dir = args.content or os.path.dirname(os.path.abspath(args.tutor))
        self.alpha = os.path.join(args.data or self.tutor_dir, "Alpha")
        self.lesson = args.lesson
        self.lesson_dir = os.path.join(self.tutor_dir, self.lesson)
        self.results = {"stages": {}}
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env["PATH"] = self.desktop_without_archive_viewer(args.screenshots) + os.pathsep + env.get("PATH", "")
        self.tutor = Tutor(os.path.abspath(args.tutor), env)
        self.rec = clipmatch.Recording(args.recording)
        self.me = Person(self.tutor, self.rec, args.screenshots)
        self.counts = {}  # word -> [tries, right]
        self.tried = 0
        self.right = 0

    def clip(self, name):
        return clipmatch.Clip(os.path.join(self.alpha, name))

    @staticmethod
    def desktop_without_archive_viewer(folder):
        """A folder whose xdg-mime knows no program for any type, as on most desktops
        for web archives; put first on the tutor's PATH so the run does not depend on
        what this machine has installed."""
        tools = os.path.join(folder, "desktop-tools")
        os.makedirs(tools, exist_ok=True)
        with open(os.path.join(tools, "xdg-mime"), "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(tools, "xdg-mime"), 0o755)
        return tools

    # -- start ----------------------------------------------------------------------
    def stage_start(self):
        self.exec_frame = self.me.mark()
        self.exec_time = time.monotonic()
        self.tutor.log_path = os.path.join(self.args.screenshots, "tutor.log")
        self.tutor_log = open(self.tutor.log_path, "wb")
        self.tutor.launch(self.tutor_log)
        log("started %s (pid %d) at recording frame %d" % (self.tutor.exe, self.tutor.proc.pid, self.exec_frame))
        t = self.tutor
        t.wait_until("the tutor on the accessibility bus", lambda: t.find_app(), timeout=30)
        t.app = t.find_app()
        win = t.wait_until("window %r" % CAPTION, lambda: t.main_window(), timeout=30)
        t.wait_until("window showing", lambda: is_showing(win), timeout=30)
        shown_ms = (time.monotonic() - self.exec_time) * 1000
        x, y, w, h = extents(win)
        log("window %r shown %.0f ms after the start, %dx%d at %d,%d" % (CAPTION, shown_ms, w, h, x, y))
        if (w, h) != (590, 425):
            raise StageFailed("window is %dx%d, expected the 590x425 layout" % (w, h))
        self.results["window_shown_ms"] = round(shown_ms)
        time.sleep(1.0)
        t.check_alive()

    # -- pages ----------------------------------------------------------------------
    def stage_pages(self):
        t, me = self.tutor, self.me
        tabs = t.find(lambda a: role(a) == "page tab")
        got = [name(a) for a in tabs]
        if got != PAGES:
            raise StageFailed("page tabs %r, expected %r" % (got, PAGES))
        t.wait_page("Spelling Lessons")
        memo = t.find(lambda a: role(a) == "text" and text_of(a).startswith("Quorbel Lexorin"))
        if len(memo) != 1:
            raise StageFailed("start text not showing")
        lines = text_of(memo[0]).splitlines()
        if "Instructions:" not in lines or not lines[-1].startswith("Select the Player"):
            raise StageFailed("start text is not the tutor's: %r" % lines)
        for caption in ("Start Test", "Start Practice", "New Player"):
            if is_enabled(t.one("push button", caption)):
                raise StageFailed("%r usable before a lesson and player are chosen" % caption)
        me.screenshot("Spelling Lessons", "spelling-lessons.png")

        me.click(t.one("page tab", "Lesson Editor"))
        t.wait_page("Lesson Editor")
        t.one("label", "Current Words in Lesson")
        # The greeting may still play (the window shows before it): Stop ends it until then.
        stop = t.one("push button", "Stop")
        t.wait_until("the greeting over", lambda: not is_enabled(stop), timeout=15)
        if is_enabled(t.one("push button", "Record")):
            raise StageFailed("Record usable with no word typed")
        me.screenshot("Lesson Editor", "lesson-editor.png")

        # The test and practice pages are reached only by starting a run: a click on
        # their tabs lands on the start page. Each click is made from the editor, so a
        # click that went nowhere would leave the editor showing.
        for page in ("The Lesson", "Practice"):
            t.wait_page("Lesson Editor")
            me.click(t.one("page tab", page))
            time.sleep(0.5)
            t.wait_page("Spelling Lessons")
            t.one("push button", "Start Test")
            if t.find(lambda a: role(a) == "push button" and name(a) in ("Check It", "Return To Test")):
                raise StageFailed("the %r page's controls show after a tab click" % page)
            me.click(t.one("page tab", "Lesson Editor"))
        t.wait_page("Lesson Editor")
        me.click(t.one("page tab", "Spelling Lessons"))
        t.wait_page("Spelling Lessons")

    # -- help -----------------------------------------------------------------------
    def stage_help(self):
        t, me = self.tutor, self.me
        t.wait_page("Spelling Lessons")
        me.press("More Help")
        win = t.wait_until("the help window", lambda: [w for w in t.windows()
                                                       if name(w) == "Lexorin Help" and is_showing(w)], timeout=15)[0]
        shown = t.wait_until("the help text", lambda: [a for a in walk(win) if "Making a lesson" in text_of(a)],
                             timeout=10)
        if "Recording words" not in text_of(shown[0]):
            raise StageFailed("the help window shows %r" % text_of(shown[0])[:200])
        me.screenshot("Help", "help.png", window=win)
        me.click(shown[0], "the help text")
        me.keys("Escape")
        t.wait_until("the help window put away", lambda: not [w for w in t.windows()
                                                              if name(w) == "Lexorin Help" and is_showing(w)])

    # -- welcome --------------------------------------------------------------------
    def stage_welcome(self):
        m = self.me.hear(self.clip("welcome.wav"), self.exec_frame, timeout=20, what="the welcome clip")
        self.results["welcome_ms_after_start"] = m.ms - self.exec_frame * clipmatch.FRAME_MS
        self.results["welcome_ends_ms_after_start"] = (m.frame + m.clip.frames - self.exec_frame) * clipmatch.FRAME_MS
        self.results["welcome_match"] = round(m.score, 3)
        log("welcome clip heard %d ms after the start (r=%.3f)" % (self.results["welcome_ms_after_start"], m.score))

    # -- words ----------------------------------------------------------------------
    @staticmethod
    def voice_marked(path):
        with open(path, "rb") as f:
            head = f.read(4096)
        at = head.find(VOICE_MARK)
        return head.startswith(b"RIFF") and at > 0 and head[at + 8:at + 8 + len(VOICE_NAME)] == VOICE_NAME

    def clip_file(self, word):
        return os.path.join(self.lesson_dir, word + ".wav")

    def stage_words(self):
        t, me = self.tutor, self.me
        t.wait_page("Spelling Lessons")
        me.click(t.one("page tab", "Lesson Editor"))
        t.wait_page("Lesson Editor")
        self.choose(t.control_after("Lession", "combo box"), self.lesson, "the editor's lesson list")
        lists = t.find(lambda a: role(a) == "list")
        if len(lists) != 1:
            raise StageFailed("%d word lists showing" % len(lists))
        words = lists[0]
        before = sorted(f for f in os.listdir(self.lesson_dir) if f.lower().endswith(".wav"))

        # Right-click the word list; its menu offers "Add Words...".
        x, y, w, h = extents(words)
        log("right-click the word list")
        me.xdo("mousemove", x + w // 2, y + h - 10, "sleep", 0.05, "click", 3)
        # Qt's pop-up menus reach no accessibility tree here: the first entry, "Add Words...",
        # is chosen with the keys, as a keyboard user would.
        time.sleep(0.5)
        t.expected_dialogs = {"Add Words"}
        log("choose 'Add Words...' with Down and Return")
        me.xdo("key", "Down", "sleep", 0.1, "key", "Return")
        box = t.wait_until("the dialog 'Add Words'",
                           lambda: [d for d in t.dialogs() if name(d) == "Add Words"], timeout=10)[0]
        edit = [a for a in walk(box) if role(a) == "text" and name(a) == "Words to add" and is_showing(a)]
        if len(edit) != 1:
            raise StageFailed("the dialog has %d word boxes" % len(edit))
        # Pasted: the whole list arrives at once, as from the clipboard.
        me.click(edit[0], "the word box")
        log("paste %r" % PASTED_WORDS)
        if not safe(lambda: edit[0].queryEditableText().insertText(0, PASTED_WORDS, len(PASTED_WORDS))):
            log("the word box takes no pasted text; typing the list instead")
            me.xdo("type", "--delay", 40, PASTED_WORDS)
        t.wait_until("the word box holds the list",
                     lambda: text_of(edit[0]).strip() == PASTED_WORDS.strip(), timeout=10)
        me.screenshot("Add Words", "add-words.png", window=box)
        ok = t.one("push button", "OK", root=box)
        t.wait_until("OK usable", lambda: is_enabled(ok), timeout=10)
        me.click(ok, "OK")
        t.wait_until("the dialog closed once the clips are made",
                     lambda: not [d for d in t.dialogs() if name(d) == "Add Words"], timeout=60)
        t.expected_dialogs = set()
        for word in ADDED_WORDS:
            path = self.clip_file(word)
            if not os.path.isfile(path) or not self.voice_marked(path):
                raise StageFailed("no clip in the tutor's voice for %s" % word)
            clipmatch.Clip(path)  # holds sound
        after = sorted(f for f in os.listdir(self.lesson_dir) if f.lower().endswith(".wav"))
        if sorted(before + [w + ".wav" for w in ADDED_WORDS]) != after:
            raise StageFailed("the lesson holds %r after adding %r to %r" % (after, ADDED_WORDS, before))
        t.wait_until("the word list shows the new words", lambda: all(
            t.find(lambda a, w=w: role(a) == "list item" and name(a) == w) for w in ADDED_WORDS), timeout=10)

        # The parent records one of them in their own voice: the microphone hears the
        # tutor's clip of it played into the virtual microphone.
        spoken = os.path.join(self.args.screenshots, "spoken-%s.wav" % RECORDED_OVER)
        shutil.copyfile(self.clip_file(RECORDED_OVER), spoken)
        me.type_into(t.control_after("Spelling Word", "text"), RECORDED_OVER.lower(), "the spelling word box")
        me.press("Record")
        stop = t.one("push button", "Stop")
        t.wait_until("Stop usable while recording", lambda: is_enabled(stop), timeout=10)
        time.sleep(0.3)
        subprocess.run(["paplay", "-d", "lexorin_mic_feed", spoken], check=True, timeout=30)
        time.sleep(0.3)
        me.click(stop, "Stop")
        t.wait_until("the recording finished", lambda: not is_enabled(stop), timeout=10)
        if self.voice_marked(self.clip_file(RECORDED_OVER)):
            raise StageFailed("%s still carries the tutor's voice mark after it was recorded over" % RECORDED_OVER)
        clipmatch.Clip(self.clip_file(RECORDED_OVER))  # the new recording holds sound
        self.results["words_added"] = ADDED_WORDS
        log("added %s; %s recorded over" % (" ".join(ADDED_WORDS), RECORDED_OVER))
        me.click(t.one("page tab", "Spelling Lessons"))
        t.wait_page("Spelling Lessons")

    # -- player ---------------------------------------------------------------------
    def choose(self, combo, item_name, what):
        """Open a drop-down list with the pointer and pick an item with the pointer."""
        t = self.tutor
        self.me.click(combo, what)
        items = t.wait_until("%s open" % what,
                             lambda: [c for c in walk(combo) if role(c) in ("list item", "menu item") and is_showing(c)],
                             timeout=10)
        names = [name(c) for c in items]
        log("%s offers %r" % (what, names))
        pick = [c for c in items if name(c) == item_name]
        if len(pick) != 1:
            raise StageFailed("%s offers %r, not one %r" % (what, names, item_name))
        self.me.click(pick[0], "%r in %s" % (item_name, what))
        t.wait_until("%s shows %r" % (what, item_name), lambda: name(combo) == item_name or text_of(combo) == item_name,
                     timeout=10)
        return names

    def stage_player(self):
        t, me = self.tutor, self.me
        t.wait_page("Spelling Lessons")
        offered = self.choose(t.control_after("Lesson", "combo box"), self.lesson, "the lesson list")
        for hidden in ("Alpha", "Children"):
            if hidden in offered:
                raise StageFailed("the lesson list offers the content folder %r" % hidden)
        player_list = t.control_after("Player", "combo box")
        t.wait_until("player list usable", lambda: is_enabled(player_list))
        t.expected_dialogs = {"Add New Child"}
        me.press("New Player")
        box = t.wait_until("the input box 'Add New Child'",
                           lambda: [d for d in t.dialogs() if name(d) == "Add New Child"], timeout=10)[0]
        prompts = [name(a) for a in walk(box) if role(a) == "label"]
        if "Childs Full Name" not in prompts:
            raise StageFailed("input box prompts %r" % prompts)
        edit = [a for a in walk(box) if role(a) == "text" and is_showing(a)]
        me.type_into(edit[0], PLAYER_TYPED, "the name box")
        me.press("OK", root=box)
        t.wait_until("input box closed", lambda: not [d for d in t.dialogs() if name(d) == "Add New Child"])
        t.expected_dialogs = set()
        t.wait_until("player list shows %r" % PLAYER,
                     lambda: name(player_list) == PLAYER or text_of(player_list) == PLAYER, timeout=10)
        for caption in ("Start Test", "Start Practice"):
            t.wait_until("%r usable" % caption, lambda c=caption: is_enabled(t.one("push button", c)))
        path = self.record_path()
        if not os.path.isfile(path):
            raise StageFailed("no record file %s" % path)
        root = ET.parse(path).getroot()
        if root.tag != "CHILD" or root.get("name") != PLAYER or len(root):
            raise StageFailed("new record file is %r" % open(path).read())
        log("player %r added: %s" % (PLAYER, open(path).read().strip()))

    def record_path(self):
        return os.path.join(self.tutor_dir, "Children", PLAYER + ".xml")

    # -- test -------------------------------------------------------------------------
    def lesson_words(self):
        files = sorted(f for f in os.listdir(self.lesson_dir) if f.lower().endswith(".wav"))
        return [clipmatch.Clip(os.path.join(self.lesson_dir, f)) for f in files]

    def tallies(self):
        t = self.tutor
        found = {}
        for a in t.find(lambda a: role(a) == "label"):
            for key in ("Number tried:", "Number correct:", "Number wrong:"):
                if name(a).startswith(key):
                    found[key] = name(a)[len(key):]
        return found

    def expect_tallies(self):
        want = {"Number tried:": str(self.tried), "Number correct:": str(self.right),
                "Number wrong:": str(self.tried - self.right)}
        self.tutor.wait_until("tallies %r" % want, lambda: self.tallies() == want, timeout=10)

    def answer(self, typed, by_enter):
        """Type an answer into the test's box and hand it in."""
        t, me = self.tutor, self.me
        box = t.wait_until("the answer box usable",
                           lambda: [a for a in t.find(lambda a: role(a) == "text") if is_enabled(a)], timeout=20)
        if len(box) != 1:
            raise StageFailed("%d answer boxes on the test page" % len(box))
        me.type_into(box[0], typed, "the answer box")
        mark = me.mark()
        if by_enter:
            me.keys("Return")
        else:
            me.press("Check It")
        return mark

    def count(self, word, right):
        c = self.counts.setdefault(word, [0, 0])
        c[0] += 1
        self.tried += 1
        if right:
            c[1] += 1
            self.right += 1

    def right_answer(self, word, by_enter):
        """Answer the word right; the praise must follow. Returns the recording mark after the praise."""
        mark = self.answer(word.lower() if self.tried % 2 else word, by_enter)
        self.count(word, True)
        praise = self.me.hear(self.clip("Correct.wav"), mark, timeout=20, what="the praise")
        return praise.frame + praise.clip.frames

    def stage_test(self):
        t, me = self.tutor, self.me
        self.words = self.lesson_words()
        mark = me.mark()
        me.press("Start Test")
        t.wait_page("The Lesson")
        self.current = me.recognise(self.words, mark).clip.name
        self.expect_tallies()
        me.screenshot("The Lesson", "the-lesson.png")
        after = self.right_answer(self.current, by_enter=False)
        self.current = me.recognise(self.words, after).clip.name
        self.expect_tallies()
        t.wait_page("The Lesson")
        self.check_record_counts(partial=True)

    # -- practice ---------------------------------------------------------------------
    def stage_practice(self):
        t, me = self.tutor, self.me
        word = self.current
        wrong = word[::-1] + "X" if word[::-1].upper() != word.upper() else word + "X"
        mark = self.answer(wrong, by_enter=True)
        self.count(word, False)
        me.hear(self.clip("IsSpelled.wav"), mark, timeout=20, what="'is spelled'")
        t.wait_page("Practice", timeout=30)
        shown = t.one("label", word)
        log("practice page shows %r" % name(shown))
        me.screenshot("Practice", "practice.png")
        boxes = sorted([a for a in t.find(lambda a: role(a) == "text")], key=lambda a: extents(a)[1])
        if len(boxes) != 3:
            raise StageFailed("%d practice boxes showing" % len(boxes))
        nexts = sorted(t.find(lambda a: role(a) == "push button" and name(a) == "Next"), key=lambda a: extents(a)[1])
        # A wrong entry first: "try again", and the box is emptied.
        t.wait_until("first box usable", lambda: is_enabled(boxes[0]), timeout=30)
        me.type_into(boxes[0], wrong, "practice box 1")
        mark = me.mark()
        me.click(nexts[0], "Next 1")
        me.hear(self.clip("tryagain.wav"), mark, timeout=20, what="'try again'")
        t.wait_until("box 1 emptied", lambda: text_of(boxes[0]) == "", timeout=10)
        # Then the word three times: by Next, by Enter, by Next.
        for i, by_enter in ((0, False), (1, True), (2, False)):
            t.wait_until("practice box %d usable" % (i + 1), lambda i=i: is_enabled(boxes[i]), timeout=30)
            me.type_into(boxes[i], word.lower() if i == 1 else word, "practice box %d" % (i + 1))
            letter = self.clip(word[-1] + ".wav")
            mark = me.mark()
            if by_enter:
                me.keys("Return")
            else:
                me.click(nexts[i], "Next %d" % (i + 1))
            me.hear(letter, mark, timeout=20, what="the last letter %s spelled" % word[-1])
        back = t.one("push button", "Return To Test")
        t.wait_until("Return To Test usable", lambda: is_enabled(back), timeout=20)
        mark = me.mark()
        me.click(back)
        t.wait_page("The Lesson")
        self.current = me.recognise(self.words, mark).clip.name
        self.expect_tallies()
        self.check_record_counts(partial=True)

    # -- finish -----------------------------------------------------------------------
    def stage_finish(self):
        t, me = self.tutor, self.me
        # A fresh player's run: every word to two right answers (the ceiling above the
        # lowest count 0), so the run asks for exactly 2 x words right answers in all.
        needed = 2 * len(self.words)
        done_clip = self.clip("LESSON.wav")
        while True:
            if self.right >= needed:
                raise StageFailed("the run goes on after %d right answers (expected %d)" % (self.right, needed))
            after = self.right_answer(self.current, by_enter=self.right % 2 == 0)
            if self.right == needed:
                break
            self.current = me.recognise(self.words, after).clip.name
            if self.counts.get(self.current, [0, 0])[1] >= 2:
                raise StageFailed("%s drawn again after its second right answer" % self.current)
            self.expect_tallies()
        me.hear(done_clip, after, timeout=20, what="the end of the test")
        unasked = [w.name for w in self.words if self.counts.get(w.name, [0, 0])[1] < 2]
        if unasked:
            raise StageFailed("the run ended before %r were spelled right twice" % unasked)
        t.wait_page("Spelling Lessons", timeout=20)
        self.results["right_answers"] = self.right
        self.results["answers"] = self.tried

    # -- record -----------------------------------------------------------------------
    def check_record_counts(self, partial):
        path = self.record_path()
        root = ET.parse(path).getroot()
        # One lesson was taken, so the record holds one lesson element. Its name is the
        # lesson's where that is an XML name; a name like "First Words" is stored encoded.
        lessons = list(root)
        plain_name = re.fullmatch(r"[A-Za-z_][A-Za-z0-9._-]*", self.lesson) is not None
        if root.tag != "CHILD" or len(lessons) != 1 or (plain_name and lessons[0].tag != self.lesson):
            raise StageFailed("record should hold one element for lesson %r: %r" % (self.lesson, open(path).read()))
        stored = {e.tag: (int(e.get("trys")), int(e.get("correct")), e.get("word")) for e in lessons[0]}
        for w in self.words:
            name_ = w.name
            want = tuple(self.counts.get(name_, [0, 0]))
            got = stored.get(name_)
            if got is None or got[:2] != want or got[2] != name_:
                raise StageFailed("record of %s is %r, expected tries/right %r (file: %s)" % (name_, got, want, open(path).read()))
        if len(stored) != len(self.words):
            raise StageFailed("record has %d words for the lesson, it has %d" % (len(stored), len(self.words)))
        if not partial:
            log("record file: %s" % open(path).read().strip())

    def stage_record(self):
        self.check_record_counts(partial=False)
        if sum(c[1] for c in self.counts.values()) != self.right:
            raise StageFailed("driver's own counts disagree")

    # -- progress ---------------------------------------------------------------------
    @staticmethod
    def table_rows(table):
        """The rows of an accessible table as {column header: cell text}."""
        t = safe(lambda: table.queryTable())
        if t is None:
            raise StageFailed("the word table offers no table interface")
        headers = [name(safe(lambda c=c: t.getColumnHeader(c))) or safe(lambda c=c: t.getColumnDescription(c), "")
                   for c in range(t.nColumns)]
        rows = []
        for r in range(t.nRows):
            cells = [safe(lambda r=r, c=c: t.getAccessibleAt(r, c)) for c in range(t.nColumns)]
            rows.append({h: text_of(c) if c is not None else "" for h, c in zip(headers, cells)})
        return headers, rows

    def stage_progress(self):
        t, me = self.tutor, self.me
        t.wait_page("Spelling Lessons")
        caption = "Progress of %s" % PLAYER
        t.expected_dialogs = {caption}
        me.press("Progress")
        win = t.wait_until("the progress window", lambda: [w for w in t.windows()
                                                           if name(w) == caption and is_showing(w)], timeout=20)[0]
        summary = t.wait_until("the summary", lambda: [a for a in walk(win) if role(a) == "label"
                                                       and name(a).startswith("Lessons practised:")], timeout=10)[0]
        want = "Tests taken: 1 \u00b7 Attempts: %d" % self.tried
        if want not in name(summary):
            raise StageFailed("summary %r lacks %r" % (name(summary), want))
        table = t.wait_until("the word table", lambda: [a for a in walk(win) if role(a) == "table"
                                                        and is_showing(a)], timeout=10)[0]
        headers, rows = self.table_rows(table)
        got = {row["Word"].rstrip(" *"): (row["Tries"], row["Right"]) for row in rows}
        want_rows = {w.name: tuple(str(n) for n in self.counts.get(w.name, [0, 0])) for w in self.words}
        if got != want_rows:
            raise StageFailed("word table %r (columns %r), the run made %r" % (got, headers, want_rows))
        missed = [w for w, c in self.counts.items() if c[0] > c[1]]
        if missed and rows[0]["Word"].rstrip(" *") not in missed:
            raise StageFailed("the first row is %r, not a missed word of %r" % (rows[0]["Word"], missed))
        lines = open(os.path.join(self.tutor_dir, "Children", PLAYER + ".history"), encoding="utf-8").read().splitlines()
        answers = [json.loads(line) for line in lines]
        if len(answers) != self.tried or sum(a["right"] for a in answers) != self.right:
            raise StageFailed("history holds %d answers (%d right), the run gave %d (%d right)"
                              % (len(answers), sum(a["right"] for a in answers), self.tried, self.right))
        me.screenshot("Progress", "progress.png", window=win)
        me.keys("Escape")
        t.wait_until("the progress window closed",
                     lambda: not [w for w in t.windows() if name(w) == caption and is_showing(w)], timeout=10)
        t.expected_dialogs = set()
        self.results["progress_rows"] = len(rows)

    # ---------------------------------------------------------------------------------
    def run(self, stages):
        failed = None
        try:
            for s in STAGES:
                if s not in stages:
                    continue
                log("=== stage %s" % s)
                started = time.monotonic()
                getattr(self, "stage_" + s)()
                self.results["stages"][s] = "passed in %.1f s" % (time.monotonic() - started)
                log("=== stage %s passed" % s)
        except StageFailed as e:
            failed = "stage %s failed: %s" % (s, e)
            self.results["stages"][s] = "FAILED: %s" % e
            log(failed)
        finally:
            self.close()
        return failed

    def close(self):
        t = self.tutor
        if t.proc is None:
            return
        if t.proc.poll() is not None:
            self.results["exit"] = "exited by itself with status %s" % t.proc.returncode
            return
        # There is no window manager under Xvfb to close the window; the session ends
        # the way a desktop logout would.
        t.proc.send_signal(signal.SIGTERM)
        try:
            t.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            t.proc.kill()
            t.proc.wait()
        self.results["exit"] = "ended on request"


def enabled_stages(spec):
    if spec in ("all", "full"):
        return list(STAGES)
    wanted = [s for s in spec.replace(",", " ").split() if s]
    for s in wanted:
        if s not in STAGES:
            raise SystemExit("unknown stage %r (stages: %s)" % (s, " ".join(STAGES)))
    for s in wanted:
        for need in NEEDS.get(s, []):
            if need not in wanted:
                raise SystemExit("stage %s needs stage %s" % (s, need))
    return wanted


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--tutor", required=True, help="the tutor's executable (in a scratch copy of its folder)")
    p.add_argument("--recording", required=True, help="raw s16le 44100 Hz stereo recording of the null-sink monitor")
    p.add_argument("--screenshots", required=True, help="folder for screenshots, the tutor's output and results")
    p.add_argument("--stages", default="start pages", help="stages to run, or 'all'")
    p.add_argument("--lesson", default="First Words")
    p.add_argument("--content", help="the tutor's content folder (default: the program's folder)")
    p.add_argument("--data", help="the folder of the program's Alpha clips (default: the content folder)")
    args = p.parse_args()
    stages = enabled_stages(args.stages)
    if not shutil.which("xdotool"):
        raise SystemExit("xdotool is needed (scripts/setup.sh installs it)")
    log("stages: %s" % " ".join(stages))
    sc = Scenario(args)
    failed = sc.run(stages)
    with open(os.path.join(args.screenshots, "results.json"), "w") as f:
        json.dump(sc.results, f, indent=2)
    print(json.dumps(sc.results, indent=2))
    if failed:
        print("E2E FAILED: " + failed, file=sys.stderr)
        return 1
    skipped = [s for s in STAGES if s not in stages]
    print("E2E PASSED: %s%s" % (" ".join(stages), "; not run: " + " ".join(skipped) if skipped else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
