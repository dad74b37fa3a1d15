#!/usr/bin/env python3
"""End-to-end tests of aquarium.scr under Wine on a private X server.

    scr_e2e.py AQUARIUM_SCR PREVIEW_HOST_EXE WINDOW_TEXTS_EXE OUTPUT_DIR [unittest arguments]

Every test runs in a Wine prefix of its own, so the registry starts empty
each time: a copy (scripts/wine-prefix.sh) of the template prefix named by
AQUARIUM_WINE_TEMPLATE, which is made there when missing (without the
variable, in a temporary folder). The tests leave their screenshots in
OUTPUT_DIR. The X server is Xvfb at 1024x768 on a free display number.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from collections import Counter, namedtuple

WINE_PREFIX_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-prefix.sh")
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
    env.update(WINEPREFIX=prefix, DISPLAY=DISPLAY, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
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

    def expect_tank_picture(self, shot):
        """The screenshot shows the tank: background, lit lines, fish and text."""
        every = self.pixels(shot, 0, 0, SCREEN_W, SCREEN_H)
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
        corner = Counter(self.pixels(shot, 0, 0, 400, 80))
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

    def test_configure_shows_the_dialog_and_enter_saves_the_choice(self):
        p = self.start(SCR, "/c")
        window = self.wait_window()
        time.sleep(1)
        self.screenshot("configure")
        x, y, w, h = self.geometry(window)
        self.assertTrue(200 < w < SCREEN_W and 100 < h < SCREEN_H, f"not a dialog: {w}x{h}")
        self.focus(window)
        xdotool("key", "Return")
        self.assertEqual(self.wait_exit(p, 15), 0, "Enter did not close the dialog")
        values = self.registry()
        for name in DEVICE:
            self.assertIn(name, values, f"{name} not saved")
            self.dword(values, name)

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

    # ---- preview ----

    # Wine does not show what a program paints with GDI into a child window
    # whose parent belongs to another process, so the picture itself is
    # checked in the unit tests (stretch_bitmap, the IDB_SMALLWND resource);
    # here: our window inside the host, covering it, and gone with it.
    def test_preview_is_a_child_of_the_host_window_and_ends_with_it(self):
        host = self.start(PREVIEW_HOST, "8", stdout=subprocess.PIPE)
        handle = host.stdout.readline().strip()
        self.assertTrue(handle.isdigit(), f"the host printed {handle!r}")
        self.wait_window("^preview host$")
        p = self.start(SCR, "/p", handle)
        report = host.stdout.readline().strip()
        self.assertIsNone(p.poll(), "the preview ended while the host was there")
        self.screenshot("preview")
        # The child takes the host's window size (the host's frame included).
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


class ScrDisplayModeTest(ScrCase):
    @classmethod
    def setUpClass(cls):
        global DISPLAY
        folder = os.path.join(WORK, "xorg")
        os.makedirs(os.path.join(folder, "conf.d"))
        with open(os.path.join(folder, "xorg.conf"), "w") as f:
            f.write(XORG_CONF)
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


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    SCR, PREVIEW_HOST, WINDOW_TEXTS, OUT = (os.path.abspath(a) for a in sys.argv[1:5])
    os.makedirs(OUT, exist_ok=True)
    unittest.main(argv=[sys.argv[0], *sys.argv[5:]], verbosity=2)
