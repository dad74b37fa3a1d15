#!/usr/bin/env python3
"""The installer under Wine, silently, in a private prefix (a copy of the
template prefix AQUARIUM_WINE_TEMPLATE made by scripts/wine-prefix.sh):

    installer_test.py AQUARIUM-SETUP.EXE

/S (or /S /CurrentUser) installs aquarium.scr and the read-me for the user;
/S /AllUsers puts the 64-bit aquarium.scr into the 64-bit system folder and
the read-me into Program Files. Both select the screen saver, register the
uninstaller and add Start-menu entries; the uninstaller's /S removes all of
it, the saver's settings too, and gives back the screen saver chosen before.
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
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Aquarium"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
SETTINGS_KEY = r"HKCU\Software\marevista_20110817"
PREVIOUS = r"C:\windows\system32\previous.scr"
SETTINGS_LINK = "Aquarium settings.lnk"
CHOOSE_LINK = "Make Aquarium the screen saver.lnk"


class InstallerTest(unittest.TestCase):
    # Without the menu builder: Start-menu entries made in the prefix must not
    # become menu entries of the machine's own desktop.
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="aquarium-installer-")
        self.env = dict(os.environ, WINEPREFIX=os.path.join(self.work, "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        template = os.environ.get("AQUARIUM_WINE_TEMPLATE") or os.path.join(self.work, "template")
        subprocess.run(["bash", WINE_PREFIX_SCRIPT, template, self.env["WINEPREFIX"]], check=True, timeout=300)
        self.drive_c = os.path.join(self.work, "prefix", "drive_c")

    def tearDown(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "--wait"], env=self.env, stderr=subprocess.DEVNULL)
        shutil.rmtree(self.work, ignore_errors=True)

    def wine(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, capture_output=True, text=True, check=check,
                              timeout=300).stdout

    def reg(self, key, value=None):
        # The registry view of the machine's word size, whichever reg.exe runs.
        args = ["wine", "reg", "query", key, "/reg:64"] + (["/v", value] if value else [])
        result = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            return None
        if value is None:
            return result.stdout
        m = re.search(re.escape(value) + r"\s+REG_\w+\s+(.*)", result.stdout)
        return m.group(1).strip() if m else None

    def unix_path(self, windows):
        return self.wine("wine", "winepath", "-u", windows).strip()

    def shortcuts(self):
        """Our Start-menu entries: the folder of each (relative to drive C,
        lower case) by its name, and their bytes."""
        found = {}
        for folder, _, files in os.walk(self.drive_c):
            for name in files:
                if name in (SETTINGS_LINK, CHOOSE_LINK):
                    with open(os.path.join(folder, name), "rb") as link:
                        found[name] = (os.path.relpath(folder, self.drive_c).lower(), link.read())
        return found

    def select_previous_screen_saver(self):
        self.wine("wine", "reg", "add", DESKTOP_KEY, "/v", "SCRNSAVE.EXE", "/t", "REG_SZ", "/d", PREVIOUS, "/f")

    def uninstall(self, folder, *switches):
        # Settings the screen saver wrote meanwhile go with it.
        self.wine("wine", "reg", "add", SETTINGS_KEY, "/v", "d_show_info", "/t", "REG_DWORD", "/d", "0", "/f")
        self.wine("wine", os.path.join(folder, "uninstall.exe"), "/S", *switches)
        # The uninstaller runs from a copy of itself and returns at once.
        deadline = time.monotonic() + 60
        while os.path.exists(folder) and time.monotonic() < deadline:
            time.sleep(0.5)
        self.wine("wineserver", "--wait")
        left = os.listdir(folder) if os.path.exists(folder) else None
        self.assertIsNone(left, f"left behind: {left}")
        self.assertIsNone(self.reg(SETTINGS_KEY))
        self.assertEqual(self.reg(DESKTOP_KEY, "SCRNSAVE.EXE"), PREVIOUS)
        self.assertEqual(self.shortcuts(), {})

    @staticmethod
    def pe_machine(path):
        with open(path, "rb") as f:
            data = f.read(4096)
        pe = int.from_bytes(data[0x3C:0x40], "little")
        return int.from_bytes(data[pe + 4:pe + 6], "little")

    def test_for_the_current_user_installs_selects_and_uninstalls_leaving_nothing_behind(self):
        self.select_previous_screen_saver()
        self.wine("wine", SETUP, "/S")
        self.wine("wineserver", "--wait")

        key = "HKCU\\" + UNINSTALL_KEY
        location = self.reg(key, "InstallLocation")
        self.assertIsNotNone(location, "no uninstall entry")
        self.assertTrue(location.lower().endswith(r"\appdata\local\programs\aquarium"), location)
        self.assertIsNone(self.reg("HKLM\\" + UNINSTALL_KEY), "an entry for everyone")
        folder = self.unix_path(location)
        self.assertEqual(sorted(os.listdir(folder)), ["README.txt", "aquarium.scr", "uninstall.exe"])
        self.assertEqual(self.pe_machine(os.path.join(folder, "aquarium.scr")), 0x8664)
        scr = location + r"\aquarium.scr"
        self.assertEqual(self.reg(DESKTOP_KEY, "SCRNSAVE.EXE"), scr)
        self.assertEqual(self.reg(DESKTOP_KEY, "ScreenSaveActive"), "1")
        self.assertIn("uninstall.exe", self.reg(key, "UninstallString"))
        self.assertEqual(self.reg(key, "DisplayName"), "Aquarium screen saver")

        # Both entries in the user's own Start menu: the settings, and
        # choosing it again the way a screen saver's "Install" does.
        links = self.shortcuts()
        self.assertEqual(sorted(links), sorted([CHOOSE_LINK, SETTINGS_LINK]))
        for folder_of_link, _ in links.values():
            self.assertTrue(folder_of_link.startswith("users/") and "start menu" in folder_of_link, folder_of_link)
        self.assertIn("/c".encode("utf-16-le"), links[SETTINGS_LINK][1])
        self.assertIn(f"desk.cpl,InstallScreenSaver {scr}".encode("utf-16-le"), links[CHOOSE_LINK][1])
        self.assertIn(b"rundll32.exe", links[CHOOSE_LINK][1].lower())

        self.uninstall(folder, "/CurrentUser")
        self.assertIsNone(self.reg(key))

    def test_for_everyone_puts_the_screen_saver_into_the_system_folder_and_takes_it_away_again(self):
        self.select_previous_screen_saver()
        self.wine("wine", SETUP, "/S", "/AllUsers")
        self.wine("wineserver", "--wait")

        key = "HKLM\\" + UNINSTALL_KEY
        location = self.reg(key, "InstallLocation")
        self.assertIsNotNone(location, "no uninstall entry for everyone")
        self.assertEqual(location.lower(), r"c:\program files\aquarium")
        self.assertIsNone(self.reg("HKCU\\" + UNINSTALL_KEY), "an entry for the user alone")
        self.assertIn("/AllUsers", self.reg(key, "QuietUninstallString"))
        folder = self.unix_path(location)
        self.assertEqual(sorted(os.listdir(folder)), ["README.txt", "uninstall.exe"])

        # The 64-bit system folder holds the 64-bit screen saver; the 32-bit
        # one gets nothing.
        system = os.path.join(self.drive_c, "windows", "system32", "aquarium.scr")
        self.assertTrue(os.path.exists(system), "not in the system folder")
        self.assertEqual(self.pe_machine(system), 0x8664)
        self.assertFalse(os.path.exists(os.path.join(self.drive_c, "windows", "syswow64", "aquarium.scr")))
        self.assertEqual(self.reg(DESKTOP_KEY, "SCRNSAVE.EXE").lower(), r"c:\windows\system32\aquarium.scr")

        links = self.shortcuts()
        self.assertEqual(sorted(links), [SETTINGS_LINK])
        self.assertTrue(links[SETTINGS_LINK][0].startswith("programdata/"), links[SETTINGS_LINK][0])

        # Without a switch the uninstaller removes the installation it
        # belongs to.
        self.uninstall(folder)
        self.assertFalse(os.path.exists(system), "the system folder keeps the screen saver")
        self.assertIsNone(self.reg(key))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    SETUP = os.path.abspath(sys.argv[1])
    if not os.path.exists(SETUP):
        print(f"{SETUP} has not been built (make windows-installer); skipped")
        sys.exit(77)
    unittest.main(argv=[sys.argv[0], *sys.argv[2:]], verbosity=2)
