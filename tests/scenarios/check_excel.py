#!/usr/bin/env python3
"""Excel end to end: the real 64-bit DLL in the emulated Excel, the real
export file and the stand-in's record of the launch.

    check_excel.py BUILD-DIR WORK-DIR
"""
import base64
import sys

from scenario_run import Run, strings


TEXT = strings()


def utf16_file(*lines):
    return b"\xff\xfe" + "".join(l + "\r\n" for l in lines).encode("utf-16-le")


def excel(selection, cells=None, kind="worksheet", steps=None):
    return {
        "host": "Excel",
        "excel": {"activeSheet": {"kind": kind, "name": "Sheet1", "cells": cells or {}},
                  "selection": selection},
        "steps": steps or [{"click": "button"}],
    }


def data_of(launch):
    return base64.b64decode(launch["dataFileBase64"]) if launch.get("dataFileBase64") else None


def main(build, work):
    run = Run(build, work)

    # The block A1:B2, by button and by menu entry: the exact file, two launches.
    r = run.play("block", excel("A1:B2", {"A1": "Name", "A2": "x"},
                                steps=[{"click": "button"}, {"click": "menu"}]))
    if r:
        expected = bytes.fromhex(
            "FF FE 4E 00 61 00 6D 00 65 00 09 00 42 00 0D 00 0A 00 78 00 09 00 0D 00 0A 00")
        launches = r["launches"]
        run.check("block: two clicks, two launches", len(launches) == 2, launches)
        for n, launch in enumerate(launches):
            run.check(f"block: launch {n} exact export bytes", data_of(launch) == expected, data_of(launch))
            lines = launch["handoff"].split("\r\n")
            run.check(f"block: launch {n} hand-off", lines[:5] == [
                "[PLAKORA]", "RUNMODE=3", "DBFILE=" + launch["dataFile"], "DBCONNECT=", "DBSQL="], lines)
        if len(launches) == 2:
            run.check("block: a fresh export path per click",
                      launches[0]["dataFile"] != launches[1]["dataFile"], launches)
        run.check("block: no notice", r["messageBoxes"] == [], r["messageBoxes"])
        # The export keeps Excel's objects until the next one, but not past the connection.
        run.check("block: nothing left referenced", r["references"]["outstandingAtExit"] == 0,
                  r["references"])

    # Selections the export turns down with the notice; with no workbook open
    # the selection is Nothing, which is no range either. Every such path lets
    # go of what it took from Excel.
    no_workbook = {"host": "Excel", "excel": {"workbook": None}, "steps": [{"click": "button"}]}
    for name, scenario in [("cell", excel("B5", {"A1": "h"})),
                           ("row", excel("A1:D1", {"A1": "h"})),
                           ("column", excel("A1:A10", {"A1": "h"})),
                           ("chart", excel({"kind": "chart"}, {"A1": "h"})),
                           ("noworkbook", no_workbook)]:
        r = run.play(name, scenario)
        if r:
            boxes = r["messageBoxes"]
            run.check(f"{name}: notice 0923 titled 2300",
                      [(b["title"], b["text"], b["style"]) for b in boxes]
                      == [(TEXT["2300"], TEXT["0923"], 64)], boxes)
            run.check(f"{name}: nothing started, nothing failed or logged",
                      (r["launches"], r["hostCallFailures"], r["log"]) == ([], [], []),
                      (r["launches"], r["hostCallFailures"], r["log"]))
            run.check(f"{name}: nothing left referenced, the DLL can unload",
                      r["references"]["outstandingAtExit"] == 0
                      and all(r["references"]["addinsCanUnload"].values()), r["references"])

    # A failing Excel call inside the export: the export gives up without a
    # word, starts nothing and lets go of what it took.
    r = run.play("failedexport", dict(excel("A1:B2", {"A1": "h"}), faults=[
        {"member": "Areas", "occurrence": 1,
         "fail": {"hresult": "0x800A001B", "description": "Kein Papier"}}]))
    if r:
        run.check("failedexport: faulted, nothing failed back, shown, logged or started",
                  any(c["faulted"] for c in r["calls"])
                  and (r["hostCallFailures"], r["messageBoxes"], r["log"], r["launches"])
                  == ([], [], [], []), r)
        run.check("failedexport: nothing left referenced", r["references"]["outstandingAtExit"] == 0,
                  r["references"])

    # Turned down silently.
    for name, scenario in [("wholesheet", excel("A:XFD", {"A1": "h", "B1": "i", "A2": "x"})),
                           ("chartsheet", excel("A1:B2", {"A1": "h"}, kind="chart"))]:
        r = run.play(name, scenario)
        if r:
            run.check(f"{name}: nothing shown, nothing started",
                      r["messageBoxes"] == [] and r["launches"] == [] and r["hostCallFailures"] == [], r)

    # Two areas, lower one first; a gap of rows; a column between them.
    cells = {"A1": "Name", "C1": "Ort", "A2": "a2", "A3": "a3", "A4": "not selected",
             "A5": "a5", "C5": "c5", "B6": "b6"}
    r = run.play("areas", excel("A5:A6,A1:A3,C5:C5", cells))
    if r and r["launches"]:
        run.check("areas: rows of the areas, every column between",
                  data_of(r["launches"][0]) == utf16_file(
                      "Name\tB\tOrt", "a2\t\t", "a3\t\t", "a5\t\tc5", "\tb6\t"),
                  data_of(r["launches"][0]))

    # Whole columns down to the end of the filled run.
    cells = {f"C{n}": f"c{n}" for n in range(1, 5)}
    cells.update({"D1": "2003", "D2": " d2 ", "E3": "two\nlines"})
    r = run.play("columns", excel("C:E", cells))
    if r and r["launches"]:
        run.check("columns: header rules, blanks trimmed, line break kept",
                  data_of(r["launches"][0]) == utf16_file(
                      "c1\tF_2003\tC", "c2\td2\t", "c3\t\ttwo\nlines", "c4\t\t"),
                  data_of(r["launches"][0]))

    # Empty header cells past the 26th column run on past "Z".
    r = run.play("wide", excel("A1:AB2", {"A2": "x"}))
    if r and r["launches"]:
        header = data_of(r["launches"][0])[2:].decode("utf-16-le").split("\r\n")[0].split("\t")
        run.check("wide: letters run on past Z", header[25:] == ["Z", "[", "\\"], header)

    r = run.play("menu", excel("A1:B2", steps=[{"snapshot": "installed"}]))
    if r:
        menu = r["snapshots"]["installed"]["toolsMenu"]
        run.check("menu entry: caption, parameter, action, tag",
                  [(e["caption"], e["parameter"], e["onAction"], e["tag"], e["hasFace"]) for e in menu]
                  == [(TEXT["0922"], "EXCEL", "!<TorvaAddIn.TorvaExcelConnect>", "ZEBRO", True)], menu)
        run.check("menu entry: removed at shutdown", r["toolsMenu"] == [], r["toolsMenu"])
        run.check("no failed host call", r["hostCallFailures"] == [], r["hostCallFailures"])

    return run.result()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
