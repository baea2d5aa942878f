#!/usr/bin/env python3
"""Fails when a folder includes a header of a folder above it, or when a
folder below the windows includes a Qt Widgets or Qt Gui header.

usage: check_layers.py SOURCE_DIR [QT_INCLUDE_DIR ...]
The Qt include folders (QtWidgets, QtGui) name the headers of those two
modules; without them a short built-in list is used.
"""
import os
import re
import sys

# Lowest first. Each folder may include itself and the folders listed. The
# window folders (ui, diagnostics, config, connect) may use Qt Widgets; config
# and connect still hold engine and scan code until it moves down.
CORE = ["base", "i18n", "templates", "settings", "serial", "device", "engine", "workflows"]
WIDGETS = ["ui", "diagnostics", "config", "connect"]
ALLOWED = {
    "base": [],
    "i18n": ["base"],
    "templates": ["base"],
    "settings": ["base"],
    "serial": ["base"],
    "device": ["serial", "base"],
    "engine": ["device", "serial", "settings", "templates", "i18n", "base"],
    "workflows": ["engine", "device", "serial", "settings", "templates", "i18n", "base"],
    # Printed reports (PDF) need Qt Gui's fonts but no widgets.
    "reports": ["base", "i18n"],
    "ui": CORE + ["reports"],
    "diagnostics": CORE + ["ui", "reports"],
    "config": CORE + ["ui", "diagnostics", "reports"],
    "connect": CORE + ["ui", "diagnostics"],
    "app": CORE + WIDGETS + ["reports"],
    "cli": CORE + WIDGETS + ["app", "reports"],
    "sim": ["templates", "base"],
}
ANYTHING = {"tools", "bench", "tests"}

# Folders that run without the widget library: the link, the engine, the
# workflows, the simulator and what they stand on.
NO_WIDGETS = ["base", "i18n", "templates", "settings", "serial", "device", "engine", "workflows", "sim"]

FALLBACK_GUI_HEADERS = {
    "QWidget", "QDialog", "QMessageBox", "QFileDialog", "QApplication", "QGuiApplication", "QColor",
    "QFont", "QIcon", "QPixmap", "QImage", "QPainter", "QPalette", "QLabel", "QPushButton", "QLineEdit",
    "QMainWindow", "QTabWidget", "QComboBox", "QCheckBox", "QLayout", "QVBoxLayout", "QHBoxLayout",
    "QtWidgets", "QtGui", "QDesktopServices", "QKeyEvent", "QMouseEvent", "QCloseEvent", "QShowEvent",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")


# Folders that may use Qt Gui but not Qt Widgets.
NO_WIDGETS_BUT_GUI = ["reports"]


def gui_headers(qt_dirs, modules=("QtWidgets", "QtGui")):
    names = set()
    for top in qt_dirs:
        for module in modules:
            folder = top if os.path.basename(top.rstrip("/")) == module else os.path.join(top, module)
            if os.path.isdir(folder):
                names.update(os.listdir(folder))
                names.add(module)
    return names or FALLBACK_GUI_HEADERS


def sources(root, folder):
    for base, _dirs, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(base, name)


def includes(path):
    with open(path, encoding="utf-8", errors="replace") as handle:
        for number, line in enumerate(handle, 1):
            match = INCLUDE.match(line)
            if match:
                yield number, match.group(1), match.group(2)


def check(root, qt_dirs):
    gui = gui_headers(qt_dirs)
    widgets = gui_headers(qt_dirs, ("QtWidgets",)) if qt_dirs else {"QWidget", "QDialog", "QApplication", "QtWidgets"}
    ours = set(ALLOWED) | ANYTHING
    problems = []
    for folder in ALLOWED:
        allowed = set(ALLOWED[folder]) | {folder}
        for path in sources(root, folder):
            where = os.path.relpath(path, root)
            for number, kind, header in includes(path):
                top = header.split("/")[0]
                if kind == '"' and "/" in header and top in ours and top not in allowed:
                    problems.append(f"{where}:{number}: {folder}/ may not include {header}")
                name = header.split("/")[-1]
                if folder in NO_WIDGETS and kind == "<" and (name in gui or top in ("QtWidgets", "QtGui")):
                    problems.append(f"{where}:{number}: {folder}/ must stay off Qt Widgets/Gui: <{header}>")
                if folder in NO_WIDGETS_BUT_GUI and kind == "<" and (name in widgets or top == "QtWidgets"):
                    problems.append(f"{where}:{number}: {folder}/ must stay off Qt Widgets: <{header}>")
    return problems


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    problems = check(argv[1], argv[2:])
    for line in problems:
        print(line)
    print(f"{len(problems)} layering problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
