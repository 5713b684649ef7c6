"""tools/check-layers on the repository and on small trees made for each case."""
import os
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get("QIVRA_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(SOURCE, "tools", "check-layers")


def run(root):
    done = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
    return done.returncode, done.stdout


class CheckLayersTest(unittest.TestCase):
    def tree(self, files):
        root = tempfile.mkdtemp(prefix="layers-")
        self.addCleanup(subprocess.run, ["rm", "-rf", root])
        for rel, text in files.items():
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w") as f:
                f.write(text)
        return root

    def test_the_repository_passes(self):
        code, out = run(SOURCE)
        self.assertEqual(code, 0, out)

    def test_downward_includes_pass_and_tests_may_include_anything(self):
        root = self.tree({
            "platform/net.h": "#pragma once\n",
            "core/app_state.h": '#include "platform/net.h"\n',
            "app/main.cpp": '#include "core/app_state.h"\n#include <cstdio>\n',
            "tests/app/main_test.cpp": '#include "app/main.cpp"\n',
        })
        code, out = run(root)
        self.assertEqual(code, 0, out)

    def test_an_upward_include_names_file_line_and_both_modules(self):
        root = self.tree({
            "app/app_state.h": "#pragma once\n",
            "platform/window.h": '// the window\n#include "app/app_state.h"\n',
        })
        code, out = run(root)
        self.assertEqual(code, 1, out)
        self.assertIn("platform/window.h:2: include of 'app/app_state.h' runs upward: "
                      "platform may not include app", out)

    def test_sideways_between_tools_and_unknown_folders_fail(self):
        root = self.tree({
            "bench/b.h": "#pragma once\n",
            "tools/t.cpp": '#include "bench/b.h"\n',
            "scene/s.cpp": '#include "tests/helper.h"\n',
            "tests/helper.h": "#pragma once\n",
        })
        code, out = run(root)
        self.assertEqual(code, 1, out)
        self.assertIn("tools/t.cpp:1: include of 'bench/b.h' runs sideways", out)
        self.assertIn("scene/s.cpp:1: include of 'tests/helper.h' leaves the modules", out)

    def test_a_cycle_inside_one_module_is_found(self):
        root = self.tree({
            "scene/a.h": '#include "scene/b.h"\n',
            "scene/b.h": '#include "c.h"\n',
            "scene/c.h": '#include "scene/a.h"\n',
        })
        code, out = run(root)
        self.assertEqual(code, 1, out)
        self.assertIn("include cycle: scene/a.h -> scene/b.h -> scene/c.h -> scene/a.h", out)


if __name__ == "__main__":
    unittest.main()
