#!/usr/bin/env python3
"""cmake --install into a temporary root and cpack -G DEB from a built tree:
the Linux layout, the installed programs finding their data in share/talvek,
the package's files and fields, and the desktop entry and AppStream file as
the desktop tools read them.

usage: test_install.py BUILD_DIR SOURCE_DIR [unittest options]
"""
import glob
import os
import selectors
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

BUILD = SOURCE = ""
APP_ID = "org.talvek.Talvek"
PROGRAMS = ["talvek", "talvek-cli", "talvek-sensorsim"]
DESKTOP = f"usr/share/applications/{APP_ID}.desktop"
ICON = f"usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg"
METAINFO = f"usr/share/metainfo/{APP_ID}.metainfo.xml"
# A program that fails to start is given this long before the test says so.
START_LIMIT = 20


def run(command, env=None, timeout=120, **kwargs):
    return subprocess.run(command, env=env, timeout=timeout, capture_output=True, text=True, **kwargs)


def shipped_data():
    names = []
    for pattern in ("*.xml", "*.tsf", "*.tdx"):
        names += [os.path.basename(p) for p in glob.glob(os.path.join(SOURCE, "data", pattern))]
    return sorted(names)


def read_until(stream, done, stop=lambda text: False):
    """Reads a program's output (bytes) until done(text) or stop(text) holds,
    it ends, or START_LIMIT passes. Returns (done, text so far)."""
    text = ""
    deadline = time.monotonic() + START_LIMIT
    with selectors.DefaultSelector() as selector:
        selector.register(stream, selectors.EVENT_READ)
        while time.monotonic() < deadline and not stop(text):
            if not selector.select(timeout=deadline - time.monotonic()):
                break
            chunk = os.read(stream.fileno(), 65536)
            if not chunk:
                break
            text += chunk.decode(errors="replace")
            if done(text):
                return True, text
    return False, text


def wait_for_main_window(program):
    """True once the program's main window is up: Qt's accessibility log names
    each widget as it is shown; a message box instead says start-up failed."""
    return read_until(program.stderr, lambda log: "obj=TfrmMain(" in log,
                      stop=lambda log: "obj=QMessageBox(" in log)


def tool(name, package):
    path = shutil.which(name)
    if path is None:
        raise AssertionError(f"{name} is missing: install the Debian package {package} (scripts/setup.sh)")
    return path


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="talvek-install-")
        cls.root = os.path.join(cls.work, "root")
        env = dict(os.environ, DESTDIR=cls.root)
        done = run(["cmake", "--install", BUILD, "--prefix", "/usr"], env=env, timeout=300)
        if done.returncode != 0:
            raise AssertionError("cmake --install failed:\n" + done.stdout + done.stderr)
        cls.bin = os.path.join(cls.root, "usr/bin")
        cls.data = os.path.join(cls.root, "usr/share/talvek")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def environment(self):
        appdata = tempfile.mkdtemp(dir=self.work)
        return appdata, dict(os.environ, TALVEK_DATA_DIR=appdata, QT_QPA_PLATFORM="offscreen")

    def test_layout(self):
        self.assertEqual(sorted(os.listdir(self.bin)), sorted(PROGRAMS))
        for program in PROGRAMS:
            self.assertTrue(os.access(os.path.join(self.bin, program), os.X_OK), program)
        self.assertEqual(sorted(os.listdir(self.data)), shipped_data())
        for path in (DESKTOP, ICON, METAINFO):
            self.assertTrue(os.path.isfile(os.path.join(self.root, path)), path)
        ET.parse(os.path.join(self.root, ICON))  # an SVG is XML first of all

    def test_simulator_registers_and_the_cli_lists_it(self):
        appdata, env = self.environment()
        sim = subprocess.Popen([os.path.join(self.bin, "talvek-sensorsim"), "--product", "Tempris KDX530-3 PV9",
                                "--com", "7", "--app-data", appdata],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            # "ID:<identity>" then "COM7 /dev/pts/N (alias)" once it runs.
            started, out = read_until(sim.stdout, lambda text: text.count("\n") >= 2)
            ports = run([os.path.join(self.bin, "talvek-cli"), "ports"], env=env)
        finally:
            sim.send_signal(signal.SIGTERM)
            err = sim.communicate(timeout=30)[1].decode(errors="replace")
        self.assertTrue(started, out + err)
        identity, registered = out.splitlines()[:2]
        self.assertIn("TEMPRIS KDX530-3", identity)
        self.assertRegex(registered, r"^COM7 (/dev/pts/[0-9]+) ")
        device = registered.split()[1]
        self.assertEqual(sim.returncode, 0, err)

        self.assertEqual(ports.returncode, 0, ports.stderr)
        self.assertIn(f"COM7\tSerial Port {device} (COM7)", ports.stdout.splitlines())

    def test_cli_diffs_two_files(self):
        _, env = self.environment()
        template = os.path.join(self.data, "tempris_type_3_pv9_template.tdx")
        a = os.path.join(self.work, "a.tcf")
        b = os.path.join(self.work, "b.tcf")
        shutil.copyfile(template, a)
        with open(template, encoding="utf-8") as f:
            text = f.read()
        first = "<valuestring>19200</valuestring>"
        self.assertIn(first, text)
        with open(b, "w", encoding="utf-8") as f:
            f.write(text.replace(first, "<valuestring>9600</valuestring>", 1))
        cli = os.path.join(self.bin, "talvek-cli")
        same = run([cli, "diff", a, a], env=env)
        self.assertEqual((same.returncode, same.stdout), (0, ""), same.stderr)
        differ = run([cli, "diff", a, b], env=env)
        self.assertEqual((differ.returncode, differ.stdout), (1, "BAUD\t19200\t9600\n"), differ.stderr)

    def test_program_starts_on_the_installed_data(self):
        _, env = self.environment()
        env["QT_LOGGING_RULES"] = "qt.accessibility.cache.debug=true"
        program = subprocess.Popen([os.path.join(self.bin, "talvek")], env=env, cwd=self.work,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            shown, log = wait_for_main_window(program)
            cwd = os.readlink(f"/proc/{program.pid}/cwd") if program.poll() is None else ""
        finally:
            program.send_signal(signal.SIGTERM)
            program.communicate(timeout=30)
        self.assertTrue(shown, "the main window did not come up:\n" + log)
        # The program works in its data folder, as in a build folder.
        self.assertEqual(cwd, os.path.realpath(self.data))

    def test_desktop_entry_is_valid(self):
        done = run([tool("desktop-file-validate", "desktop-file-utils"), os.path.join(self.root, DESKTOP)])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(done.stdout + done.stderr, "")

    def test_metainfo_is_valid(self):
        done = run([tool("appstreamcli", "appstream"), "validate", "--no-net", os.path.join(self.root, METAINFO)])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="talvek-deb-")
        done = run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", cls.work],
                   timeout=600)
        if done.returncode != 0:
            raise AssertionError("cpack failed:\n" + done.stdout + done.stderr)
        debs = glob.glob(os.path.join(cls.work, "*.deb"))
        if len(debs) != 1:
            raise AssertionError(f"cpack made {debs}")
        cls.deb = debs[0]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def field(self, name):
        done = run(["dpkg-deb", "-f", self.deb, name])
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout.strip()

    def test_files(self):
        done = run(["dpkg-deb", "-c", self.deb])
        self.assertEqual(done.returncode, 0, done.stderr)
        # "-rwxr-xr-x root/root 123 2026-01-01 00:00 ./usr/bin/talvek"
        files = {line.split()[-1][2:] for line in done.stdout.splitlines() if not line.startswith("d")}
        expected = {f"usr/bin/{p}" for p in PROGRAMS} | {DESKTOP, ICON, METAINFO}
        expected |= {f"usr/share/talvek/{name}" for name in shipped_data()}
        self.assertEqual(files, expected)

    def test_fields(self):
        self.assertEqual(self.field("Package"), "talvek")
        depends = self.field("Depends")
        for package in ("libqt6widgets6", "libqt6serialport6", "libqt6xml6", "qt6-qpa-plugins"):
            self.assertIn(package, depends)
        self.assertRegex(self.field("Maintainer"), r"^.+ <[^@ ]+@[^@ ]+>$")
        self.assertEqual(self.field("Section"), "utils")
        self.assertIn("serial weather sensors", self.field("Description"))


if __name__ == "__main__":
    BUILD, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
