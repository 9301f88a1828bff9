#!/usr/bin/env python3
"""The layering check accepts a tree that keeps the rules and names the file,
the line and the rule of every include that breaks one."""
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
CHECK = ROOT / "scripts" / "check-layers"


def make_tree(base, files):
    (base / "scripts" / "layers").mkdir(parents=True)
    shutil.copy(ROOT / "scripts" / "layers" / "rules.txt", base / "scripts" / "layers" / "rules.txt")
    for rel, text in files.items():
        path = base / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)


def run(base):
    return subprocess.run([sys.executable, str(CHECK), str(base)], capture_output=True, text=True)


class CheckLayers(unittest.TestCase):
    def test_allowed_includes_pass(self):
        with tempfile.TemporaryDirectory() as tmp:
            base = Path(tmp)
            make_tree(base, {
                "platform/zarn_ui/text.cpp": '#include "zarn_ui/text.h"\n#include <string>\n',
                "platform/zarn_ui/qt/host.cpp": "#include <QWidget>\n",
                "apps/mail/src/engine/worker.cpp": '#include "imap/session.h"\n#include "state/credential.h"\n',
            })
            result = run(base)
            self.assertEqual(result.returncode, 0, result.stdout)
            self.assertEqual(result.stdout, "")

    def test_each_broken_rule_is_reported_with_file_line_and_rule(self):
        cases = [
            ("platform/accounts/store.cpp", '#include "engine/engine.h"',
             "platform code never includes application code"),
            ("platform/zarn_ui/button.cpp", "#include <QPainter>",
             "the toolkit contract never includes Qt"),
            ("apps/mail/src/imap/session.cpp", '#include "state/account_settings.h"',
             "protocol layers"),
            ("apps/mail/src/smtp/client.cpp", '#include "engine/request.h"', "protocol layers"),
            ("apps/mail/src/engine/live.cpp", '#include "zarn_ui/widget.h"',
             "the engine never includes the toolkit or the app"),
            ("apps/mail/src/doc/mail_document.cpp", '#  include "engine/request.h"',
             "the mail document never includes the engine"),
        ]
        for rel, include, rule in cases:
            with self.subTest(rel=rel), tempfile.TemporaryDirectory() as tmp:
                base = Path(tmp)
                make_tree(base, {rel: "// a comment first\n" + include + "\n"})
                result = run(base)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(f"{rel}:2: {rule}", result.stdout)


if __name__ == "__main__":
    unittest.main()
