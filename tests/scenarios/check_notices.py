#!/usr/bin/env python3
"""Every press ends in a launch or in one notice, end to end: the real 64-bit
DLL in the emulated hosts under Wine.

- Each end that once passed in silence gives exactly one notice whose text is
  the one Torva.Sys holds (decoded here from the very table the run used, the
  shipped German one and one made from en.txt), one log entry, no launch and
  no file left in the temp folder.
- Plakora registered only under App Paths is started from its own folder.
- Every notice and the dialog belong to the host's window, which is disabled
  while they show and enabled after; the dialog stands centred over it, also
  on the right half of a wide screen, without a taskbar button.
- With the members that give the host's window failing, the notice still
  shows, task-modal, and the press completes.

    check_notices.py BUILD-DIR WORK-DIR
"""
import os
import re
import shutil
import subprocess
import sys
import time

import check_excel
from scenario_run import Run, data_of, decoded_table, notice_text, string_table, windows

LOG_LINE = re.compile(r"^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d ### (.*)$")
# The host window on the right half of the 2560-pixel test display.
RIGHT_HALF = {"x": 1500, "y": 200, "width": 900, "height": 600}


def immutable_folders_work(work):
    """chattr +i makes a folder refuse new files while its files still take
    appends, as a folder whose rights allow only the log would; not every
    file system has it."""
    probe = os.path.join(work, "immutable-probe")
    shutil.rmtree(probe, ignore_errors=True)
    os.makedirs(probe)
    open(os.path.join(probe, "log"), "w").close()
    if subprocess.run(["chattr", "+i", probe], capture_output=True).returncode != 0:
        return False
    try:
        open(os.path.join(probe, "new"), "w").close()
        refused = False
    except OSError:
        refused = True
    subprocess.run(["chattr", "-i", probe])
    shutil.rmtree(probe, ignore_errors=True)
    return refused


class Notices:
    def __init__(self, build, work):
        self.build, self.work = build, work
        self.run = Run(build, work)
        self.addin = windows(os.path.join(os.path.abspath(build), "scenario-addin"))

    def temp(self, name):
        """A fresh temp folder for the run, holding an empty log."""
        folder = os.path.join(self.work, name + "-temp")
        subprocess.run(["chattr", "-i", folder], capture_output=True)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        open(os.path.join(folder, "torva.log"), "w").close()
        return folder

    def play_locked(self, name, scenario, folder):
        """Plays the scenario with its temp folder refusing new files from
        the moment the add-in has loaded (its string table is decoded there
        at start) until the run ends."""
        ready, go = (os.path.join(self.work, name + s) for s in (".ready", ".go"))
        for f in (ready, go):
            if os.path.exists(f):
                os.remove(f)

        def lock(proc):
            end = time.monotonic() + 120
            while not os.path.exists(ready) and proc.poll() is None and time.monotonic() < end:
                time.sleep(0.1)
            subprocess.run(["chattr", "+i", folder], check=True)
            open(go, "w").close()
            proc.wait(timeout=300)
        try:
            return self.run.play(name, dict(scenario, steps=[
                {"signal": windows(ready)}, {"waitFor": windows(go)}] + scenario["steps"]), lock)
        finally:
            subprocess.run(["chattr", "-i", folder], capture_output=True)

    def one_notice(self, name, r, table, sid, values, log_text, folder):
        """Exactly one notice: the table's text filled in, title 2300, style
        64, owned by the host window; one log entry; no launch; only the log
        left in the temp folder. VALUES may end in a description the log
        line carries (None: take it from there)."""
        run = self.run
        entries = [m.group(1) for m in map(LOG_LINE.match, r["log"]) if m]
        run.check(f"{name}: one log entry, {log_text!r}",
                  len(r["log"]) == len(entries) == 1 and entries[0].startswith(log_text), r["log"])
        if values and values[-1] is None:
            described = entries[0][len(log_text):] if entries else "?"
            values = values[:-1] + [described]
        want = notice_text(table, sid, *values)
        boxes = r["messageBoxes"]
        run.check(f"{name}: exactly the notice {sid} of the table, titled 2300, style 64",
                  [(b["title"], b["text"], b["style"]) for b in boxes]
                  == [(table["2300"], want, 64)], (boxes, want))
        self.owned(name, r)
        run.check(f"{name}: nothing started", r["launches"] == [] and
                  [p["launches"] for p in r["presses"]] == [0], (r["launches"], r["presses"]))
        left = sorted(os.listdir(folder))
        run.check(f"{name}: nothing but the log left in the temp folder", left == ["torva.log"], left)
        run.check(f"{name}: no host call failed", r["hostCallFailures"] == [],
                  r["hostCallFailures"])

    def owned(self, name, r):
        """Every notice and dialog: the host window owns it, is disabled while
        it shows and enabled after."""
        host = r["hostWindow"]
        shown = r["messageBoxes"] + r["dialogs"]
        self.run.check(f"{name}: each of {len(shown)} windows owned by the host window "
                       f"({host['handle']}), which is disabled meanwhile and enabled after",
                       shown and all(w["owner"] == host["handle"]
                                     and w["hostWindowDisabledWhileShown"] for w in shown)
                       and host["enabled"], (host, shown))


def excel(selection, cells, kind="worksheet", **more):
    steps = [{"messageBox": "OK"}, {"click": "button"}]
    return check_excel.excel(selection, cells, kind, steps) | more


ADDRESSES = {"A1": "Name", "B1": "Ort", "A2": "Berg", "B2": "Musterstadt", "A3": "Weber",
             "B3": "Hafenstadt"}
ONLY_MAIL = {"stores": [{"name": "Persönliche Ordner", "folders": [
    {"name": "Kontakte", "defaultItemType": 2, "items": [
        {"kind": "mail", "Subject": "Angebot"}, {"kind": "mail", "Subject": "Rechnung"}]},
    {"name": "Posteingang", "defaultItemType": 0, "items": []}]}],
    "explorer": {"currentFolder": "Posteingang", "selection": []}}
CONTACTS = {"stores": [{"name": "Persönliche Ordner", "folders": [
    {"name": "Kontakte", "defaultItemType": 2, "items": [
        {"kind": "contact", "FirstName": "Anna", "LastName": "Berg"}]}]}],
    "explorer": {"currentFolder": "Kontakte", "selection": []}}


def silent_ends(n, lang, table, string_table):
    """The ends that once passed in silence, in one language."""
    run = n.run
    more = {"stringTable": string_table} if string_table else {}
    text_fault = [{"member": "Text", "occurrence": 4,
                   "fail": {"hresult": "0x800A03EC", "description": "Zelle gesperrt"}}]
    cases = [
        ("past-row-600", excel("A1:B700", ADDRESSES), "0925", ["600"],
         "Excel export: the selection reaches past row 600: Subscript out of range"),
        ("chart-sheet", excel("A1:B2", {}, kind="chart"), "0924", [],
         "Excel export: the active sheet is not a worksheet: "),
        ("failing-text", excel("A1:B3", ADDRESSES, faults=text_fault), "0928",
         ["Zelle gesperrt"], "Excel export: Excel refused a call: Zelle gesperrt"),
        ("only-mail", {"host": "Outlook", "outlook": ONLY_MAIL,
                       "steps": [{"dialog": {"select": [0], "press": "OK"}},
                                 {"messageBox": "OK"}, {"click": "button"}]},
         "0944", ["Angebot"], "Outlook export: an entry is not a contact: Angebot: "),
        ("plakora-missing", {"host": "Word", "plakora": "missing",
                             "steps": [{"messageBox": "OK"}, {"click": "button"}]},
         "2302", [n.addin], "plakora.exe not found: "),
    ]
    for name, scenario, sid, values, log_text in cases:
        name = f"{lang}-{name}"
        folder = n.temp(name)
        r = run.play(name, dict(scenario, tempFolder=windows(folder), **more))
        if r:
            n.one_notice(name, r, table, sid, values, log_text, folder)

    if not n.immutable:
        print(f"skip {lang}: folders that refuse new files (chattr +i is not available here)")
        return
    locked = [
        ("export-folder-locked", excel("A1:B3", ADDRESSES), "0927", None,
         "Excel export: the export file could not be written: "),
        ("contact-folder-locked", {"host": "Outlook", "outlook": CONTACTS,
                                   "steps": [{"dialog": {"select": [0], "press": "OK"}},
                                             {"messageBox": "OK"}, {"click": "button"}]},
         "0947", None, "Outlook export: the export file could not be written: "),
        ("handoff-folder-locked", {"host": "Word", "steps": [{"messageBox": "OK"},
                                                              {"click": "button"}]},
         "2301", None, "Could not write the hand-off file: "),
    ]
    for name, scenario, sid, _, log_text in locked:
        name = f"{lang}-{name}"
        folder = n.temp(name)
        r = n.play_locked(name, dict(scenario, tempFolder=windows(folder), **more), folder)
        if r:
            values = [windows(folder)] + ([None] if sid in ("0927", "0947") else [])
            n.one_notice(name, r, table, sid, values, log_text, folder)


def main(build, work):
    build, work = os.path.abspath(build), os.path.abspath(work)
    n = Notices(build, work)
    run = n.run
    os.makedirs(work, exist_ok=True)
    n.immutable = immutable_folders_work(work)
    german = decoded_table(os.path.join(build, "Torva.Sys"))
    english, english_table = string_table(work, "en.Sys", "en.txt")
    silent_ends(n, "de", german, None)
    silent_ends(n, "en", english_table, english)

    # Plakora where only the user's App Paths entry says it is: Word and
    # Excel start it from its own folder, with the hand-off as ever.
    own = n.addin + "-plakora"
    for host, scenario, handoff in [
            ("Word", {"host": "Word"}, "[PLAKORA]\r\nRUNMODE=2\r\nDBFILE=\r\nDBCONNECT=\r\nDBSQL=\r\n"),
            ("Excel", excel("A1:B2", ADDRESSES), None)]:
        name = f"app-paths-{host.lower()}"
        r = run.play(name, dict(scenario, plakora="appPaths", steps=[{"click": "button"}]))
        if r:
            launches = r["launches"]
            run.check(f"{name}: one launch of the stand-in in its own folder",
                      [(l["executable"], l["directory"]) for l in launches]
                      == [(own + "\\plakora.exe", own)], launches)
            want = handoff or ("[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=" + launches[0]["dataFile"]
                               + "\r\nDBCONNECT=\r\nDBSQL=\r\n" if launches else None)
            run.check(f"{name}: the hand-off as from the add-in's folder",
                      launches and launches[0]["handoff"] == want, launches)
            if host == "Excel" and launches:
                run.check(f"{name}: the export of the selection",
                          data_of(launches[0]).decode("utf-16") == "Name\tOrt\r\nBerg\tMusterstadt\r\n",
                          data_of(launches[0]))
            run.quiet(name, r)

    # The dialog over its owner, on the left and on the right half of the
    # screen: centred within a few pixels, owned, no taskbar button.
    for place in ({"x": 40, "y": 40, "width": 800, "height": 600}, RIGHT_HALF):
        name = f"dialog-at-{place['x']}"
        r = run.play(name, {"host": "Outlook", "outlook": CONTACTS, "hostWindow": place,
                            "steps": [{"dialog": {"select": [0], "press": "Cancel"}},
                                      {"click": "button"}]})
        if r and r["dialogs"]:
            d, host = r["dialogs"][0], r["hostWindow"]
            centre = lambda w: (w["x"] + w["width"] / 2, w["y"] + w["height"] / 2)
            (dx, dy), (hx, hy) = centre(d["rect"]), centre(host["rect"])
            run.check(f"{name}: the host window where the scenario put it",
                      host["rect"] == place, host["rect"])
            run.check(f"{name}: the dialog centred over the host window (within 3 pixels)",
                      abs(dx - hx) <= 3 and abs(dy - hy) <= 3, (d["rect"], host["rect"]))
            run.check(f"{name}: no taskbar button of its own", d["taskbarButton"] is False, d)
            n.owned(name, r)
            run.quiet(name, r)
        elif r:
            run.check(f"{name}: the dialog showed", False, r["dialogs"])

    # Access's notices belong to its window too (hWndAccessApp).
    r = run.play("access-owned", {"host": "Access", "access": {
        "database": "C:\\data\\shop.accdb", "currentObject": {"type": 2, "name": "Kunden"}},
        "steps": [{"wait": 300}, {"messageBox": "OK"}, {"click": "button"}]})
    if r:
        run.check("access-owned: the notice 0934", [b["text"] for b in r["messageBoxes"]]
                  == [german["0934"]], r["messageBoxes"])
        n.owned("access-owned", r)

    # The members that give the host's window fail: each notice still
    # shows, task-modal (no owner, the host window disabled all the same),
    # and the press completes without failing back to the host.
    fail = {"hresult": "0x800A01A8", "description": "Kein Fenster"}
    for name, scenario in [
            ("excel-no-hwnd", excel("A1:B2", {}, kind="chart",
                                    faults=[{"member": "Hwnd", "occurrence": 1, "fail": fail}])),
            ("access-no-hwnd", {"host": "Access", "plakora": "missing",
                                "access": {"database": "C:\\data\\shop.accdb",
                                           "currentObject": {"type": 0, "name": "Orders"}},
                                "faults": [{"member": "hWndAccessApp", "occurrence": 1,
                                            "fail": fail}],
                                "steps": [{"wait": 300}, {"messageBox": "OK"},
                                          {"click": "button"}]}),
            ("word-no-window", {"host": "Word", "plakora": "missing",
                                "faults": [{"member": "ActiveWindow", "occurrence": 1,
                                            "nothing": True}],
                                "steps": [{"messageBox": "OK"}, {"click": "button"}]}),
            ("outlook-no-window", {"host": "Outlook", "outlook": ONLY_MAIL,
                                   "faults": [{"member": "GetWindow", "occurrence": 1,
                                               "fail": fail}],
                                   "steps": [{"dialog": {"select": [0], "press": "OK"}},
                                             {"messageBox": "OK"}, {"click": "button"}]})]:
        r = run.play(name, scenario)
        if r:
            shown = r["messageBoxes"] + r["dialogs"]
            run.check(f"{name}: the fault was hit", any(c["faulted"] for c in r["calls"]),
                      r["calls"])
            run.check(f"{name}: the notice shows without an owner, the host window disabled "
                      "while it shows and enabled after",
                      len(r["messageBoxes"]) == 1 and all(
                          w["owner"] is None and w["hostWindowDisabledWhileShown"] for w in shown)
                      and r["hostWindow"]["enabled"], (shown, r["hostWindow"]))
            run.check(f"{name}: the press completes, nothing failed back to the host",
                      len(r["presses"]) == 1 and r["hostCallFailures"] == [],
                      (r["presses"], r["hostCallFailures"]))
    return run.result()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
