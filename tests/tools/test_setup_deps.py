#!/usr/bin/env python3
"""What tools/setup-deps installs, decided by the 32-bit probe, with dpkg,
apt-get and the probe replaced by stand-ins that record their calls: 32-bit
Wine never where the probe fails (there it would break every Wine call), and
where the probe passes only what is missing. And the probe's own switch that
simulates a machine without 32-bit programs.
   test_setup_deps.py SOURCE_DIR"""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = sys.argv[1]
TOOLS = os.path.join(SOURCE_DIR, "tools")
WINE32 = "wine32:i386"

# Stand-ins on PATH. Each records its call; dpkg-query answers from
# $INSTALLED, dpkg --print-foreign-architectures from $FOREIGN.
STUBS = {
    "dpkg-query": """#!/bin/sh
for p; do last=$p; done
case " $INSTALLED " in *" $last "*) printf 'install ok installed' ;; *) exit 1 ;; esac
""",
    "dpkg": """#!/bin/sh
echo "dpkg $*" >>"$CALLS"
[ "$1" != --print-foreign-architectures ] || printf '%s\\n' $FOREIGN
""",
    "apt-get": """#!/bin/sh
echo "apt-get $*" >>"$CALLS"
""",
    "sudo": """#!/bin/sh
exec "$@"
""",
}


def write(path, text):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)


def packages():
    """The package list of setup-deps itself, read from its array."""
    text = open(os.path.join(TOOLS, "setup-deps")).read()
    body = text[text.index("packages=(") + len("packages=("):]
    return body[:body.index(")")].split()


class SetupDeps(unittest.TestCase):
    def run_setup(self, probe_runs, installed, foreign=""):
        """The apt-get and dpkg calls that setup-deps makes."""
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        tools, stubs = os.path.join(tmp.name, "tools"), os.path.join(tmp.name, "bin")
        os.makedirs(tools)
        os.makedirs(stubs)
        shutil.copy(os.path.join(TOOLS, "setup-deps"), tools)
        write(os.path.join(tools, "probe-32bit"), f"#!/bin/sh\nexit {0 if probe_runs else 1}\n")
        for name, text in STUBS.items():
            write(os.path.join(stubs, name), text)
        calls = os.path.join(tmp.name, "calls")
        env = dict(os.environ, PATH=stubs + os.pathsep + os.environ["PATH"], CALLS=calls,
                   INSTALLED=" ".join(installed), FOREIGN=foreign)
        done = subprocess.run([os.path.join(tools, "setup-deps")], env=env, capture_output=True,
                              text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = []
        if os.path.exists(calls):
            with open(calls) as f:
                lines = f.read().splitlines()
        return [l for l in lines if l != "dpkg --print-foreign-architectures"]

    def test_what_is_installed(self):
        everything = packages()
        without_cmake = [p for p in everything if p != "cmake"]
        install = "apt-get install -y -qq --no-install-recommends"
        update = "apt-get update -qq"
        cases = [
            # probe runs, installed, foreign architectures -> calls
            ("no 32-bit programs, nothing else missing", False, everything, "", []),
            ("no 32-bit programs, cmake missing", False, without_cmake, "",
             [update, f"{install} cmake"]),
            ("no 32-bit programs, i386 already added", False, everything, "i386", []),
            ("32-bit programs, no i386 architecture yet", True, everything, "",
             ["dpkg --add-architecture i386", update, f"{install} {WINE32}"]),
            ("32-bit programs, i386 added before", True, everything, "i386",
             [update, f"{install} {WINE32}"]),
            ("32-bit programs, 32-bit Wine there", True, everything + [WINE32], "i386", []),
        ]
        for name, probe_runs, installed, foreign, expected in cases:
            with self.subTest(name):
                self.assertEqual(self.run_setup(probe_runs, installed, foreign), expected)


class Probe(unittest.TestCase):
    def test_simulated_failure(self):
        done = subprocess.run([os.path.join(TOOLS, "probe-32bit")], timeout=60,
                              env=dict(os.environ, TORVA_PROBE_32BIT="fail"))
        self.assertEqual(done.returncode, 1)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
