#!/usr/bin/env python3
"""End-to-end tests of aquarium.scr under Wine on a private X server.

    scr_e2e.py AQUARIUM_SCR PREVIEW_HOST_EXE WINDOW_TEXTS_EXE OUTPUT_DIR [unittest arguments]

Every test runs in a Wine prefix of its own, so the registry starts empty
each time: a copy (scripts/wine-prefix.sh) of the template prefix named by
AQUARIUM_WINE_TEMPLATE, which is made there when missing (without the
variable, in a temporary folder). The tests leave their screenshots in
OUTPUT_DIR. The X server is Xvfb at 1024x768 on a free display number, or
for the display modes and the two monitors Xorg with its dummy driver.
"""
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from collections import Counter, namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_PREFIX_SCRIPT = os.path.join(HERE, "..", "..", "scripts", "wine-prefix.sh")


def read_support_file(name):
    """A file the Linux and Windows end-to-end tests share (tests/support)."""
    with open(os.path.join(HERE, "..", "support", name)) as f:
        return f.read()


SCREEN_W, SCREEN_H = 1024, 768
KEY = r"HKCU\Software\marevista_20110817"
GENERAL = ["r_floor", "d_show_info", "d_exit_omm", "camxz", "camyy", "camrr", "camlr", "camhh", "d_other_monitors"]
DEVICE = ["r_adapter", "r_device", "r_mode", "r_multi_sample"]
DEFAULTS = {"r_floor": 0, "d_show_info": 1, "d_exit_omm": 0, "camxz": 0x43870000, "camyy": 0x41700000,
            "camrr": 0x40000000, "camlr": 0, "camhh": 0, "d_other_monitors": 1}
TITLE = "^Aquarium"
# What the about box says, its line breaks as window_texts writes them.
ABOUT_TEXT = ("Aquarium - a soft-bodied fish in a wire-frame tank\\n"
              "A screen saver: waves run along the fish's spine and the water pushes it on.\\n"
              "H/L: view up/down, S: info text. Any other key, a click or moving the mouse stops it.")

SCR = PREVIEW_HOST = WINDOW_TEXTS = OUT = None
XVFB = None
DISPLAY = None
WORK = None
TEMPLATE = None


def base_env(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, DISPLAY=DISPLAY, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
               AQUARIUM_SEED="3")
    env.pop("WAYLAND_DISPLAY", None)
    return env


def start_x_server(argv, name):
    """Starts an X server that picks a free display number; answers the
    process and its display."""
    read_fd, write_fd = os.pipe()
    server = subprocess.Popen([*argv, "-displayfd", str(write_fd), "-nolisten", "tcp"], pass_fds=(write_fd,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_fd, 16)
        if not chunk:
            os.close(read_fd)
            raise RuntimeError(f"{name} did not start")
        number += chunk
    os.close(read_fd)
    return server, ":" + number.decode().strip()


def setUpModule():
    global XVFB, DISPLAY, WORK, TEMPLATE
    XVFB, DISPLAY = start_x_server(["Xvfb", "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24"], "Xvfb")
    WORK = tempfile.mkdtemp(prefix="aquarium-scr-e2e-")
    TEMPLATE = os.environ.get("AQUARIUM_WINE_TEMPLATE") or os.path.join(WORK, "template")


def tearDownModule():
    if XVFB is not None:
        XVFB.terminate()
        XVFB.wait()
    if WORK is not None:
        shutil.rmtree(WORK, ignore_errors=True)


Control = namedtuple("Control", "id left top right bottom kind text")


def xdotool(*args, check=True):
    return subprocess.run(["xdotool", *args], env={**os.environ, "DISPLAY": DISPLAY}, capture_output=True,
                          text=True, check=check).stdout


class ScrCase(unittest.TestCase):
    """A private Wine prefix per test, and what the tests do with it."""

    def setUp(self):
        self.prefix = os.path.join(WORK, self.id().split(".")[-1])
        subprocess.run(["bash", WINE_PREFIX_SCRIPT, TEMPLATE, self.prefix], check=True)
        self.env = base_env(self.prefix)
        self.processes = []
        xdotool("mousemove", str(SCREEN_W - 4), str(SCREEN_H - 4))

    def tearDown(self):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
                p.wait()
            if p.stdout is not None:
                p.stdout.close()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "--wait"], env=self.env, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.prefix, ignore_errors=True)

    # ---- helpers ----

    def start(self, program, *args, stdout=None):
        p = subprocess.Popen(["wine", program, *args], env=self.env, stdout=stdout, stderr=subprocess.DEVNULL,
                             text=True)
        self.processes.append(p)
        return p

    def start_host(self, seconds, *options):
        """preview_host.exe: answers the process, its window's handle (as
        text) and a function that waits for its next line."""
        host = self.start(PREVIEW_HOST, str(seconds), *options, stdout=subprocess.PIPE)
        lines = queue.Queue()
        def read():
            try:
                for line in host.stdout:
                    lines.put(line.strip())
            except (OSError, ValueError):  # closed at the test's end
                pass

        threading.Thread(target=read, daemon=True).start()

        def next_line(timeout=20):
            try:
                return lines.get(timeout=timeout)
            except queue.Empty:
                return None

        handle = next_line()
        self.assertTrue(handle is not None and handle.isdigit(), f"the host printed {handle!r}")
        self.wait_window("^preview host$")
        return host, handle, next_line

    def wait_exit(self, p, seconds):
        try:
            return p.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return None

    def wait_window(self, pattern=TITLE, seconds=30):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            found = xdotool("search", "--onlyvisible", "--name", pattern, check=False).split()
            if found:
                return found[-1]
            time.sleep(0.25)
        self.fail(f"no window named {pattern} within {seconds} s")

    def geometry(self, window):
        info = subprocess.run(["xwininfo", "-display", DISPLAY, "-id", window], capture_output=True, text=True).stdout
        get = lambda label: int(re.search(label + r":\s+(-?\d+)", info).group(1))
        return (get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"), get("Height"))

    def focus(self, window):
        xdotool("windowfocus", "--sync", window, check=False)
        time.sleep(0.3)

    def registry(self):
        result = subprocess.run(["wine", "reg", "query", KEY], env=self.env, capture_output=True, text=True)
        values = {}
        for line in result.stdout.splitlines():
            m = re.match(r"\s+(\S+)\s+(REG_\w+)\s*(.*)$", line)
            if m:
                values[m.group(1)] = (m.group(2), m.group(3).strip())
        return values

    def dword(self, values, name):
        kind, data = values[name]
        self.assertEqual(kind, "REG_DWORD", name)
        return int(data, 16)

    def reg_add(self, name, kind, data):
        subprocess.run(["wine", "reg", "add", KEY, "/v", name, "/t", kind, "/d", data, "/f"], env=self.env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def controls(self, title):
        """The child windows of the visible top-level window `title`, or
        None when there is none."""
        result = subprocess.run(["wine", WINDOW_TEXTS, title], env=self.env, capture_output=True, text=True)
        if result.returncode == 1:
            return None
        self.assertEqual(result.returncode, 0, result.stderr)
        found = []
        for line in result.stdout.splitlines():
            m = re.fullmatch(r"(-?\d+) (-?\d+) (-?\d+) (-?\d+) (-?\d+) ([^|]*)\|(.*)", line)
            self.assertIsNotNone(m, line)
            found.append(Control(*(int(v) for v in m.groups()[:5]), m.group(6), m.group(7)))
        return found

    def click_button(self, title, text):
        buttons = [c for c in self.controls(title) or [] if c.kind.lower() == "button" and c.text == text]
        self.assertEqual(len(buttons), 1, f"no single button {text!r} in {title!r}")
        b = buttons[0]
        xdotool("mousemove", str((b.left + b.right) // 2), str((b.top + b.bottom) // 2), "click", "1")

    def screenshot(self, name):
        path = os.path.join(OUT, name + ".png")
        subprocess.run(["import", "-display", DISPLAY, "-window", "root", path], check=True)
        return path

    @staticmethod
    def pixels(path, x, y, w, h):
        """RGB triples of the rectangle, rows from the top."""
        raw = subprocess.run(["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", "-depth", "8", "rgb:-"],
                             capture_output=True, check=True).stdout
        return list(zip(raw[0::3], raw[1::3], raw[2::3]))

    def start_run(self):
        p = self.start(SCR, "/s")
        window = self.wait_window()
        time.sleep(2)  # a few frames
        self.assertIsNone(p.poll(), "the run ended by itself")
        return p, window

    def expect_tank_picture(self, shot, place=(0, 0, SCREEN_W, SCREEN_H)):
        """The screenshot shows the tank at `place` (x, y, width, height):
        background, lit lines, fish and text."""
        x, y, w, h = place
        every = self.pixels(shot, x, y, w, h)
        # Pixels are counted by colour: a screen holds far fewer colours
        # than pixels.
        colours = Counter(every)
        count = lambda matches, counted=colours: sum(n for c, n in counted.items() if matches(c))
        near = lambda c, target, t: all(abs(a - b) <= t for a, b in zip(c, target))
        background = colours[(0, 0, 0x28)]
        self.assertGreater(background, len(every) // 3, f"the background is not 0x000028; see {shot}")
        # Tank lines face up: the floor's and the walls' lit colours.
        floor = count(lambda c: near(c, (52, 113, 82), 3))
        walls = count(lambda c: near(c, (72, 93, 134), 3))
        self.assertGreater(floor + walls, 200, f"no tank lines; see {shot}")
        # The fish: shaded blue-grey, green and blue above red.
        fish = count(lambda c: c[0] > 40 and c[1] > c[0] and c[2] > c[0])
        self.assertGreater(fish, 2000, f"no fish; see {shot}")
        # The information text, 0x828296, in the top-left corner.
        corner = Counter(self.pixels(shot, x, y, 400, 80))
        text = count(lambda c: near(c, (0x82, 0x82, 0x96), 2), corner)
        self.assertGreater(text, 200, f"no information text; see {shot}")
        return every

    def expect_live_tank_picture(self, name):
        """Two screenshots a second apart both show the tank, and differ:
        frames are still being drawn and shown, not one left behind."""
        first = self.expect_tank_picture(self.screenshot(name))
        time.sleep(1)
        second = self.expect_tank_picture(self.screenshot(name + "-later"))
        changed = sum(1 for a, b in zip(first, second) if a != b)
        self.assertGreater(changed, 500, f"the picture stands still; see {name}.png and {name}-later.png")

    def expect_general_settings_saved(self):
        values = self.registry()
        for name in GENERAL:
            self.assertIn(name, values, f"{name} not saved")
            self.dword(values, name)
        return values



class ScrTest(ScrCase):
    # ---- run mode ----

    def test_run_covers_the_screen_with_tank_fish_and_text_and_a_click_ends_it_saving_the_settings(self):
        p, window = self.start_run()
        self.assertEqual(self.geometry(window), (0, 0, SCREEN_W, SCREEN_H))
        time.sleep(1)
        self.expect_tank_picture(self.screenshot("run"))

        xdotool("mousemove", "500", "400", "click", "1")
        self.assertEqual(self.wait_exit(p, 15), 0, "a click did not end it")
        values = self.expect_general_settings_saved()
        for name, value in DEFAULTS.items():
            self.assertEqual(self.dword(values, name), value, name)

    def test_a_key_ends_the_run(self):
        p, window = self.start_run()
        self.focus(window)
        xdotool("key", "a")
        self.assertEqual(self.wait_exit(p, 15), 0, "a key did not end it")
        self.expect_general_settings_saved()

    def test_six_mouse_positions_keep_it_running_and_the_seventh_ends_it(self):
        p, _ = self.start_run()
        for x, y in [(100, 100), (200, 150), (300, 200), (400, 250), (500, 300), (600, 350)]:
            xdotool("mousemove", str(x), str(y))
            time.sleep(0.7)
            self.assertIsNone(p.poll(), f"ended by the move to {x},{y}")
        xdotool("mousemove", "100", "100")
        self.assertEqual(self.wait_exit(p, 15), 0, "the seventh position did not end it")
        self.expect_general_settings_saved()

    def test_alt_enter_goes_windowed_and_back_without_ending_and_both_show_the_tank(self):
        p, window = self.start_run()
        self.focus(window)
        xdotool("key", "alt+Return")
        deadline = time.monotonic() + 10
        while self.geometry(window)[2:] == (SCREEN_W, SCREEN_H) and time.monotonic() < deadline:
            time.sleep(0.25)
        windowed = self.geometry(window)
        self.assertIsNone(p.poll(), "Alt+Enter ended the run")
        # The run's own window style again: the popup whose client area is
        # the screen plus a menu bar's height, so a size other than the
        # full-screen one.
        self.assertNotEqual(windowed, (0, 0, SCREEN_W, SCREEN_H), "still full screen")
        time.sleep(1.5)  # frames of the new back buffer
        self.expect_live_tank_picture("windowed")
        self.focus(window)
        xdotool("key", "alt+Return")
        deadline = time.monotonic() + 10
        while self.geometry(window) != (0, 0, SCREEN_W, SCREEN_H) and time.monotonic() < deadline:
            time.sleep(0.25)
        self.assertEqual(self.geometry(window), (0, 0, SCREEN_W, SCREEN_H))
        self.assertIsNone(p.poll(), "the second Alt+Enter ended the run")
        time.sleep(1.5)
        self.expect_live_tank_picture("full-screen-again")
        self.focus(window)
        xdotool("key", "Escape")
        self.assertEqual(self.wait_exit(p, 15), 0)

    def test_another_program_in_front_ends_the_run_which_saves(self):
        for how in ("Alt+Tab", "a window of another program"):
            with self.subTest(how):
                subprocess.run(["wine", "reg", "delete", KEY, "/f"], env=self.env, capture_output=True)
                p, window = self.start_run()
                self.focus(window)
                if how == "Alt+Tab":
                    xdotool("key", "alt+Tab")
                else:
                    host, _, _ = self.start_host(10, "front")
                self.assertEqual(self.wait_exit(p, 15), 0, f"{how} did not end it")
                self.expect_general_settings_saved()
                if how != "Alt+Tab":
                    self.assertIsNone(host.poll(), "the other program ended")

    def test_a_second_instance_ends_at_once_while_the_first_runs(self):
        first, window = self.start_run()
        second = self.start(SCR, "/s")
        self.assertEqual(self.wait_exit(second, 20), 0, "the second instance kept running")
        self.assertIsNone(first.poll(), "the first instance ended")
        self.focus(window)
        xdotool("key", "Escape")
        self.assertEqual(self.wait_exit(first, 15), 0)

    def test_slash_a_ends_at_once(self):
        p = self.start(SCR, "/a")
        self.assertEqual(self.wait_exit(p, 20), 0)

    def test_hostile_registry_values_keep_the_defaults(self):
        # Wrong types and sizes for every general value: read as missing.
        self.reg_add("r_floor", "REG_SZ", "7")
        self.reg_add("d_show_info", "REG_BINARY", "00")
        self.reg_add("d_exit_omm", "REG_QWORD", "1")
        self.reg_add("camxz", "REG_BINARY", "0000aa43000000000000000000000000")
        self.reg_add("camyy", "REG_SZ", "1" * 5000)
        self.reg_add("camrr", "REG_MULTI_SZ", r"3\0four")
        self.reg_add("camlr", "REG_EXPAND_SZ", "%PATH%")
        self.reg_add("camhh", "REG_BINARY", "0000")
        # Device indices far outside the table and an absurd multisample type.
        self.reg_add("r_adapter", "REG_DWORD", "4294967295")
        self.reg_add("r_device", "REG_DWORD", "4294967295")
        self.reg_add("r_mode", "REG_DWORD", "2147483647")
        self.reg_add("r_multi_sample", "REG_DWORD", "4294967291")
        p, window = self.start_run()
        self.screenshot("hostile")
        self.focus(window)
        xdotool("key", "Escape")
        self.assertEqual(self.wait_exit(p, 15), 0)
        values = self.expect_general_settings_saved()
        for name, value in DEFAULTS.items():
            self.assertEqual(self.dword(values, name), value, name)

    def test_huge_numbers_still_run_and_save_sound_values(self):
        for name, value in [("r_floor", "2147483648"), ("d_show_info", "4294967295"), ("d_exit_omm", "0"),
                            ("camxz", str(0x7F7FFFFF)), ("camyy", str(0x7F800000)), ("camrr", str(0xFF7FFFFF)),
                            ("camlr", str(0x7FC00000)), ("camhh", "1")]:
            self.reg_add(name, "REG_DWORD", value)
        p, window = self.start_run()
        self.focus(window)
        xdotool("key", "Escape")
        self.assertEqual(self.wait_exit(p, 15), 0)
        values = self.expect_general_settings_saved()
        self.assertIn(self.dword(values, "d_show_info"), (0, 1))

    # ---- configure mode ----

    def test_configure_shows_the_dialog_and_enter_saves_the_choice_with_the_other_monitors_box(self):
        p = self.start(SCR, "/c")
        window = self.wait_window()
        time.sleep(1)
        self.screenshot("configure")
        x, y, w, h = self.geometry(window)
        self.assertTrue(200 < w < SCREEN_W and 100 < h < SCREEN_H, f"not a dialog: {w}x{h}")
        # The buttons keep their ids and texts; the other monitors' box has
        # a row of its own below every other control, checked by default.
        controls = {c.id: c for c in self.controls(xdotool("getwindowname", window).strip())}
        for control, text in ((1, "OK"), (2, "Cancel"), (1029, "about"), (1030, "A fish on every other monitor")):
            self.assertEqual(controls[control].text, text, control)
        box = controls[1030]
        for control in (1000, 1002, 1003, 1005, 1, 2, 1029):
            self.assertLess(controls[control].top, box.top, control)
        self.assertLessEqual(box.bottom, y + h)
        xdotool("mousemove", str((box.left + box.right) // 2), str((box.top + box.bottom) // 2), "click", "1")
        self.focus(window)
        xdotool("key", "Return")
        self.assertEqual(self.wait_exit(p, 15), 0, "Enter did not close the dialog")
        values = self.registry()
        for name in DEVICE:
            self.assertIn(name, values, f"{name} not saved")
            self.dword(values, name)
        self.assertEqual(self.dword(values, "d_other_monitors"), 0, "the box's click was not saved")

    def test_configure_about_shows_the_about_box_which_closes_leaving_the_dialog_working(self):
        p = self.start(SCR, "/c")
        dialog = self.wait_window()
        time.sleep(1)
        title = xdotool("getwindowname", dialog).strip()
        self.click_button(title, "about")
        about = self.wait_window("^About$", 15)
        time.sleep(0.5)
        self.screenshot("about")
        texts = [c.text for c in self.controls("About")]
        self.assertIn(ABOUT_TEXT, texts)
        self.click_button("About", "OK")
        deadline = time.monotonic() + 10
        while self.controls("About") is not None and time.monotonic() < deadline:
            time.sleep(0.25)
        self.assertIsNone(self.controls("About"), "the about box stayed")
        self.assertIsNone(p.poll(), "closing the about box ended the dialog")
        # The dialog still takes its keys: Enter saves the device choice.
        self.assertIsNotNone(self.controls(title), "the dialog went")
        self.focus(dialog)
        xdotool("key", "Return")
        self.assertEqual(self.wait_exit(p, 15), 0, "Enter did not close the dialog")
        values = self.registry()
        for name in DEVICE:
            self.assertIn(name, values, f"{name} not saved")

    def test_configure_escape_saves_nothing(self):
        p = self.start(SCR, "/c")
        window = self.wait_window()
        time.sleep(1)
        before = self.registry()
        self.focus(window)
        xdotool("key", "Escape")
        self.assertEqual(self.wait_exit(p, 15), 0, "Escape did not close the dialog")
        after = self.registry()
        self.assertEqual(after, before)
        for name in DEVICE:
            self.assertNotIn(name, after)

    def test_configure_for_the_callers_window_disables_it_until_the_dialog_closes(self):
        host, handle, next_line = self.start_host(90)
        p = self.start(SCR, f"/c:{handle}")
        # The dialog belongs to the caller's window, which stays disabled
        # under it.
        report = next_line(30)
        self.assertIsNotNone(report, "the caller's window was never disabled")
        self.assertRegex(report, "^disabled under Aquarium")
        dialog = self.wait_window()
        time.sleep(1)
        self.screenshot("configure-for-caller")
        self.assertIsNone(next_line(1), "the caller's window was enabled while the dialog is up")
        self.focus(dialog)
        xdotool("key", "Escape")
        self.assertEqual(self.wait_exit(p, 15), 0, "Escape did not close the dialog")
        self.assertEqual(next_line(10), "enabled")
        self.assertIsNone(host.poll(), "the caller ended")

    # ---- preview ----

    def test_preview_finds_its_host_in_each_form_and_a_number_of_no_window_ends_it_with_status_1(self):
        # With a colon, or no number at all with the host in front.
        for form in ("/p:{}", "/p"):
            with self.subTest(form):
                host, handle, next_line = self.start_host(8, "front")
                p = self.start(SCR, form.format(handle))
                report = next_line(20)
                self.assertRegex(report or "", r"^child pel WindowClassName \d+x\d+ visible$")
                self.assertEqual(self.wait_exit(host, 20), 0)
                self.assertEqual(self.wait_exit(p, 10), 0, "the preview outlived its host")
        # 0 and a window that has gone name no window: the preview must not
        # go into the window in front instead.
        gone_host, gone, _ = self.start_host(1)
        self.assertEqual(self.wait_exit(gone_host, 20), 0)
        host, _, _ = self.start_host(30, "front")
        for number in ("0", gone):
            with self.subTest(number):
                p = self.start(SCR, "/p", number)
                self.assertEqual(self.wait_exit(p, 20), 1, f"/p {number} did not end with status 1")
                self.assertEqual(self.controls("preview host"), [], "a window inside the one in front")
        self.assertIsNone(host.poll())

    # Wine does not show what a program paints with GDI into a child window
    # whose parent belongs to another process, so the picture itself is
    # checked in the unit tests (stretch_bitmap, the IDB_SMALLWND resource);
    # here: our window inside the host, covering it, and gone with it.
    def test_preview_is_a_child_of_the_host_window_and_ends_with_it(self):
        host, handle, next_line = self.start_host(8)
        p = self.start(SCR, "/p", handle)
        report = next_line()
        self.assertIsNone(p.poll(), "the preview ended while the host was there")
        self.screenshot("preview")
        # The child takes the host's window size (the host's frame included).
        self.assertIsNotNone(report, "the host reported no child window")
        m = re.fullmatch(r"child pel WindowClassName (\d+)x(\d+) visible", report)
        self.assertIsNotNone(m, report)
        self.assertGreaterEqual((int(m.group(1)), int(m.group(2))), (320, 240), report)
        self.assertEqual(self.wait_exit(host, 20), 0)
        self.assertEqual(self.wait_exit(p, 10), 0, "the preview outlived its host")


# An X server with several display modes (Xorg's dummy driver; Xvfb has
# one): full screen in a mode other than the desktop's really changes the
# display's mode, Alt+Enter brings the desktop's back and so does the end.
XORG_CONF = """
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 16384
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0-100.0
    VertRefresh 5.0-200.0
    Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
    Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
    Modeline "640x480" 25.18 640 656 752 800 480 490 492 525 -hsync -vsync
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768" "800x600" "640x480"
        Virtual 1024 768
    EndSubSection
EndSection
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "AutoEnableDevices" "false"
EndSection
"""


class XorgCase(ScrCase):
    """The tests of the class run on Xorg with the dummy driver and the
    class's configuration instead of Xvfb."""
    CONFIG = XORG_CONF

    @classmethod
    def setUpClass(cls):
        global DISPLAY
        folder = os.path.join(WORK, "xorg-" + cls.__name__)
        os.makedirs(os.path.join(folder, "conf.d"))
        with open(os.path.join(folder, "xorg.conf"), "w") as f:
            f.write(cls.CONFIG)
        cls.xvfb_display = DISPLAY
        cls.xorg, DISPLAY = start_x_server(
            ["Xorg", "-noreset", "-config", os.path.join(folder, "xorg.conf"), "-configdir",
             os.path.join(folder, "conf.d"), "-logfile", os.path.join(folder, "xorg.log")], "Xorg (dummy driver)")

    @classmethod
    def tearDownClass(cls):
        global DISPLAY
        cls.xorg.terminate()
        cls.xorg.wait()
        DISPLAY = cls.xvfb_display


class ScrDisplayModeTest(XorgCase):

    def screen_size(self):
        out = subprocess.run(["xrandr", "-display", DISPLAY], capture_output=True, text=True, check=True).stdout
        m = re.search(r"current (\d+) x (\d+)", out)
        return (int(m.group(1)), int(m.group(2)))

    def wait_screen_size(self, size, seconds=10):
        deadline = time.monotonic() + seconds
        while self.screen_size() != size and time.monotonic() < deadline:
            time.sleep(0.25)
        self.assertEqual(self.screen_size(), size)

    def choose_resolution(self, prefix):
        """Picks the first resolution starting with `prefix` in the settings
        dialog, as a user does with the keyboard, and saves with OK."""
        p = self.start(SCR, "/c")
        dialog = self.wait_window()
        time.sleep(1)
        title = xdotool("getwindowname", dialog).strip()
        self.focus(dialog)
        xdotool("key", "Tab", "Tab")  # adapter, device, resolution
        xdotool("type", prefix[0])
        deadline = time.monotonic() + 5
        chosen = ""
        while not chosen.startswith(prefix) and time.monotonic() < deadline:
            time.sleep(0.25)
            chosen = next(c.text for c in self.controls(title) if c.id == 1003)
        self.assertTrue(chosen.startswith(prefix), f"the resolution list shows {chosen!r}")
        self.click_button(title, "OK")
        self.assertEqual(self.wait_exit(p, 15), 0, "OK did not close the dialog")

    def test_full_screen_in_another_mode_changes_the_mode_and_gives_the_desktop_back(self):
        self.assertEqual(self.screen_size(), (SCREEN_W, SCREEN_H))
        self.choose_resolution("800 x 600")
        p, window = self.start_run()
        self.wait_screen_size((800, 600))
        self.assertEqual(self.geometry(window), (0, 0, 800, 600))
        time.sleep(1)
        self.expect_live_tank_picture("mode-800x600")

        # A window on the desktop's own mode, with the picture going on.
        self.focus(window)
        xdotool("key", "alt+Return")
        self.wait_screen_size((SCREEN_W, SCREEN_H))
        self.assertIsNone(p.poll(), "Alt+Enter ended the run")
        time.sleep(1.5)
        self.expect_live_tank_picture("mode-desktop-windowed")

        self.focus(window)
        xdotool("key", "alt+Return")
        self.wait_screen_size((800, 600))
        time.sleep(1.5)
        self.expect_live_tank_picture("mode-800x600-again")

        self.focus(window)
        xdotool("key", "Escape")
        self.assertEqual(self.wait_exit(p, 15), 0)
        self.wait_screen_size((SCREEN_W, SCREEN_H))


# Room for 1024 x 768 and 800 x 600 beside each other: the second RandR
# output is switched on beside the first or left of it, as a desktop with
# two screens has it. Wine's X11 driver takes its monitors from the server.
XORG_TWO_MONITORS_CONF = read_support_file("xorg_dummy_two_monitors.conf")
DESKTOP = "#3070a0"  # the root window's colour: the desktop showing through
TEXT = (0x82, 0x82, 0x96)  # the information text's colour


class ScrMonitorsTest(XorgCase):
    """Run mode on two monitors of different sizes: each is covered to its
    pixels, with the tank on the main one and a fish of its own or black on
    the other; input on the other ends the run. Places are X's (the root
    window's), which Wine shifts so that the primary is at (0, 0)."""
    CONFIG = XORG_TWO_MONITORS_CONF
    MAIN_BESIDE, SECOND_BESIDE = (0, 0, 1024, 768), (1024, 0, 800, 600)
    SECOND_LEFT, MAIN_RIGHT = (0, 0, 800, 600), (800, 0, 1024, 768)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        xrandr = lambda *args: subprocess.run(["xrandr", "-display", DISPLAY, *args], check=True)
        xrandr("--newmode", "800x600b", "40.00", "800", "840", "968", "1056", "600", "601", "605", "628", "+hsync",
               "+vsync")
        xrandr("--addmode", "DUMMY1", "800x600b")

    def second_monitor(self, where):
        """The second output on at 800 x 600, `where` ("--right-of" or
        "--left-of") the first; the desktop in its colour."""
        subprocess.run(["xrandr", "-display", DISPLAY, "--output", "DUMMY1", "--mode", "800x600b", where, "DUMMY0"],
                       check=True)
        # The dummy driver reports the output connected only once a client
        # has probed the outputs (this listing does), and Wine reads the
        # server's state without probing: without it Wine sees one monitor.
        listed = subprocess.run(["xrandr", "-display", DISPLAY, "--listmonitors"], capture_output=True, text=True,
                                check=True).stdout
        self.assertIn("Monitors: 2", listed)
        subprocess.run(["xsetroot", "-display", DISPLAY, "-solid", DESKTOP], check=True)

    def windows_at(self, place, seconds=30):
        """The program's visible windows at `place`, once there is one."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            found = [w for w in xdotool("search", "--onlyvisible", "--name", TITLE, check=False).split()
                     if self.geometry(w) == place]
            if found:
                return found
            time.sleep(0.25)
        self.fail(f"no window at {place} within {seconds} s")

    def expect_covered(self, shot, main, other, fish):
        """The main monitor shows the tank with its text, the other a fish
        or black, and neither shows the desktop."""
        self.expect_tank_picture(shot, main)
        colours = Counter(self.pixels(shot, *other))
        if fish:
            self.assertGreater(colours[(0, 0, 0x28)], other[2] * other[3] // 3, f"no tank on the second; see {shot}")
            self.assertGreater(len(colours), 50, f"no fish on the second monitor; see {shot}")
        else:
            self.assertEqual(list(colours), [(0, 0, 0)], f"the second monitor is not plain black; see {shot}")
        desktop = tuple(int(DESKTOP[i:i + 2], 16) for i in (1, 3, 5))
        for place in (main, other):
            self.assertNotIn(desktop, Counter(self.pixels(shot, *place)), f"the desktop shows at {place}; see {shot}")

    def text_bottom(self, shot, place):
        """The lowest row (from the monitor's top) of the information text."""
        x, y, _, _ = place
        rows = self.pixels(shot, x, y, 700, 200)
        near = lambda c: all(abs(a - b) <= 2 for a, b in zip(c, TEXT))
        lowest = -1
        for row in range(200):
            if sum(1 for c in rows[row * 700:(row + 1) * 700] if near(c)) >= 3:
                lowest = row
        return lowest

    def expect_ended_and_saved(self, p, by):
        self.assertEqual(self.wait_exit(p, 20), 0, f"{by} did not end the run")
        return self.expect_general_settings_saved()

    def test_beside_the_first_the_second_shows_a_fish_alt_enter_still_works_and_a_click_there_ends_the_run(self):
        self.second_monitor("--right-of")
        p = self.start(SCR, "/s")
        main = self.windows_at(self.MAIN_BESIDE)[-1]
        self.windows_at(self.SECOND_BESIDE)
        time.sleep(2)  # a few frames on both
        shot = self.screenshot("monitors-fish")
        self.expect_covered(shot, self.MAIN_BESIDE, self.SECOND_BESIDE, True)
        self.assertLess(self.text_bottom(shot, self.MAIN_BESIDE), 70, f"text of 96 pixels per inch; see {shot}")

        # Alt+Enter takes the main window into a window and back; the run
        # goes on and the second monitor stays covered.
        for state, wanted in (("windowed", lambda g: g != self.MAIN_BESIDE), ("full-screen", self.MAIN_BESIDE.__eq__)):
            self.focus(main)
            xdotool("key", "alt+Return")
            deadline = time.monotonic() + 10
            while not wanted(self.geometry(main)) and time.monotonic() < deadline:
                time.sleep(0.25)
            self.assertTrue(wanted(self.geometry(main)), f"not {state}: {self.geometry(main)}")
            self.assertIsNone(p.poll(), f"Alt+Enter to {state} ended the run")
            self.windows_at(self.SECOND_BESIDE, 2)
        time.sleep(1.5)
        self.expect_covered(self.screenshot("monitors-full-screen-again"), self.MAIN_BESIDE, self.SECOND_BESIDE, True)

        xdotool("mousemove", "1400", "300", "click", "1")
        values = self.expect_ended_and_saved(p, "a click on the second monitor")
        self.assertEqual(self.dword(values, "d_other_monitors"), 1)

    def test_the_second_monitors_adapter_chosen_the_run_switches_that_monitor_and_covers_the_first(self):
        self.second_monitor("--right-of")
        # The dialog's second adapter, as a user picks it with the keyboard
        # (the adapter list has the focus), saved with Enter.
        p = self.start(SCR, "/c")
        dialog = self.wait_window()
        time.sleep(1)
        self.focus(dialog)
        xdotool("key", "Down")
        time.sleep(0.5)
        xdotool("key", "Return")
        self.assertEqual(self.wait_exit(p, 15), 0, "Enter did not close the dialog")
        self.assertEqual(self.dword(self.registry(), "r_adapter"), 1)

        p = self.start(SCR, "/s")
        first = self.windows_at(self.MAIN_BESIDE)
        time.sleep(2)
        monitors = subprocess.run(["xrandr", "-display", DISPLAY, "--listmonitors"], capture_output=True, text=True,
                                  check=True).stdout
        m = re.search(r"DUMMY1 (\d+)/\d+x(\d+)/\d+\+(\d+)\+(\d+)", monitors)
        second = tuple(int(m.group(i)) for i in (3, 4, 1, 2))
        self.windows_at(second)
        shot = self.screenshot("monitors-second-adapter")
        # The tank with its text on the second monitor, a fish without text
        # on the first.
        self.expect_tank_picture(shot, second)
        self.assertLess(self.text_bottom(shot, self.MAIN_BESIDE), 0, f"text on the first monitor; see {shot}")
        self.assertGreater(Counter(self.pixels(shot, *self.MAIN_BESIDE))[(0, 0, 0x28)], 1024 * 768 // 3,
                           f"no tank on the first monitor; see {shot}")
        self.assertTrue(first)

        xdotool("mousemove", "500", "400", "click", "1")
        self.expect_ended_and_saved(p, "a click on the first monitor")
        deadline = time.monotonic() + 10
        while "DUMMY1 800/" not in monitors and time.monotonic() < deadline:
            time.sleep(0.25)
            monitors = subprocess.run(["xrandr", "-display", DISPLAY, "--listmonitors"], capture_output=True,
                                      text=True, check=True).stdout
        self.assertIn("DUMMY1 800/", monitors, "the second monitor's mode was not given back")

    def test_left_of_the_first_at_192_dpi_each_is_covered_to_its_pixels_the_second_black_and_a_key_there_ends_it(self):
        self.reg_add("d_other_monitors", "REG_DWORD", "0")
        subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                        "/d", "192", "/f"], env=self.env, check=True, capture_output=True)
        self.second_monitor("--left-of")
        p = self.start(SCR, "/s")
        self.windows_at(self.MAIN_RIGHT)
        cover = self.windows_at(self.SECOND_LEFT)[-1]
        time.sleep(2)
        shot = self.screenshot("monitors-black-192dpi")
        self.expect_covered(shot, self.MAIN_RIGHT, self.SECOND_LEFT, False)
        # Four lines of text end about 56 pixels down at 96 pixels per inch.
        self.assertGreater(self.text_bottom(shot, self.MAIN_RIGHT), 100, f"the text did not grow; see {shot}")

        xdotool("mousemove", "400", "300")
        self.focus(cover)
        xdotool("key", "x")
        values = self.expect_ended_and_saved(p, "a key on the second monitor")
        self.assertEqual(self.dword(values, "d_other_monitors"), 0)


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    SCR, PREVIEW_HOST, WINDOW_TEXTS, OUT = (os.path.abspath(a) for a in sys.argv[1:5])
    os.makedirs(OUT, exist_ok=True)
    unittest.main(argv=[sys.argv[0], *sys.argv[5:]], verbosity=2)
