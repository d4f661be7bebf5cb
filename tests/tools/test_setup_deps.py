#!/usr/bin/env python3
"""What tools/setup-deps installs, decided by the 32-bit probe, with dpkg,
apt-get and the probe replaced by stand-ins that record their calls: 32-bit
Wine never where the probe fails (there it would break every Wine call), and
where the probe passes only what is missing. And the probe's own switch that
simulates a machine without 32-bit programs.
   test_setup_deps.py SOURCE_DIR"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(sys.argv[1], "tools")
WINE32 = "wine32:i386"

# Stand-ins on PATH. Each records its call; dpkg-query answers from
# $INSTALLED, dpkg --print-foreign-architectures from $FOREIGN.
STUBS = {
    "dpkg-query": 'for p; do last=$p; done\n'
                  'case " $INSTALLED " in *" $last "*) printf "install ok installed" ;; '
                  '*) exit 1 ;; esac',
    "dpkg": 'echo "dpkg $*" >>"$CALLS"\n'
            '[ "$1" != --print-foreign-architectures ] || printf "%s\\n" $FOREIGN',
    "apt-get": 'echo "apt-get $*" >>"$CALLS"',
    "sudo": 'exec "$@"',
}


def write(path, body):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, 0o755)


class SetupDeps(unittest.TestCase):
    def run_setup(self, probe_runs, installed, foreign):
        """The apt-get and dpkg calls that setup-deps makes."""
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp)
        tools, stubs, calls = (os.path.join(tmp, n) for n in ("tools", "bin", "calls"))
        os.makedirs(tools)
        os.makedirs(stubs)
        shutil.copy(os.path.join(TOOLS, "setup-deps"), tools)
        write(os.path.join(tools, "probe-32bit"), f"exit {0 if probe_runs else 1}")
        for name, body in STUBS.items():
            write(os.path.join(stubs, name), body)
        env = dict(os.environ, PATH=stubs + os.pathsep + os.environ["PATH"], CALLS=calls,
                   INSTALLED=" ".join(installed), FOREIGN=foreign)
        done = subprocess.run([os.path.join(tools, "setup-deps")], env=env, capture_output=True,
                              text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = open(calls).read().splitlines() if os.path.exists(calls) else []
        return [l for l in lines if l != "dpkg --print-foreign-architectures"]

    def test_what_is_installed(self):
        # The package list of setup-deps itself, read from its array.
        text = open(os.path.join(TOOLS, "setup-deps")).read()
        everything = text.split("packages=(", 1)[1].split(")", 1)[0].split()
        without_cmake = [p for p in everything if p != "cmake"]
        install = "apt-get install -y -qq --no-install-recommends"
        update = "apt-get update -qq"
        for name, probe_runs, installed, foreign, expected in [
                # probe runs, installed, foreign architectures -> calls
                ("no 32-bit programs, nothing else missing", False, everything, "", []),
                ("no 32-bit programs, cmake missing", False, without_cmake, "",
                 [update, f"{install} cmake"]),
                ("no 32-bit programs, i386 already added", False, everything, "i386", []),
                ("32-bit programs, no i386 architecture yet", True, everything, "",
                 ["dpkg --add-architecture i386", update, f"{install} {WINE32}"]),
                ("32-bit programs, i386 added before", True, everything, "i386",
                 [update, f"{install} {WINE32}"]),
                ("32-bit programs, 32-bit Wine there", True, everything + [WINE32], "i386", [])]:
            with self.subTest(name):
                self.assertEqual(self.run_setup(probe_runs, installed, foreign), expected)

    def test_probe_simulates_a_machine_without_32bit_programs(self):
        done = subprocess.run([os.path.join(TOOLS, "probe-32bit")], timeout=60,
                              env=dict(os.environ, TORVA_PROBE_32BIT="fail"))
        self.assertEqual(done.returncode, 1)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
