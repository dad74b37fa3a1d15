#!/usr/bin/env python3
"""The installer under Wine, silently, in a private prefix (a copy of the
template prefix AQUARIUM_WINE_TEMPLATE made by scripts/wine-prefix.sh):

    installer_test.py AQUARIUM-SETUP.EXE

/S installs aquarium.scr and the read-me for the user, selects the screen
saver and registers the uninstaller; the uninstaller's /S removes all of it,
the saver's settings too, and gives back the screen saver chosen before.
Ends with status 77 (skipped) when the installer has not been built.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

SETUP = None
WINE_PREFIX_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-prefix.sh")
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Aquarium"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SETTINGS_KEY = r"HKCU\Software\marevista_20110817"


class InstallerTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="aquarium-installer-")
        self.env = dict(os.environ, WINEPREFIX=os.path.join(self.work, "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        template = os.environ.get("AQUARIUM_WINE_TEMPLATE") or os.path.join(self.work, "template")
        subprocess.run(["bash", WINE_PREFIX_SCRIPT, template, self.env["WINEPREFIX"]], check=True, timeout=300)

    def tearDown(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "--wait"], env=self.env, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.work, ignore_errors=True)

    def wine(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, capture_output=True, text=True, check=check,
                              timeout=300).stdout

    def reg(self, key, value=None):
        args = ["wine", "reg", "query", key] + (["/v", value] if value else [])
        result = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            return None
        if value is None:
            return result.stdout
        m = re.search(re.escape(value) + r"\s+REG_\w+\s+(.*)", result.stdout)
        return m.group(1).strip() if m else None

    def windows_path(self, unix):
        return self.wine("wine", "winepath", "-w", unix).strip()

    def unix_path(self, windows):
        return self.wine("wine", "winepath", "-u", windows).strip()

    def test_installs_selects_and_uninstalls_leaving_nothing_behind(self):
        self.wine("wine", "reg", "add", DESKTOP_KEY, "/v", "SCRNSAVE.EXE", "/t", "REG_SZ", "/d",
                  r"C:\windows\system32\previous.scr", "/f")
        self.wine("wine", SETUP, "/S")
        self.wine("wineserver", "--wait")

        location = self.reg(UNINSTALL_KEY, "InstallLocation")
        self.assertIsNotNone(location, "no uninstall entry")
        self.assertTrue(location.lower().endswith(r"\appdata\local\programs\aquarium"), location)
        folder = self.unix_path(location)
        self.assertEqual(sorted(os.listdir(folder)), ["README.txt", "aquarium.scr", "uninstall.exe"])
        with open(os.path.join(folder, "aquarium.scr"), "rb") as scr:
            self.assertEqual(scr.read(2), b"MZ")
        self.assertEqual(self.reg(DESKTOP_KEY, "SCRNSAVE.EXE"), location + r"\aquarium.scr")
        self.assertEqual(self.reg(DESKTOP_KEY, "ScreenSaveActive"), "1")
        self.assertIn("uninstall.exe", self.reg(UNINSTALL_KEY, "UninstallString"))
        self.assertEqual(self.reg(UNINSTALL_KEY, "DisplayName"), "Aquarium screen saver")

        # Settings the screen saver wrote meanwhile go with it.
        self.wine("wine", "reg", "add", SETTINGS_KEY, "/v", "d_show_info", "/t", "REG_DWORD", "/d", "0", "/f")
        self.wine("wine", os.path.join(folder, "uninstall.exe"), "/S")
        # The uninstaller runs from a copy of itself and returns at once.
        deadline = time.monotonic() + 60
        while os.path.exists(folder) and time.monotonic() < deadline:
            time.sleep(0.5)
        self.wine("wineserver", "--wait")
        left = os.listdir(folder) if os.path.exists(folder) else None
        self.assertIsNone(left, f"left behind: {left}")
        self.assertIsNone(self.reg(UNINSTALL_KEY))
        self.assertIsNone(self.reg(SETTINGS_KEY))
        self.assertEqual(self.reg(DESKTOP_KEY, "SCRNSAVE.EXE"), r"C:\windows\system32\previous.scr")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    SETUP = os.path.abspath(sys.argv[1])
    if not os.path.exists(SETUP):
        print(f"{SETUP} has not been built (make windows-installer); skipped")
        sys.exit(77)
    unittest.main(argv=[sys.argv[0], *sys.argv[2:]], verbosity=2)
