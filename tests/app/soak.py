#!/usr/bin/env python3
"""Soak test: a seeded random walk of a person's actions in the real Tressmoor window.

Needs an X display (scripts/with-display.sh provides one), xdotool and ImageMagick's
`import`. A warm-up first grows the largest hair on every shape in every display mode; the walk
then picks menu items (all but
"Exit"), drags sliders across their ranges, presses "Render Hair" and presses and drags
in the view with every mouse button. It passes when the program is still running with
its window mapped, every line it printed has one of its own formats, and its resident
memory at the end is within 10 % of what it was after the first quarter of the walk.
"""

import argparse
import os
import random
import re
import subprocess
import sys
import threading
import time

WINDOW_TITLE = "Tressmoor"
MENU_BAR_WIDTH = 675
MENU_BAR_HEIGHT = 25

# Menu titles on the bar, found by their label colours, with their items in order.
MENUS = {
    "File": ((0, 0, 191), ["Load Hair Data", "Save Hair Data"]),
    "Under Lying Shape": ((0, 0, 255), ["Plane", "Sphere", "Torus"]),
    "Style": ((191, 109, 255), ["Messy", "Combed"]),
    "Model": ((127, 0, 255), ["Control Points", "Control Polygon", "Wireframe", "Smooth", "Texture"]),
    "View": ((0, 36, 127), ["Rotate", "Translate", "Zoom In", "Zoom Out", "No Zoom"]),
}

# Slider tracks in window coordinates: the value box takes the left end of each slider.
SLIDER_X, SLIDER_W, SLIDER_H = 475, 185, 25
TRACK_START, TRACK_END = SLIDER_X + 40, SLIDER_X + SLIDER_W - 4
SLIDERS = {"length": 70, "parts": 120, "restAngle": 205, "hairs": 280, "clusters": 350}
RENDER_BUTTON = (475 + 135 // 2, 425 + 35 // 2)
VIEW_X, VIEW_Y, VIEW_W, VIEW_H = 10, 35, 445, 455

LINE_FORMATS = [
    re.compile(r"^(length|restAngle|hairs|clusters|parts) = -?\d+$"),
    re.compile(r"^style = (MESSY|COMBED)$"),
    re.compile(r"^ttotal = \d+$"),
]


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True).stdout


class Program:
    def __init__(self, binary):
        self.process = subprocess.Popen([binary], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True, bufsize=1)
        self.lines = []
        self.errors = []
        threading.Thread(target=self._collect, args=(self.process.stdout, self.lines), daemon=True).start()
        threading.Thread(target=self._collect, args=(self.process.stderr, self.errors), daemon=True).start()
        self.window = None
        self.origin = (0, 0)

    @staticmethod
    def _collect(stream, into):
        for line in stream:
            into.append(line.rstrip("\n"))

    def alive(self):
        return self.process.poll() is None

    def find_window(self, seconds=20):
        end = time.time() + seconds
        while time.time() < end and self.alive():
            out = run("xdotool", "search", "--onlyvisible", "--name", "^%s$" % WINDOW_TITLE, check=False)
            ids = out.split()
            if ids:
                self.window = ids[0]
                geometry = run("xdotool", "getwindowgeometry", "--shell", self.window)
                values = dict(line.split("=", 1) for line in geometry.split())
                self.origin = (int(values["X"]), int(values["Y"]))
                return True
            time.sleep(0.1)
        return False

    def window_mapped(self):
        out = run("xdotool", "search", "--onlyvisible", "--name", "^%s$" % WINDOW_TITLE, check=False)
        return self.window in out.split()

    def cpu_ticks(self):
        with open("/proc/%d/stat" % self.process.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])

    def resident_kib(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def wait_idle(self, limit=60.0):
        """Waits until the program has used no CPU for a moment: the last action is done."""
        end = time.time() + limit
        last = self.cpu_ticks()
        quiet = 0
        while time.time() < end and self.alive():
            time.sleep(0.05)
            now = self.cpu_ticks()
            quiet = quiet + 1 if now == last else 0
            last = now
            if quiet >= 3:
                return

    def stop(self):
        if self.alive():
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()


class Walker:
    def __init__(self, program, rng, log):
        self.program = program
        self.rng = rng
        self.log = log
        self.titles = {}

    def at(self, x, y):
        ox, oy = self.program.origin
        return str(ox + x), str(oy + y)

    def locate_menu_titles(self, seconds=10):
        end = time.time() + seconds
        while time.time() < end:
            raw = subprocess.run(["import", "-window", self.program.window, "-crop",
                                  "%dx%d+0+0" % (MENU_BAR_WIDTH, MENU_BAR_HEIGHT), "+repage", "-depth", "8", "rgb:-"],
                                 capture_output=True).stdout
            found = {}
            for name, (colour, _) in MENUS.items():
                columns = [x for x in range(MENU_BAR_WIDTH) for y in range(MENU_BAR_HEIGHT)
                           if len(raw) >= MENU_BAR_WIDTH * MENU_BAR_HEIGHT * 3 and
                           tuple(raw[(y * MENU_BAR_WIDTH + x) * 3:(y * MENU_BAR_WIDTH + x) * 3 + 3]) == colour]
                if columns:
                    found[name] = (min(columns) + max(columns)) // 2
            if len(found) == len(MENUS):
                self.titles = found
                return True
            time.sleep(0.2)
        return False

    def pick(self, menu, item):
        self.log("pick %s > %s" % (menu, item))
        index = MENUS[menu][1].index(item)
        run("xdotool", "mousemove", *self.at(self.titles[menu], MENU_BAR_HEIGHT // 2), "click", "1")
        time.sleep(0.3)
        run("xdotool", "key", *(["Down"] * (index + 1)), "Return")
        if menu == "File":
            self.dismiss_dialogs()

    def dismiss_dialogs(self):
        """File items may open a chooser or a message; cancel whatever opened."""
        time.sleep(1.0)
        for _ in range(3):
            out = run("xdotool", "search", "--onlyvisible", "--name", ".", check=False).split()
            others = [w for w in out if w != self.program.window]
            if not others:
                return
            for window in others:
                run("xdotool", "windowfocus", "--sync", window, check=False)
                run("xdotool", "key", "--window", window, "Escape", check=False)
            time.sleep(0.5)

    def drag_slider(self, name, start, end):
        y = SLIDERS[name] + SLIDER_H // 2
        x0 = TRACK_START + int(start * (TRACK_END - TRACK_START))
        x1 = TRACK_START + int(end * (TRACK_END - TRACK_START))
        self.log("drag slider %s %.2f -> %.2f" % (name, start, end))
        run("xdotool", "mousemove", *self.at(x0, y), "mousedown", "1")
        steps = 6
        for i in range(1, steps + 1):
            run("xdotool", "mousemove", *self.at(x0 + (x1 - x0) * i // steps, y))
        run("xdotool", "mouseup", "1")

    def render(self):
        self.log("render")
        run("xdotool", "mousemove", *self.at(*RENDER_BUTTON), "click", "1")

    def view_gesture(self):
        button = str(self.rng.choice([1, 2, 3]))
        x0 = VIEW_X + self.rng.randrange(20, VIEW_W - 20)
        y0 = VIEW_Y + self.rng.randrange(20, VIEW_H - 20)
        moves = self.rng.randrange(0, 4)
        self.log("view button %s at (%d, %d), %d moves" % (button, x0, y0, moves))
        run("xdotool", "mousemove", *self.at(x0, y0), "mousedown", button)
        x, y = x0, y0
        for _ in range(moves):
            x = min(max(VIEW_X + 5, x + self.rng.randrange(-60, 61)), VIEW_X + VIEW_W - 5)
            y = min(max(VIEW_Y + 5, y + self.rng.randrange(-60, 61)), VIEW_Y + VIEW_H - 5)
            run("xdotool", "mousemove", *self.at(x, y))
        run("xdotool", "mouseup", button)

    def warm_up(self):
        """Grows the largest hair and shows it on every shape in every display mode, so that
        the store and the GL driver have made all their long-lived allocations before the
        memory is first measured."""
        for name in ("clusters", "hairs", "parts", "length", "restAngle"):
            self.drag_slider(name, 0.5, 1.0)
            self.program.wait_idle()
        for shape in ("Plane", "Torus", "Sphere"):
            self.pick("Under Lying Shape", shape)
            self.program.wait_idle()
            for mode in ("Smooth", "Texture", "Wireframe"):
                self.pick("Model", mode)
                self.program.wait_idle()
                self.view_gesture()
                self.program.wait_idle()

    def random_action(self):
        kind = self.rng.choices(["menu", "slider", "render", "view"], weights=[4, 3, 1, 4])[0]
        if kind == "menu":
            menu = self.rng.choice(list(MENUS))
            self.pick(menu, self.rng.choice(MENUS[menu][1]))
        elif kind == "slider":
            self.drag_slider(self.rng.choice(list(SLIDERS)), self.rng.random(), self.rng.random())
        elif kind == "render":
            self.render()
        else:
            self.view_gesture()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("binary", help="the tressmoor program")
    parser.add_argument("--seed", type=int, default=1, help="seed of the walk (default 1)")
    parser.add_argument("--actions", type=int, default=120, help="number of actions (default 120)")
    parser.add_argument("--seconds", type=float, default=60,
                        help="time bound of the walk after the warm-up (default 60)")
    parser.add_argument("--verbose", action="store_true", help="print every action")
    args = parser.parse_args()

    def log(message):
        if args.verbose:
            print("  " + message, flush=True)

    rng = random.Random(args.seed)
    program = Program(args.binary)
    failures = []
    try:
        if not program.find_window():
            print("soak: the window never appeared", file=sys.stderr)
            return 1
        walker = Walker(program, rng, log)
        if not walker.locate_menu_titles():
            print("soak: the menu titles were not found on the bar", file=sys.stderr)
            return 1
        program.wait_idle()

        walker.warm_up()
        program.wait_idle()
        start = time.time()
        done = 0
        first_quarter_rss = None
        while done < args.actions and time.time() - start < args.seconds and program.alive():
            walker.random_action()
            program.wait_idle()
            done += 1
            if first_quarter_rss is None and (done >= args.actions / 4 or
                                              time.time() - start >= args.seconds / 4):
                first_quarter_rss = program.resident_kib()
        final_rss = program.resident_kib() if program.alive() else 0
        elapsed = time.time() - start

        if not program.alive():
            failures.append("the program ended with status %s" % program.process.returncode)
        elif not program.window_mapped():
            failures.append("the window is no longer mapped")
        strange = [line for line in program.lines if not any(f.match(line) for f in LINE_FORMATS)]
        if strange:
            failures.append("lines in no known format: %r" % strange[:5])
        if first_quarter_rss and final_rss > first_quarter_rss * 1.10:
            failures.append("resident memory grew from %d KiB to %d KiB" % (first_quarter_rss, final_rss))

        print("soak: seed %d, %d actions in %.1f s, %d lines printed, resident %s KiB after the first "
              "quarter and %d KiB at the end" % (args.seed, done, elapsed, len(program.lines),
                                                first_quarter_rss, final_rss))
        for line in program.errors[:10]:
            print("  stderr: " + line)
    finally:
        program.stop()

    for failure in failures:
        print("soak: FAILED: " + failure, file=sys.stderr)
    if not failures:
        print("soak: passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
