#!/usr/bin/env python3
"""The real program under a private X server, driven as a user drives it (xdotool) and read as other
programs read it (xclip on the X clipboard).

Usage: quorvel_e2e.py PROGRAM CASE...   (exit 0 pass, 1 fail, 77 skipped)
"""
import ctypes
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
import zlib

SKIP = 77
TIMEOUT = 15.0  # seconds for any one wait

# The window's fixed layout, in client-area pixels (the menu bar lies above the client area).
CLIENT_HEIGHT = 428
CHART = (208, 152, 289, 208)  # left, top, width, height
BTN_GRAPH_COPY = (400 + 48, 120 + 12)
BTN_COPY = (8 + 406 + 37, 360 + 32 + 12)  # the formula copy, in the result group box
TABLE_FIRST_Y_CELL = (8 + 8 + 40, 24 + 8 + 24)  # inside the grid's row 1, column 0
WINDOW_TITLE = "Аппроксимация экспериментальных данных"
CHART_COPIED = "График скопирован в буфер обмена Windows"


def _die_with_parent():
    """Runs in a started child: the kernel ends it should this script be killed without cleaning up."""
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


class Failure(Exception):
    pass


class Skipped(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, probe, timeout=TIMEOUT, interval=0.05):
    """Polls probe until it returns a true value; fails after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


class Desktop:
    """A private Xvfb with one running program; everything it started is ended on close."""

    def __init__(self, program):
        self.program = program
        self.xvfb = None
        self.app = None
        self.tmp = tempfile.mkdtemp(prefix="quorvel-e2e-")
        self.env = None
        self.window = None

    # --- processes -------------------------------------------------------------------------------
    def start(self):
        read_fd, write_fd = os.pipe()
        # -displayfd lets the server take the first free display number and report it when ready.
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True, preexec_fn=_die_with_parent)
        os.close(write_fd)
        number = b""
        end = time.monotonic() + TIMEOUT
        os.set_blocking(read_fd, False)
        while not number.endswith(b"\n"):
            if time.monotonic() > end or self.xvfb.poll() is not None:
                os.close(read_fd)
                raise Skipped("Xvfb did not start")
            try:
                chunk = os.read(read_fd, 16)
            except BlockingIOError:
                chunk = None
            if chunk == b"":
                break
            if chunk:
                number += chunk
            else:
                time.sleep(0.02)
        os.close(read_fd)
        display = ":" + number.decode().strip()
        runtime = os.path.join(self.tmp, "runtime")
        os.mkdir(runtime, 0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.tmp,
            "DISPLAY": display,
            "XDG_RUNTIME_DIR": runtime,
            "QT_QPA_PLATFORM": "xcb",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        }
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "LD_LIBRARY_PATH"):
            if name in os.environ:
                self.env[name] = os.environ[name]
        wait_for("the X server", lambda: self.run(["xdotool", "getdisplaygeometry"], check_rc=False)[0] == 0)
        self.log = open(os.path.join(self.tmp, "program.log"), "wb")
        self.app = subprocess.Popen([self.program], env=self.env, stdout=self.log, stderr=subprocess.STDOUT,
                                    start_new_session=True, preexec_fn=_die_with_parent)
        self.window = wait_for("the main window", lambda: self.find_window(WINDOW_TITLE), timeout=30)
        self.focus(self.window)

    def close(self):
        for proc in (self.app, self.xvfb):
            if proc is not None and proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait(timeout=5)
        if getattr(self, "log", None) is not None:
            self.log.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def program_output(self):
        try:
            with open(os.path.join(self.tmp, "program.log"), "rb") as f:
                return f.read().decode(errors="replace")
        except OSError:
            return ""

    def alive(self):
        return self.app is not None and self.app.poll() is None

    def run(self, args, data=None, check_rc=True):
        """Runs an X client on the private display; returns (exit code, stdout bytes)."""
        try:
            done = subprocess.run(args, env=self.env, input=data, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("timed out: " + " ".join(args))
        if check_rc and done.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(args), done.stderr.decode(errors="replace").strip()))
        return done.returncode, done.stdout

    # --- windows and input -----------------------------------------------------------------------
    def visible_windows(self):
        rc, out = self.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.app.pid)], check_rc=False)
        return [int(w) for w in out.split()] if rc == 0 else []

    def window_name(self, window):
        rc, out = self.run(["xdotool", "getwindowname", str(window)], check_rc=False)
        return out.decode(errors="replace").strip() if rc == 0 else ""

    def find_window(self, title):
        check(self.alive(), "the program ended:\n" + self.program_output())
        for w in self.visible_windows():
            if self.window_name(w) == title:
                return w
        return None

    def focus(self, window):
        # No window manager runs, so the input focus is set directly.
        self.run(["xdotool", "windowfocus", "--sync", str(window)])

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers", "--delay", "30"] + list(keys))

    def type_text(self, text):
        self.run(["xdotool", "type", "--clearmodifiers", "--delay", "30", text])

    def client_origin(self):
        """Screen position of the client area's top left corner."""
        _, out = self.run(["xdotool", "getwindowgeometry", "--shell", str(self.window)])
        geo = dict(line.split("=", 1) for line in out.decode().split())
        menu = int(geo["HEIGHT"]) - CLIENT_HEIGHT
        return int(geo["X"]), int(geo["Y"]) + menu

    def close_window(self, window):
        """Asks the window to close as a window manager does (WM_DELETE_WINDOW); xdotool cannot."""
        xcb = ctypes.CDLL("libxcb.so.1")
        xcb.xcb_connect.restype = ctypes.c_void_p
        xcb.xcb_connect.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
        xcb.xcb_intern_atom.restype = ctypes.c_uint
        xcb.xcb_intern_atom.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint16, ctypes.c_char_p]
        xcb.xcb_intern_atom_reply.restype = ctypes.POINTER(ctypes.c_uint32 * 3)
        xcb.xcb_intern_atom_reply.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_void_p]
        xcb.xcb_send_event.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint32, ctypes.c_uint32,
                                       ctypes.c_char_p]
        xcb.xcb_get_input_focus.restype = ctypes.c_uint
        xcb.xcb_get_input_focus.argtypes = [ctypes.c_void_p]
        xcb.xcb_get_input_focus_reply.restype = ctypes.c_void_p
        xcb.xcb_get_input_focus_reply.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_void_p]
        xcb.xcb_disconnect.argtypes = [ctypes.c_void_p]
        connection = xcb.xcb_connect(self.env["DISPLAY"].encode(), None)

        def atom(name):
            # The reply: type, pad, sequence, length, then the atom.
            return xcb.xcb_intern_atom_reply(connection, xcb.xcb_intern_atom(connection, 0, len(name), name),
                                             None).contents[2]

        message = struct.pack("=BBHII5I", 33, 32, 0, window, atom(b"WM_PROTOCOLS"), atom(b"WM_DELETE_WINDOW"),
                              0, 0, 0, 0)
        xcb.xcb_send_event(connection, 0, window, 0, message)
        # A round trip, so that the server has taken the event before the connection goes.
        xcb.xcb_get_input_focus_reply(connection, xcb.xcb_get_input_focus(connection), None)
        xcb.xcb_disconnect(connection)

    def click(self, client_x, client_y, button=1):
        x, y = self.client_origin()
        self.run(["xdotool", "mousemove", "--sync", str(x + client_x), str(y + client_y), "click", str(button)])

    def drag(self, start, end):
        x, y = self.client_origin()
        self.run(["xdotool", "mousemove", "--sync", str(x + start[0]), str(y + start[1]), "mousedown", "1"])
        steps = 8
        for i in range(1, steps + 1):
            px = start[0] + (end[0] - start[0]) * i // steps
            py = start[1] + (end[1] - start[1]) * i // steps
            self.run(["xdotool", "mousemove", "--sync", str(x + px), str(y + py)])
        self.run(["xdotool", "mouseup", "1"])

    def answer_box(self, title, text_hint=None):
        """Waits for an information box of the program and answers it with Return."""
        box = wait_for("the box '%s'" % title, lambda: self.find_window(title))
        check(box != self.window, "the box is the main window")
        self.focus(box)
        self.key("Return")
        wait_for("the box to close", lambda: box not in self.visible_windows())
        self.focus(self.window)

    # --- clipboard -------------------------------------------------------------------------------
    def clipboard(self, target):
        rc, out = self.run(["xclip", "-selection", "clipboard", "-o", "-t", target], check_rc=False)
        return out if rc == 0 else None

    def targets(self):
        out = self.clipboard("TARGETS")
        return [] if out is None else out.decode(errors="replace").split()

    def put_clipboard(self, text):
        """Puts text on the clipboard as another program; xclip serves it from the background."""
        proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=self.env,
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        proc.communicate(text, timeout=TIMEOUT)
        wait_for("xclip to own the clipboard", lambda: self.clipboard("UTF8_STRING") == text
                 or self.clipboard("STRING") == text)


# --- PNG reading (8-bit RGB or RGBA, not interlaced: what the program writes) ---------------------
def read_png(data):
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG")
    pos = 8
    idat = b""
    width = height = depth = ctype = interlace = None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    check(depth == 8 and ctype in (2, 6) and interlace == 0, "unexpected PNG kind %s/%s" % (depth, ctype))
    bpp = 3 if ctype == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows = []
    prev = bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 0xFF
            elif f == 2:
                line[i] = (line[i] + b) & 0xFF
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        prev = line
    return width, height, rows


# --- the program's actions -------------------------------------------------------------------------
def type_points(desk, points):
    """Types the pairs into the table from row 1 on, Y then X, each ended by Return."""
    desk.click(*TABLE_FIRST_Y_CELL)
    for y, x in points:
        desk.type_text(y)
        desk.key("Return")
        desk.type_text(x)
        desk.key("Return")


def copy_chart(desk):
    desk.click(*BTN_GRAPH_COPY)
    desk.answer_box("Quorvel")
    data = wait_for("the chart on the clipboard", lambda: desk.clipboard("image/png"))
    return read_png(data)


POINTS = [("1", "1"), ("4", "2"), ("9", "3"), ("16", "4"), ("25", "5"), ("37", "6")]
# The markers' colours (red, blue, purple), as the deviation colouring may give them.
MARKER_COLOURS = {(255, 0, 0), (0, 0, 255), (128, 0, 128)}


def markers(rows):
    """Centres of the marker squares in the picture: blobs of a marker colour, by their bounding boxes.
    The curve may cross a marker and the plot's edge may cut one, so a blob needs only a few pixels."""
    h, w = len(rows), len(rows[0])
    seen = set()
    found = []
    for y in range(h):
        for x in range(w):
            c = rows[y][x]
            if c not in MARKER_COLOURS or (x, y) in seen:
                continue
            stack, blob = [(x, y)], []
            seen.add((x, y))
            while stack:
                px, py = stack.pop()
                blob.append((px, py))
                for nx, ny in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
                    if 0 <= nx < w and 0 <= ny < h and (nx, ny) not in seen and rows[ny][nx] == c:
                        seen.add((nx, ny))
                        stack.append((nx, ny))
            xs = [p[0] for p in blob]
            ys = [p[1] for p in blob]
            box = [min(xs), min(ys), max(xs), max(ys), len(blob)]
            # Pieces of one marker that the curve cut apart lie within its 5 x 5 square.
            for other in found:
                if max(other[2], box[2]) - min(other[0], box[0]) < 5 and \
                        max(other[3], box[3]) - min(other[1], box[1]) < 5:
                    other[0:4] = [min(other[0], box[0]), min(other[1], box[1]),
                                  max(other[2], box[2]), max(other[3], box[3])]
                    other[4] += box[4]
                    break
            else:
                found.append(box)
    return sorted(((b[0] + b[2]) // 2, (b[1] + b[3]) // 2) for b in found if b[4] >= 6)


def differing(a, b):
    return sum(1 for ra, rb in zip(a, b) for pa, pb in zip(ra, rb) if pa != pb)


# --- cases ----------------------------------------------------------------------------------------
def case_table_copy(desk):
    """Ctrl+C writes the table as Y, tab, X, CR LF per data row, entry row included."""
    type_points(desk, [("1", "2"), ("3", "4")])
    desk.key("ctrl+c")
    text = wait_for("table text on the clipboard", lambda: desk.clipboard("UTF8_STRING")
                    or desk.clipboard("STRING"))
    lines = text.split(b"\r\n")
    check(lines[-1] == b"", "the text does not end with CR LF: %r" % text[-10:])
    check(len(lines) == 20, "%d lines for the 19 data rows of the start table" % (len(lines) - 1))
    check(lines[0] == b"1\t2" and lines[1] == b"3\t4", "first rows: %r" % lines[:2])
    check(all(line == b"\t" for line in lines[2:-1]), "later rows are not empty: %r" % lines[2:6])
    check(b"\n" not in text.replace(b"\r\n", b""), "a line feed without CR")


def case_table_paste(desk):
    """Text from another program pasted with Ctrl+V comes back unchanged through Ctrl+C."""
    desk.put_clipboard(b"1.5\t2\r\n3\t4.25\n5\t6\r\n")
    desk.focus(desk.window)
    desk.click(*TABLE_FIRST_Y_CELL)
    desk.key("ctrl+v")
    time.sleep(0.3)
    desk.key("ctrl+c")
    text = wait_for("table text on the clipboard",
                    lambda: (lambda t: t if t and not t.startswith(b"1.5\t2\r\n3\t4.25\n") else None)(
                        desk.clipboard("UTF8_STRING") or desk.clipboard("STRING")))
    check(text == b"1.5\t2\r\n3\t4.25\r\n5\t6\r\n\t\r\n",
          "the pasted table copies back as %r" % text)


def case_chart_copy(desk):
    """The chart's copy button puts SVG and PNG of the chart on the X clipboard, replacing text."""
    desk.put_clipboard(b"earlier text")
    desk.focus(desk.window)
    type_points(desk, POINTS)
    width, height, rows = copy_chart(desk)
    check((width, height) == (CHART[2], CHART[3]), "PNG size %dx%d" % (width, height))
    targets = desk.targets()
    check("image/svg+xml" in targets and "image/png" in targets, "TARGETS: %s" % targets)
    check(not any(t in targets for t in ("UTF8_STRING", "STRING", "TEXT", "text/plain")),
          "text still offered: %s" % targets)
    svg = desk.clipboard("image/svg+xml")
    check(svg is not None, "no SVG")
    root = ET.fromstring(svg)
    check(root.tag == "{http://www.w3.org/2000/svg}svg", "SVG root is %s" % root.tag)
    check(root.get("width") == str(CHART[2]) and root.get("height") == str(CHART[3]),
          "SVG size %s x %s" % (root.get("width"), root.get("height")))
    check(len(list(root.iter())) > 20, "the SVG holds almost nothing")
    check(len(markers(rows)) == len(POINTS), "markers in the picture: %d" % len(markers(rows)))
    # The panel's raised bevel: light top edge, dark right edge.
    check(rows[0][100] == (255, 255, 255) and rows[100][CHART[2] - 1] == (160, 160, 160),
          "bevel pixels %s %s" % (rows[0][100], rows[100][CHART[2] - 1]))
    print("TARGETS:", " ".join(targets))


def case_chart_clicks(desk):
    """A click on a point toggles the value marks and keeps the zoom; a click elsewhere undoes it."""
    type_points(desk, POINTS)
    _, _, plain = copy_chart(desk)
    spots = sorted(markers(plain))
    check(len(spots) == len(POINTS), "markers: %s" % spots)

    # Marks on, then off again, by clicks on a measured point.
    px, py = spots[2]
    desk.click(CHART[0] + px, CHART[1] + py)
    _, _, marked = copy_chart(desk)
    check(differing(plain, marked) > 50, "no marks appeared")
    desk.click(CHART[0] + px, CHART[1] + py)
    _, _, unmarked = copy_chart(desk)
    check(differing(plain, unmarked) == 0, "marks did not go away")

    # Zoom in by a drag around the middle points; a click on a point keeps the zoom.
    (x1, y1), (x2, y2) = spots[1], spots[4]
    desk.drag((CHART[0] + x1 - 6, CHART[1] + y2 - 6), (CHART[0] + x2 + 6, CHART[1] + y1 + 6))
    _, _, zoomed = copy_chart(desk)
    check(differing(plain, zoomed) > 100, "the drag did not zoom")
    zoomed_spots = sorted(markers(zoomed))
    check(zoomed_spots, "no marker inside the zoomed chart")
    zx, zy = zoomed_spots[0]
    desk.click(CHART[0] + zx, CHART[1] + zy)
    _, _, still = copy_chart(desk)
    check(differing(zoomed, still) > 50, "the click on a point did not toggle the marks")
    desk.click(CHART[0] + zx, CHART[1] + zy)
    _, _, still = copy_chart(desk)
    check(differing(zoomed, still) == 0, "the zoom did not stay")

    # A left click on an empty place of the plot undoes the zoom.
    desk.click(CHART[0] + CHART[2] - 20, CHART[1] + 20)
    _, _, restored = copy_chart(desk)
    check(differing(plain, restored) == 0, "the zoom was not undone")


def case_info_box_keys(desk):
    """The formula copy's box takes the keyboard: Space answers it instead of pressing the button again."""
    type_points(desk, POINTS)
    desk.click(*BTN_COPY)
    box = wait_for("the box", lambda: desk.find_window("Quorvel"))
    wait_for("the box to take the keyboard",
             lambda: desk.run(["xdotool", "getwindowfocus"], check_rc=False)[1].strip() == str(box).encode())
    desk.key("space")
    wait_for("the box to close", lambda: box not in desk.visible_windows())
    time.sleep(0.5)
    check(desk.find_window("Quorvel") is None, "the key brought another box")
    formula = desk.clipboard("UTF8_STRING") or desk.clipboard("STRING")
    check(formula is not None and formula.startswith("Y = ".encode()), "clipboard: %r" % formula)


def case_formula_after_tab(desk):
    """A cell edited and left with Tab: the table is fitted anew, Tab stops on the formula's "Копировать",
    and Space there copies the new table's formula, not the one shown before the edit (which it did)."""
    type_points(desk, POINTS)
    desk.click(*BTN_COPY)
    desk.answer_box("Quorvel")
    before = desk.clipboard("UTF8_STRING") or desk.clipboard("STRING")
    check(before is not None and before.startswith("Y = ".encode()), "clipboard: %r" % before)
    # Row 3's Y, 9, becomes 10.
    desk.click(TABLE_FIRST_Y_CELL[0], TABLE_FIRST_Y_CELL[1] + 2 * 16)
    desk.key("End", "BackSpace", "BackSpace", "BackSpace")
    desk.type_text("10")
    desk.key("Tab")
    desk.key("space")
    desk.answer_box("Quorvel")
    after = desk.clipboard("UTF8_STRING") or desk.clipboard("STRING")
    check(after is not None and after.startswith("Y = ".encode()), "clipboard: %r" % after)
    check(after != before, "Space after Tab copied the formula of the table before the edit: %r" % after)
    # The cubic of the edited table, as quorvel-fit gives it beside the window's program.
    fit = os.path.join(os.path.dirname(os.path.abspath(desk.program)), "..", "cli", "quorvel-fit")
    if os.access(fit, os.X_OK):
        table = "".join("%s %s\n" % (("10" if i == 2 else y), x) for i, (y, x) in enumerate(POINTS))
        _, out = desk.run([fit, "--kind", "cubic", "-"], data=table.encode())
        formula = [line for line in out.splitlines() if line.startswith("Y = ".encode())]
        check(formula == [after], "copied %r, the edited table's formula is %r" % (after, formula))


def case_window_destroyed(desk):
    """The window destroyed by another client (xdotool windowclose), idle and during a long read: the
    process used to stay without a window, indefinitely; it ends, with status 0."""
    return close_during_read(desk, lambda: desk.run(["xdotool", "windowclose", str(desk.window)], check_rc=False))


def case_close_during_read(desk):
    """A window manager's close, idle and 0.3 s into a long read: a close during the read used to be
    dropped, the read went on and the window stayed open; it stops the read and ends the program."""
    return close_during_read(desk, lambda: desk.close_window(desk.window))


def close_during_read(desk, close):
    for reading in (False, True):
        if reading:
            desk.close()
            desk.__init__(desk.program)
            path = os.path.join(desk.tmp, "big.txt")
            with open(path, "w") as f:
                f.writelines("%d.5 %d\n" % (k, k) for k in range(1, 5000001))
            desk.start()
            desk.key("ctrl+l")
            wait_for("the file dialog", lambda: len(desk.visible_windows()) > 1)
            time.sleep(0.5)
            desk.type_text(path)
            desk.key("Return")
            time.sleep(0.3)
        close()
        wait_for("the program's end", lambda: not desk.alive())
        check(desk.app.returncode == 0, "status %s" % desk.app.returncode)
    return "ended"


CASES = {
    "table_copy": case_table_copy,
    "table_paste": case_table_paste,
    "chart_copy": case_chart_copy,
    "chart_clicks": case_chart_clicks,
    "info_box_keys": case_info_box_keys,
    "formula_after_tab": case_formula_after_tab,
    "window_destroyed": case_window_destroyed,
    "close_during_read": case_close_during_read,
}


def main(argv):
    if len(argv) < 3 or any(c not in CASES for c in argv[2:]):
        print(__doc__ + "cases: " + " ".join(CASES), file=sys.stderr)
        return 2
    program = argv[1]
    for tool in ("Xvfb", "xdotool", "xclip"):
        if shutil.which(tool) is None:
            print("SKIPPED: %s is not installed" % tool)
            return SKIP
    if not os.access(program, os.X_OK):
        print("FAILED: no program at " + program)
        return 1
    result = 0
    for name in argv[2:]:
        desk = Desktop(program)
        # A signal from CTest's timeout still ends everything the case started.
        signal.signal(signal.SIGTERM, lambda *_: (desk.close(), sys.exit(1)))
        try:
            desk.start()
            if CASES[name](desk) != "ended":
                check(desk.alive(), "the program ended")
            print("PASSED: " + name)
        except Skipped as e:
            print("SKIPPED: %s: %s" % (name, e))
            result = result or SKIP
        except Failure as e:
            print("FAILED: %s: %s" % (name, e))
            out = desk.program_output()
            if out:
                print("program output:\n" + out)
            result = 1
        finally:
            desk.close()
    return result


if __name__ == "__main__":
    sys.exit(main(sys.argv))
