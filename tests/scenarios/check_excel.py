#!/usr/bin/env python3
"""Excel end to end: the real DLL of the build (64- or 32-bit) in its emulated
Excel, the real export file and the stand-in's record of the launch.

    check_excel.py BUILD-DIR WORK-DIR
"""
import sys

from scenario_run import FOREIGN, PRESS_FOREIGN, Run, data_of, notice_text, strings, utf16_file


TEXT = strings()


def excel(selection, cells=None, kind="worksheet", steps=None):
    return {
        "host": "Excel",
        "excel": {"activeSheet": {"kind": kind, "name": "Sheet1", "cells": cells or {}},
                  "selection": selection},
        "steps": steps or [{"click": "button"}],
    }


def main(build, work):
    run = Run(build, work)

    # The block A1:B2, by button and by menu entry: the exact file, two
    # launches; another add-in's button pressed first starts none.
    block = excel("A1:B2", {"A1": "Name", "A2": "x"},
                  steps=PRESS_FOREIGN + [{"click": "button"}, {"click": "menu"}])
    r = run.play("block", dict(block, foreignControls=FOREIGN))
    if r:
        run.check_foreign("block", r, 2)
        for n, launch in enumerate(r["launches"]):
            run.check(f"block: launch {n} exact export bytes",
                      data_of(launch) == utf16_file("Name\tB", "x\t"), data_of(launch))
            lines = launch["handoff"].split("\r\n")
            run.check(f"block: launch {n} hand-off", lines[:5] == [
                "[PLAKORA]", "RUNMODE=3", "DBFILE=" + launch["dataFile"], "DBCONNECT=", "DBSQL="], lines)
        run.check("block: a fresh export path per click",
                  len({l["dataFile"] for l in r["launches"]}) == 2, r["launches"])
        # The export keeps Excel's objects until the next one, but not past the connection.
        run.quiet("block", r)

    # Selections turned down with the notice 0923 (with no workbook open the
    # selection is Nothing, no range either), and the ends that tell why the
    # export failed (the whole sheet, a chart sheet, a failing Excel call
    # inside the export) with their own notice and log entry; none starts
    # anything, each lets go of what it took.
    notice = [(TEXT["2300"], TEXT["0923"], 64)]
    paper = [{"member": "Areas", "occurrence": 1,
              "fail": {"hresult": "0x800A001B", "description": "Kein Papier"}}]
    past600 = "Excel export: the selection reaches past row 600: Subscript out of range"
    for name, scenario, boxes, log in [
            ("cell", excel("B5", {"A1": "h"}), notice, None),
            ("row", excel("A1:D1", {"A1": "h"}), notice, None),
            ("column", excel("A1:A10", {"A1": "h"}), notice, None),
            ("chart", excel({"kind": "chart"}, {"A1": "h"}), notice, None),
            ("noworkbook", {"host": "Excel", "excel": {"workbook": None},
                            "steps": [{"click": "button"}]}, notice, None),
            ("wholesheet", excel("A:XFD", {"A1": "h", "B1": "i", "A2": "x"}),
             [(TEXT["2300"], notice_text(TEXT, "0925", "600"), 64)], past600),
            ("chartsheet", excel("A1:B2", {"A1": "h"}, kind="chart"),
             [(TEXT["2300"], TEXT["0924"], 64)],
             "Excel export: the active sheet is not a worksheet: "),
            ("failedexport", dict(excel("A1:B2", {"A1": "h"}), faults=paper),
             [(TEXT["2300"], notice_text(TEXT, "0928", "Kein Papier"), 64)],
             "Excel export: Excel refused a call: Kein Papier")]:
        r = run.play(name, scenario)
        if r:
            run.check(f"{name}: the notice given",
                      [(b["title"], b["text"], b["style"]) for b in r["messageBoxes"]] == boxes,
                      r["messageBoxes"])
            run.check(f"{name}: nothing started", r["launches"] == [], r["launches"])
            if log:
                run.check(f"{name}: one log entry", len(r["log"]) == 1
                          and r["log"][0][20:].startswith("### " + log), r["log"])
            run.quiet(name, r, "messageBoxes", *(["log"] if log else []))
            if name == "failedexport":
                run.check("failedexport: the fault was hit", any(c["faulted"] for c in r["calls"]),
                          r["calls"])

    # Two areas, lower one first; a gap of rows; a column between them.
    # Whole columns down to the end of the filled run, header rules, blanks
    # trimmed, line break kept. Empty header cells past the 26th column run on past "Z".
    columns = {f"C{n}": f"c{n}" for n in range(1, 5)}
    columns.update({"D1": "2003", "D2": " d2 ", "E3": "two\nlines"})
    for name, scenario, lines in [
            ("areas", excel("A5:A6,A1:A3,C5:C5", {
                "A1": "Name", "C1": "Ort", "A2": "a2", "A3": "a3", "A4": "not selected",
                "A5": "a5", "C5": "c5", "B6": "b6"}),
             ["Name\tB\tOrt", "a2\t\t", "a3\t\t", "a5\t\tc5", "\tb6\t"]),
            ("columns", excel("C:E", columns),
             ["c1\tF_2003\tC", "c2\td2\t", "c3\t\ttwo\nlines", "c4\t\t"]),
            ("wide", excel("A1:AB2", {"A2": "x"}),
             ["\t".join([chr(65 + n) for n in range(26)] + ["[", "\\"]), "x" + "\t" * 27])]:
        r = run.play(name, scenario)
        if r:
            got = [data_of(l) for l in r["launches"]]
            run.check(f"{name}: the exported rows", got == [utf16_file(*lines)], got)

    # Narrow columns: postcodes and dates show only "#" and go out as a wide
    # column shows them, each through WorksheetFunction.Text; texts of "#"
    # stay, and so does a number that fits. Where Text fails, the cell's "#".
    narrow = excel("A1:E3", {
        "A1": "Name", "B1": "Kennung", "C1": "Wert", "D1": "PLZ", "E1": "Geburtstag",
        "A2": "Berg", "B2": "###", "C2": {"value": 12, "numberFormat": "0"},
        "D2": {"value": 80331, "numberFormat": "0"},
        "E2": {"value": "1980-01-05", "numberFormat": "dd.mm.yyyy"},
        "A3": "Roth", "B3": "#", "C3": {"value": 1234.5, "numberFormat": "#,##0"},
        "D3": {"value": 20095, "numberFormat": "0"},
        "E3": {"value": "1900-02-28", "numberFormat": "yyyy-mm-dd"}})
    narrow["excel"]["activeSheet"]["columnWidths"] = {"D": 4, "E": 6}
    head = "Name\tKennung\tWert\tPLZ\tGeburtstag"
    r = run.play("narrow", narrow)
    if r:
        got = [data_of(l) for l in r["launches"]]
        run.check("narrow: postcodes and dates as a wide column shows them, texts of # unchanged",
                  got == [utf16_file(head, "Berg\t###\t12\t80331\t05.01.1980",
                                     "Roth\t#\t1,235\t20095\t1900-02-28")], got)
        text_calls = [c for c in r["calls"] if (c["object"], c["member"]) == ("WorksheetFunction", "Text")]
        run.check("narrow: one WorksheetFunction.Text per cell showing only #, Value2 for the "
                  "texts of # too",
                  (len(text_calls), sum(c["member"] == "Value2" for c in r["calls"])) == (4, 6),
                  r["calls"])
        run.quiet("narrow", r)
        if text_calls:
            fail = {"hresult": "0x800A03EC", "description": "Kein Format"}
            failed = run.play("narrow-text-fails", dict(narrow, faults=[
                {"member": "Text", "occurrence": text_calls[0]["occurrence"], "fail": fail}]))
            if failed:
                got = [data_of(l) for l in failed["launches"]]
                run.check("narrow: Text refused, the cell goes out as it shows, the rest formatted",
                          got == [utf16_file(head, "Berg\t###\t12\t####\t05.01.1980",
                                             "Roth\t#\t1,235\t20095\t1900-02-28")], got)
                run.quiet("narrow-text-fails", failed)

    return run.result()

if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
