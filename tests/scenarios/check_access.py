#!/usr/bin/env python3
"""Access end to end: the real 64-bit DLL in the emulated Access, its real
start-up timer driven by the emulator's message loop, and the stand-in's
record of the hand-off.

    check_access.py BUILD-DIR WORK-DIR
"""
import os
import sys

from scenario_run import Run, strings

HERE = os.path.dirname(os.path.abspath(__file__))
SCENARIOS = os.path.join(HERE, "access")
PROG_ID = "TorvaAddIn.TorvaAccessConnect"
TICK_MS = 50
TEXT = strings()


def installed(snapshot):
    """One toolbar with the one button, and the Access entry in Tools."""
    bars = snapshot["commandBars"]
    entries = [c for c in snapshot["toolsMenu"] if c.get("parameter") == "ACCESS"]
    return (len(bars) == 1 and len(bars[0]["controls"]) == 1 and bars[0]["visible"]
            and bars[0]["controls"][0]["caption"] == TEXT["0930"]
            and len(entries) == 1 and entries[0]["caption"] == TEXT["0932"]
            and entries[0]["onAction"] == f"!<{PROG_ID}>")


def nothing_shown(snapshot):
    return snapshot["commandBars"] == [] and not any(
        c.get("parameter") == "ACCESS" for c in snapshot["toolsMenu"])


def handoff(connect, sql):
    return ("[PLAKORA]\r\nRUNMODE=4\r\nDBFILE=C:\\data\\shop.accdb\r\n"
            f"DBCONNECT={connect}\r\nDBSQL={sql}\r\n")


def quiet(run, name, r):
    run.check(f"{name}: no host call failed", r["hostCallFailures"] == [], r["hostCallFailures"])
    run.check(f"{name}: nothing logged", r["log"] == [], r["log"])


def main(build, work):
    run = Run(build, work, SCENARIOS)

    # Started with a database: nothing before the first tick, all after it.
    start = run.play("open-at-start")
    idle = run.play("open-at-start-idle")
    if start and idle:
        run.check("open: connected",
                  [(a["progId"], a["connected"]) for a in start["addins"]] == [(PROG_ID, True)],
                  start["addins"])
        run.check("open: nothing before the timer ticks",
                  nothing_shown(start["snapshots"]["beforeTick"]), start["snapshots"]["beforeTick"])
        run.check("open: toolbar, button and menu entry after a wait",
                  installed(start["snapshots"]["installed"]), start["snapshots"]["installed"])
        run.check("open: installing asked CurrentDb once",
                  start["access"]["currentDbCalls"] == 1, start["access"])
        run.check("open: the timer stops (a longer wait calls Access no more)",
                  idle["automationCalls"] == start["automationCalls"]
                  and idle["access"] == start["access"],
                  (start["automationCalls"], idle["automationCalls"], idle["access"]))
        run.check("open: nothing left referenced",
                  idle["references"]["outstandingAtExit"] == 0, idle["references"])
        quiet(run, "open", idle)

    # Started empty: the database opens later, then everything appears.
    later = run.play("opened-later")
    if later:
        run.check("later: nothing while no database is open",
                  nothing_shown(later["snapshots"]["empty"]), later["snapshots"]["empty"])
        run.check("later: everything once it is open",
                  installed(later["snapshots"]["opened"]), later["snapshots"]["opened"])
        run.check("later: polled more than once", later["access"]["currentDbCalls"] > 1,
                  later["access"])
        # The waiting object is a live reference: COM must not unload the DLL under the timer.
        run.check("later: the DLL cannot unload while the timer waits",
                  later["snapshots"]["empty"]["addinsCanUnload"] == {PROG_ID: False},
                  later["snapshots"]["empty"])
        run.check("later: and can once Access let go of the add-in",
                  later["references"]["addinsCanUnload"] == {PROG_ID: True}, later["references"])
        quiet(run, "later", later)

    # A failing Access call in the click goes back to Access as the click's
    # failure: DISP_E_EXCEPTION with the error (27) and its description.
    failing = run.play("failed-click", {
        "host": "Access", "access": {"database": "C:\\data\\shop.accdb",
                                     "currentObject": {"type": 0, "name": "Orders"}},
        "faults": [{"member": "CurrentObjectType", "occurrence": 1,
                    "fail": {"hresult": "0x800A001B", "description": "Gerät nicht bereit"}}],
        "steps": [{"wait": 300}, {"click": "button"}]})
    if failing:
        run.check("failed click: Click failed with error 27 through DISP_E_EXCEPTION",
                  [(f["call"], f["hresult"], f.get("returned"), f["description"])
                   for f in failing["hostCallFailures"]]
                  == [("Click", "0x800A001B", "0x80020009", "Gerät nicht bereit")],
                  failing["hostCallFailures"])
        run.check("failed click: nothing started, nothing left referenced",
                  failing["launches"] == [] and failing["references"]["outstandingAtExit"] == 0,
                  (failing["launches"], failing["references"]))

    # A failed connection: its own entry, one entry from the first tick, then no more ticks.
    failed = run.play("failed-connection")
    if failed:
        log = [line.split(" ### ", 1)[-1] for line in failed["log"]]
        run.check("failed: the connection's entry, then one from the first tick",
                  len(log) == 2 and log[0].startswith("Access OnConnection_ERROR: ")
                  and log[1].startswith("Could not add Commandbars to Access: "), failed["log"])
        first, later_ = failed["snapshots"]["first"], failed["snapshots"]["later"]
        run.check("failed: the timer ticked, then stopped",
                  first["timerTicks"] >= 1 and later_["timerTicks"] == first["timerTicks"],
                  (first["timerTicks"], later_["timerTicks"]))
        run.check("failed: nothing installed, nothing failed back to Access",
                  nothing_shown(later_) and failed["hostCallFailures"] == [],
                  (later_, failed["hostCallFailures"]))
        run.check("failed: nothing left referenced, the DLL can unload",
                  failed["references"]["outstandingAtExit"] == 0
                  and failed["references"]["addinsCanUnload"] == {PROG_ID: True},
                  failed["references"])

    # Never opened: only CurrentDb per tick, from one timer despite two more starts.
    short, long_ = run.play("never-opened-short"), run.play("never-opened-long")
    if short and long_:
        polls = long_["access"]["currentDbCalls"] - short["access"]["currentDbCalls"]
        invokes = long_["automationCalls"]["invoke"] - short["automationCalls"]["invoke"]
        names = long_["automationCalls"]["getIDsOfNames"] - short["automationCalls"]["getIDsOfNames"]
        run.check("empty: the timer keeps polling", polls > 0, (short["access"], long_["access"]))
        run.check("empty: one Invoke per tick, CurrentDb, and no name lookups",
                  invokes == polls and names == 0, (polls, invokes, names))
        # Two timers would poll twice as often as one.
        most = 1300 // TICK_MS + 2
        run.check("empty: one timer for three starts",
                  0 < long_["access"]["currentDbCalls"] <= most, long_["access"])
        run.check("empty: no toolbar", long_["commandBars"] == [], long_["commandBars"])
        quiet(run, "empty", long_)

    # A later OnAddInsUpdate installs again: one toolbar, one button, a new entry.
    again = run.play("install-again")
    if again:
        run.check("again: first installation", installed(again["snapshots"]["first"]),
                  again["snapshots"]["first"])
        run.check("again: still one toolbar, one button, one entry",
                  installed(again["snapshots"]["again"]), again["snapshots"]["again"])
        run.check("again: asked CurrentDb once per installation and once by the click",
                  again["access"]["currentDbCalls"] == 2 + len(again["launches"]),
                  again["access"])
        run.check("again: the new entry is heard, once",
                  len(again["launches"]) == 1, again["launches"])
        quiet(run, "again", again)

    # The action: a table by button and by menu entry.
    table = run.play("table")
    if table:
        launches = table["launches"]
        run.check("table: two clicks, two launches", len(launches) == 2, launches)
        for n, launch in enumerate(launches):
            run.check(f"table: launch {n} hands over the table",
                      launch["handoff"] == handoff("TABLE Orders", "SELECT * FROM [Orders]"),
                      launch["handoff"])
        run.check("table: no notice", table["messageBoxes"] == [], table["messageBoxes"])
        quiet(run, "table", table)

    # A query whose name holds "]": put in unchanged.
    query = run.play("query-with-bracket")
    if query:
        launches = query["launches"]
        run.check("query: one launch", len(launches) == 1, launches)
        if launches:
            run.check("query: name passed unchanged",
                      launches[0]["handoff"] == handoff("QUERY Sales]2024 [Q1]",
                                                        "SELECT * FROM [Sales]2024 [Q1]]"),
                      launches[0]["handoff"])
        quiet(run, "query", query)

    # A form: the notice, no launch.
    form = run.play("form")
    if form:
        boxes = form["messageBoxes"]
        run.check("form: no launch", form["launches"] == [], form["launches"])
        run.check("form: the notice with its title",
                  len(boxes) == 1 and boxes[0]["text"] == TEXT["0934"]
                  and boxes[0]["title"] == TEXT["2300"] and boxes[0]["style"] == 64,
                  boxes)
        quiet(run, "form", form)

    return run.result() if run.passed else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
