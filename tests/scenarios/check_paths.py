#!/usr/bin/env python3
"""Folders the ANSI code page (1252) cannot spell: with the emulator's temp
folder, or the Access database, under "Łukasz Żółć", each host's launch still
finds the hand-off and the data file it names, through paths with no "?"; with
plain folders the same runs hand over the long paths, byte for byte.

    check_paths.py BUILD-DIR WORK-DIR
"""
import base64
import os
import re
import sys

from check_excel import excel
from check_outlook import ANNA, contact_file, outlook
from scenario_run import Run, data_of, utf16_file

USER = "Łukasz Żółć"
FOLDERS = {"polish": f"C:\\users\\{USER}\\Temp", "plain": "C:\\users\\Public\\TorvaTemp"}
DATABASE = b"Standard Jet DB\x00 stand-in"


def main(build, work):
    run = Run(build, work)
    for kind, temp in FOLDERS.items():
        # The database in a folder of the same kind, on the Linux side (drive Z:).
        folder = os.path.join(work, USER if kind == "polish" else "plain")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "shop.accdb"), "wb") as f:
            f.write(DATABASE)
        database = "Z:" + os.path.join(folder, "shop.accdb").replace("/", "\\")
        # Host, scenario, run mode, DBCONNECT and DBSQL, the data file's bytes
        # (None: no file). The export's name is the add-in's choice; the
        # database's is the scenario's, checked to the letter where the code
        # page can spell it.
        for host, scenario, mode, values, data in [
                ("word", {"host": "Word", "steps": [{"click": "button"}]}, 2, (), None),
                ("excel", excel("A1:B2", {"A1": "Name", "A2": "x"}), 3, (),
                 utf16_file("Name\tB", "x\t")),
                ("outlook", {"host": "Outlook", "outlook": outlook(kontakte=(ANNA,)), "steps": [
                    {"dialog": {"select": [0], "option": "business", "press": "OK"}},
                    {"click": "button"}]}, 5, (), contact_file([ANNA], private=False)),
                ("access", {"host": "Access", "access": {
                    "database": database, "currentObject": {"type": 0, "name": "Orders"}},
                    "steps": [{"wait": 300}, {"click": "button"}]}, 4,
                 ("TABLE Orders", "SELECT * FROM [Orders]"), DATABASE)]:
            name = f"{kind}-{host}"
            r = run.play(name, scenario | {"tempFolder": temp})
            if not r:
                continue
            run.check(f"{name}: code page 1252", r["ansiCodePage"] == 1252, r["ansiCodePage"])
            run.quiet(name, r)
            if not run.check(f"{name}: one launch", len(r["launches"]) == 1, r["launches"]):
                continue
            launch = r["launches"][0]
            # The add-in's own folder is plain: started there, long.
            run.check(f"{name}: started in the add-in folder by its long name",
                      launch["directory"].endswith("\\scenario-addin"), launch["directory"])
            data_file = ("" if data is None else database
                         if host == "access" and database.isascii() else launch["dataFile"])
            connect, sql = values or ("", "")
            got = base64.b64decode(launch["handoffBase64"] or "")
            # The stand-in looks in its own temp folder, inherited from the host.
            run.check(f"{name}: the stand-in read the whole hand-off",
                      got == (f"[PLAKORA]\r\nRUNMODE={mode}\r\nDBFILE={data_file}\r\n"
                              f"DBCONNECT={connect}\r\nDBSQL={sql}\r\n").encode("cp1252"), got)
            if data is None:
                continue
            shown = data_of(launch)
            run.check(f"{name}: DBFILE names the data file, exact bytes", shown == data,
                      (launch["dataFile"], shown))
            if kind == "polish":
                run.check(f"{name}: DBFILE short, every letter in the code page",
                          "?" not in data_file and data_file.isascii() and "~" in data_file,
                          data_file)
            elif host != "access":
                run.check(f"{name}: DBFILE the long path in the temp folder",
                          re.fullmatch(re.escape(temp) + r"\\rad[0-9A-F]{5}\.tmp", data_file),
                          data_file)
    return run.result()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
