"""What the end-to-end checks share: the texts of a string source by ID, and a
runner that plays scenarios with tools/run-scenario and tallies the checks."""
import base64
import importlib
import json
import os
import re
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
encode_strings = importlib.import_module("encode-strings")


def strings(name="de.txt"):
    """The texts by ID, as the add-in shows them."""
    table = {}
    for line in open(os.path.join(ROOT, "resources/strings", name), encoding="utf-8"):
        line = line.strip("\r\n\t \a")
        if line and not line.startswith("#"):
            table[line[:4]] = line[5:].replace("\\n", "\r\n")
    return table


def notice_text(table, sid, *values):
    """A notice's text as the add-in fills it in: %1, %2 ... by the values."""
    text = table[sid]
    for n, v in enumerate(values, 1):
        text = text.replace(f"%{n}", v)
    return text


def decoded_table(path):
    """Torva.Sys read back: undo the chained XOR, then one ID and text a line."""
    data = open(path, "rb").read()
    plain = bytes(b ^ (data[i - 1] if i else 0x52) for i, b in enumerate(data))
    table = {}
    for line in plain.decode("utf-16").split("\r\n"):
        if len(line) > 5 and not line.startswith("#"):
            table[line[:4]] = line[5:].replace("\\n", "\r\n")
    return table


def string_table(work, name, source, changes=None):
    """A Torva.Sys made from SOURCE (a file of resources/strings) with some
    texts replaced; its path and its texts as the add-in decodes them."""
    lines = open(os.path.join(ROOT, "resources/strings", source), encoding="utf-8").read()
    for sid, text in (changes or {}).items():
        lines, n = re.subn(rf"(?m)^{sid} .*$", lambda _: f"{sid} {text}", lines)
        assert n == 1, sid
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(encode_strings.encode(lines.encode("utf-8")))
    return path, decoded_table(path)


def windows(path):
    """A Linux path as Windows sees it, through drive Z:."""
    return "Z:" + path.replace("/", "\\")


def utf16_file(*lines):
    return b"\xff\xfe" + "".join(l + "\r\n" for l in lines).encode("utf-16-le")


def data_of(launch):
    return base64.b64decode(launch["dataFileBase64"]) if launch.get("dataFileBase64") else None


# Another add-in's untagged button on the host's main toolbar, and its press
# with a snapshot right after it.
FOREIGN = [{"bar": "Standard", "caption": "Other", "tag": ""}]
PRESS_FOREIGN = [{"click": "foreign:Other"}, {"snapshot": "foreign"}]


class Run:
    def __init__(self, build, work, scenarios=None):
        self.build, self.work, self.scenarios = build, work, scenarios
        self.passed, self.failed = [], []
        os.makedirs(work, exist_ok=True)

    def play(self, name, scenario=None, meanwhile=None):
        """Plays a scenario given as a dict, or else the file NAME.json of the
        scenario folder; returns the report, or None when the emulator failed.
        MEANWHILE, if given, is called with the running emulator's process."""
        if scenario is None:
            path = os.path.join(self.scenarios, name + ".json")
        else:
            path = os.path.join(self.work, name + ".json")
            with open(path, "w", encoding="utf-8") as f:
                json.dump(scenario, f, ensure_ascii=False, indent=1)
        report = os.path.join(self.work, name + ".report.json")
        if os.path.exists(report):
            os.remove(report)
        def emulate():
            proc = subprocess.Popen([os.path.join(ROOT, "tools/run-scenario"), path, report],
                                    env=dict(os.environ, TORVA_BUILD_DIR=self.build))
            if meanwhile:
                meanwhile(proc)
            return proc.wait()
        rc = emulate()
        if rc == 1 and not os.path.exists(report) and not meanwhile:
            # Seen once under full load: the emulator ended with 1 before it
            # wrote anything. A fault of the add-in fails the same way again;
            # say so and play it once more.
            print(f"note {name}: the emulator ended with 1 and no report; played again",
                  flush=True)
            rc = emulate()
        if rc != 0:
            self.check(name + ": emulator ran", False, f"exit {rc}")
            return None
        r = json.load(open(report, encoding="utf-8"))
        self.launch_or_notice(name, r)
        return r

    def launch_or_notice(self, name, r):
        """launchOrNotice: every press of the button or the menu entry ends in
        exactly one launch or exactly one notice; only a dialog that the user
        cancelled or closed ends one in nothing."""
        odd = [p for p in r["presses"]
               if p["launches"] is None or p["launches"] + p["notices"] > 1
               or (p["launches"] + p["notices"] == 0
                   and not set(p["dialogs"]) & {"Cancel", "close"})]
        self.check(f"{name}: launchOrNotice: each of {len(r['presses'])} presses ends in one "
                   "launch or one notice", not odd, odd)

    def check(self, name, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + name + ("" if ok else f": {detail}"))
        (self.passed if ok else self.failed).append(name)
        return ok

    def quiet(self, name, r, *allowed):
        """No host call failed, no notice, nothing logged, nothing left
        referenced and a DLL that can unload; ALLOWED names the report fields
        the scenario expects to be filled."""
        for field in ("hostCallFailures", "messageBoxes", "log"):
            if field not in allowed:
                self.check(f"{name}: no {field}", r[field] == [], r[field])
        refs = r["references"]
        if "references" not in allowed:
            self.check(f"{name}: nothing left referenced, the DLL can unload",
                       refs["outstandingAtExit"] == 0 and refs["addinsCanUnload"]
                       and all(refs["addinsCanUnload"].values()), refs)

    def check_foreign(self, name, r, launches, pressed=True):
        """The foreign button's press (if PRESS_FOREIGN came first) reached
        only its own sink and launched nothing; ours never reached it."""
        clicks = {"Other": 1 if pressed else 0}
        if pressed:
            snap = r["snapshots"].get("foreign")
            self.check(f"{name}: pressing the foreign button counts one foreign click",
                       snap is not None and snap["foreignClicks"] == clicks, snap)
        self.check(f"{name}: only our {launches} presses launch",
                   len(r["launches"]) == launches, r["launches"])
        self.check(f"{name}: our presses leave the foreign count unchanged",
                   r["foreignClicks"] == clicks, r["foreignClicks"])

    def result(self):
        print(f"{len(self.passed)} passed, {len(self.failed)} failed")
        return 1 if self.failed else 0
