#!/usr/bin/env python3
"""The string tool as translators and the build use it:
   test_torva_strings.py TOOL SOURCE_DIR BUILT_TORVA_SYS"""

import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

TOOL, SOURCE_DIR, BUILT = sys.argv[1:4]
STRINGS = os.path.join(SOURCE_DIR, "resources", "strings")

loader_spec = importlib.util.spec_from_file_location(
    "encode_strings", os.path.join(SOURCE_DIR, "tools", "encode-strings.py"))
encode_strings = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(encode_strings)


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=30)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Tool(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.path = lambda name: os.path.join(self.tmp.name, name)

    def check(self, lines):
        with open(self.path("s.txt"), "w", encoding="utf-8", newline="\n") as f:
            f.write("\n".join(lines) + "\n")
        return run("check", self.path("s.txt"))

    def english(self):
        return read(os.path.join(STRINGS, "en.txt")).decode("utf-8").splitlines()

    def test_shipped_sources_pass(self):
        for name in sorted(n for n in os.listdir(STRINGS) if n.endswith(".txt")):
            result = run("check", os.path.join(STRINGS, name))
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            self.assertTrue(result.stdout.endswith(": ok\n"), result.stdout)

    def test_duplicate_stops_the_load_and_hides_later_ids(self):
        lines = self.english()
        at = lines.index("0910 Print labels")
        lines.insert(at, "2300 Early title")
        result = self.check(lines)
        self.assertEqual(result.returncode, 1)
        first = at + 1
        dup = next(i for i, l in enumerate(lines) if l.startswith("2300 Torva")) + 1
        self.assertIn(f"line {dup}: the ID \"2300\" is already used on line {first}", result.stdout)
        # 5100 follows the duplicate, so the add-in never reads it.
        later = lines.index("5100 Title") + 1
        self.assertIn(f"line {later}: the ID 5100 (contact export field: title) comes after "
                      f"the duplicate on line {dup}", result.stdout)
        self.assertNotIn("0910", result.stdout)

    def test_faults_are_reported_with_their_line(self):
        lines = [l for l in self.english() if not l.startswith("0934 ")]
        at = {l[:5]: i for i, l in enumerate(lines)}
        rtl, size, short = (at[p] + 1 for p in ("1002 ", "1051 ", "5128 "))
        lines[rtl - 1], lines[size - 1], lines[short - 1] = "1002 Nein", "1051 acht", "512 E-mail"
        lines.append("1002 TRUE")  # a second 1002 is a duplicate, but a valid value
        result = self.check(lines)
        self.assertEqual(result.returncode, 1)
        out = result.stdout
        self.assertIn(f"line {rtl}: 1002 must be True or False (or a number), not \"Nein\"", out)
        self.assertIn(f"line {size}: 1051 is a font size and must be a number", out)
        self.assertIn(f"line {short}: the ID \"512 \" is not four digits", out)
        self.assertIn("the ID 0934 (Access: notice that a table or query must be selected) "
                      "is missing", out)
        self.assertIn("the ID 5128 (contact export field: business e-mail) is missing", out)
        self.assertNotIn("TRUE", out.replace(f"line {len(lines)}: the ID \"1002\"", ""))

    def test_broken_utf8_is_named(self):
        with open(self.path("bad.txt"), "wb") as f:
            f.write(b"# ok\n0900 Stra\xdfe\n")
        result = run("check", self.path("bad.txt"))
        self.assertIn("line 2: not valid UTF-8", result.stdout)
        self.assertNotEqual(run("encode", self.path("bad.txt"), self.path("x.sys")).returncode, 0)
        self.assertFalse(os.path.exists(self.path("x.sys")))

    def test_encode_decode_round_trip_and_python_twin(self):
        source = os.path.join(STRINGS, "de.txt")
        self.assertEqual(run("encode", source, self.path("de.sys")).returncode, 0)
        stored, plain = read(self.path("de.sys")), read(source)
        self.assertEqual(stored, encode_strings.encode(plain))
        self.assertEqual(read(BUILT), stored)

        # Unscrambled by hand: BOM, then UTF-16LE with CR LF line ends.
        previous, out = 0x52, bytearray()
        for b in stored:
            out.append(b ^ previous)
            previous = b
        self.assertEqual(bytes(out[:2]), b"\xff\xfe")
        self.assertEqual(out[2:].decode("utf-16-le"),
                         plain.decode("utf-8").replace("\n", "\r\n"))

        self.assertEqual(run("decode", self.path("de.sys"), self.path("back.txt")).returncode, 0)
        self.assertEqual(read(self.path("back.txt")), plain)

    def test_usage_and_missing_files(self):
        self.assertEqual(run().returncode, 2)
        result = run("check", self.path("none.txt"))
        self.assertEqual(result.returncode, 2)
        self.assertIn("none.txt", result.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)
