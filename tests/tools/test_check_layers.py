#!/usr/bin/env python3
"""The layering check finds an upward include and a widget header low down,
and passes a tree that keeps the rules."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts"))
import check_layers  # noqa: E402


def tree(files):
    root = tempfile.mkdtemp()
    for path, text in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "w", encoding="utf-8") as handle:
            handle.write(text)
    return root


class CheckLayers(unittest.TestCase):
    def test_a_tree_that_keeps_the_rules_passes(self):
        root = tree({
            "serial/comms.h": '#include "base/log.h"\n#include <QString>\n',
            "config/page.cpp": '#include "device/interface.h"\n#include <QWidget>\n',
            "tests/serial/tst.cpp": '#include "app/mainwindow.h"\n',
        })
        self.assertEqual(check_layers.check(root, []), [])

    def test_an_upward_include_is_named(self):
        root = tree({"device/interface.cpp": '#include "serial/comms.h"\n#include "config/config.h"\n'})
        self.assertEqual(check_layers.check(root, []),
                         ["device/interface.cpp:2: device/ may not include config/config.h"])

    def test_the_simulator_keeps_off_the_link(self):
        root = tree({"sim/simulator.cpp": '#include "templates/xmlBinding.h"\n#include "serial/comms.h"\n'})
        self.assertEqual(len(check_layers.check(root, [])), 1)

    def test_printed_reports_may_use_gui_but_not_widgets(self):
        root = tree({"reports/pdf.cpp": '#include <QPdfWriter>\n#include <QFont>\n#include <QWidget>\n',
                     "workflows/run.cpp": '#include "reports/pdf.h"\n'})
        self.assertEqual(sorted(check_layers.check(root, [])),
                         ["reports/pdf.cpp:3: reports/ must stay off Qt Widgets: <QWidget>",
                          "workflows/run.cpp:1: workflows/ may not include reports/pdf.h"])

    def test_a_gui_header_below_the_windows_is_named(self):
        root = tree({"base/colours.h": "#include <QColor>\n", "engine/doc.h": "#include <QtWidgets/QDialog>\n"})
        problems = check_layers.check(root, [])
        self.assertEqual(len(problems), 2)
        self.assertIn("base/colours.h:1", problems[0])


if __name__ == "__main__":
    unittest.main()
