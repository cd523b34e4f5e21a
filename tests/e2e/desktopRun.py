#!/usr/bin/env python3
"""The desktop program end to end, as a person would use it, on a private Xvfb screen.

Starts vistrel, imports a BMP through the open-file dialog by typing its path, turns the wheel over
the view, clicks a zoom button, drags with a preview and releases, drags out of the window and
releases there, and closes the window with Escape. After each step the view canvas's client area on
the screen must equal, pixel for pixel, what vistrel-script draws for the same commands. The program
must end with exit code 0.

Exit code 0: passed; 1: failed; 77: skipped (no Xvfb or xdotool on this machine).
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

SCREEN_WIDTH, SCREEN_HEIGHT = 1280, 1024
OUTER_WIDTH, OUTER_HEIGHT = 617, 431
# The view canvas sits at (8, 8) of the client area with a one-pixel border.
VIEW_LEFT, VIEW_TOP = 9, 9
VIEW_WIDTH, VIEW_HEIGHT = 430, 334
ZOOM_IN_BUTTON = (480 + 44, 40 + 12)
IMPORT_BUTTON = (480 + 44, 8 + 12)
# A spot of the window's own background, painted in the face colour.
FACE_SPOT = (460, 200)
TIMEOUT = 20.0


class Failure(Exception):
    pass


def wait_for(what, condition, timeout=TIMEOUT, interval=0.05):
    """Polls condition() until it gives a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def write_bmp(path, width, height):
    """A 24-bit bottom-up BMP with a pattern that shows every shift and scale: diagonal colour ramps,
    a grid every 16 pixels and a dark frame."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            if x < 2 or y < 2 or x >= width - 2 or y >= height - 2:
                r, g, b = 20, 20, 60
            elif x % 16 == 0 or y % 16 == 0:
                r, g, b = 250, 250, 250
            else:
                r, g, b = (x * 255) // width, (y * 255) // height, ((x + y) * 3) % 256
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def read_ppm(path):
    with open(path, "rb") as source:
        data = source.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure(path + " is not a binary 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + width * height * 3]
    return width, height, pixels


class Desktop:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.display = None
        self.xvfb = None
        self.program = None
        self.env = None
        self.grabs = 0

    def start_screen(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "%dx%dx24" % (SCREEN_WIDTH, SCREEN_HEIGHT), "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + TIMEOUT
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or self.xvfb.poll() is not None:
                raise Failure("Xvfb did not start")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise Failure("Xvfb did not report its display")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8",
                        XDG_RUNTIME_DIR=self.work)
        # Under LeakSanitizer: the caches of fontconfig and the session bus connection of libdbus live
        # as long as the process and are not leaks of ours.
        suppressions = os.path.join(self.work, "lsan-suppressions.txt")
        with open(suppressions, "w") as out:
            out.write("leak:libfontconfig.so\nleak:libdbus-1.so\n")
        options = self.env.get("LSAN_OPTIONS", "")
        self.env["LSAN_OPTIONS"] = (options + ":" if options else "") + "suppressions=" + suppressions
        self.env.pop("QT_SCALE_FACTOR", None)
        self.env.pop("QT_SCREEN_SCALE_FACTORS", None)

    def run(self, *command, check=True):
        result = subprocess.run(list(command), env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, timeout=TIMEOUT)
        if check and result.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(command), result.stderr.strip()))
        return result.stdout

    def xdotool(self, *args):
        return self.run("xdotool", *[str(a) for a in args])

    def visible_windows(self):
        """The program's mapped top-level windows."""
        output = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "vistrel"],
                                env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                text=True, timeout=TIMEOUT).stdout
        return [line for line in output.split() if line]

    def window_origin(self, window):
        output = self.run("xwininfo", "-id", window)
        values = {}
        for line in output.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                if line.startswith(key + ":"):
                    values[key] = int(line.split(":")[1])
        return values

    def grab(self, x, y, width, height):
        self.grabs += 1
        path = os.path.join(self.work, "grab-%03d.ppm" % self.grabs)
        self.run(self.args.grab, str(x), str(y), str(width), str(height), path)
        return read_ppm(path)


def scripted_view(args, work, commands, name):
    """The view canvas as vistrel-script draws it after the commands."""
    out = os.path.join(work, name.replace(" ", "-") + "-expected.ppm")
    script = "\n".join(commands + ["dump view " + out]) + "\n"
    result = subprocess.run([args.script], input=script, text=True, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=TIMEOUT)
    if result.returncode != 0:
        raise Failure("vistrel-script failed: " + result.stderr.strip())
    return read_ppm(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--script", required=True)
    parser.add_argument("--grab", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    for tool in ("Xvfb", "xdotool", "xwininfo"):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed (tools/install-packages.sh installs it)" % tool)
            return 77

    os.makedirs(args.work, exist_ok=True)
    work = tempfile.mkdtemp(prefix="run-", dir=args.work)
    os.chmod(work, 0o700)
    desktop = Desktop(args, work)
    try:
        desktop.start_screen()
        run_steps(args, desktop, work)
        print("passed on display %s" % desktop.display)
        shutil.rmtree(work, ignore_errors=True)
        return 0
    except Failure as failure:
        print("FAILED: %s (files kept in %s)" % (failure, work))
        return 1
    finally:
        if desktop.program is not None and desktop.program.poll() is None:
            desktop.program.kill()
            desktop.program.wait()
        if desktop.xvfb is not None:
            desktop.xvfb.terminate()
            try:
                desktop.xvfb.wait(timeout=TIMEOUT)
            except subprocess.TimeoutExpired:
                desktop.xvfb.kill()


def run_steps(args, desktop, work):
    # A folder name with a space: the dialog must hand the path back as typed. (xdotool cannot type
    # CJK characters reliably; the platform tests cover such paths.)
    pictures = os.path.join(work, "picture folder")
    os.makedirs(pictures)
    picture = os.path.join(pictures, "pattern.bmp")
    write_bmp(picture, 300, 200)

    log = open(os.path.join(work, "vistrel.log"), "w")
    desktop.program = subprocess.Popen([args.program], env=desktop.env, stdout=log, stderr=log)
    main_window = wait_for("the main window", lambda: desktop.visible_windows())[0]
    origin = desktop.window_origin(main_window)
    left, top = origin["Absolute upper-left X"], origin["Absolute upper-left Y"]
    if (origin["Width"], origin["Height"]) != (OUTER_WIDTH, OUTER_HEIGHT):
        raise Failure("the window is %dx%d" % (origin["Width"], origin["Height"]))
    if (left, top) != ((SCREEN_WIDTH - OUTER_WIDTH) // 2, (SCREEN_HEIGHT - OUTER_HEIGHT) // 2):
        raise Failure("the window is not centred: %d, %d" % (left, top))

    face = desktop.grab(left + FACE_SPOT[0], top + FACE_SPOT[1], 1, 1)[2]
    commands = ["face %d %d %d" % (face[0], face[1], face[2])]

    def screen_point(x, y):
        return left + VIEW_LEFT + x, top + VIEW_TOP + y

    def check(step):
        expected = scripted_view(args, work, commands, step)
        last = [None]

        def matches():
            last[0] = desktop.grab(left + VIEW_LEFT, top + VIEW_TOP, VIEW_WIDTH, VIEW_HEIGHT)
            return last[0] == expected

        try:
            wait_for("the view after '%s' to match vistrel-script" % step, matches, timeout=10.0, interval=0.1)
        except Failure:
            shown = last[0][2]
            wanted = expected[2]
            differing = sum(1 for i in range(0, min(len(shown), len(wanted)), 3) if shown[i:i + 3] != wanted[i:i + 3])
            raise Failure("after '%s' %d of %d view pixels differ from vistrel-script (last grab %s)"
                          % (step, differing, VIEW_WIDTH * VIEW_HEIGHT, "grab-%03d.ppm" % desktop.grabs))
        print("ok: %s" % step)

    check("start")

    # Import: the button opens the dialog; the path is typed into its file name field.
    desktop.xdotool("mousemove", left + IMPORT_BUTTON[0], top + IMPORT_BUTTON[1], "click", "1")
    dialog = wait_for("the open-file dialog",
                      lambda: [w for w in desktop.visible_windows() if w != main_window])[0]
    desktop.xdotool("windowfocus", "--sync", dialog)
    desktop.xdotool("type", "--delay", "2", picture)
    # Return may first close the completer's list; press it until the dialog has gone.
    for attempt in range(5):
        desktop.xdotool("key", "Return")
        try:
            wait_for("the dialog to close", lambda: dialog not in desktop.visible_windows(), timeout=2.0)
            break
        except Failure:
            if attempt == 4:
                raise
    commands.append("import " + picture)
    check("import")

    desktop.xdotool("mousemove", *screen_point(215, 167))
    desktop.xdotool("click", "4")
    commands.append("wheel 1")
    check("wheel")

    desktop.xdotool("mousemove", left + ZOOM_IN_BUTTON[0], top + ZOOM_IN_BUTTON[1], "click", "1")
    commands.append("zoom-in")
    check("zoom in")

    desktop.xdotool("mousemove", *screen_point(100, 100))
    desktop.xdotool("mousedown", "1")
    commands.append("press 100 100")
    desktop.xdotool("mousemove", *screen_point(160, 130))
    commands.append("move 160 130")
    check("drag preview")
    desktop.xdotool("mouseup", "1")
    commands.append("release 160 130")
    check("drag release")

    # A drag leaving the window past its right and bottom edges: the preview and the release stop
    # at the client area's last pixel.
    desktop.xdotool("mousemove", *screen_point(200, 150))
    desktop.xdotool("mousedown", "1")
    commands.append("press 200 150")
    desktop.xdotool("mousemove", left + OUTER_WIDTH + 40, top + OUTER_HEIGHT + 30)
    commands.append("move 429 333")
    check("drag outside preview")
    desktop.xdotool("mouseup", "1")
    commands.append("release 429 333")
    check("drag released outside")

    # Escape closes the window from whichever control has the focus (now the zoom button or view).
    desktop.xdotool("windowfocus", "--sync", main_window)
    desktop.xdotool("key", "Escape")
    try:
        code = desktop.program.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not end after Escape")
    if code != 0:
        raise Failure("the program ended with exit code %d" % code)
    print("ok: Escape, exit code 0")


if __name__ == "__main__":
    sys.exit(main())
