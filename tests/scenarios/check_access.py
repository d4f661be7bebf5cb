#!/usr/bin/env python3
"""Access end to end: the real DLL of the build (64- or 32-bit) in its emulated
Access, its real start-up timer driven by the emulator's message loop, and
the stand-in's record of the hand-off.

    check_access.py BUILD-DIR WORK-DIR
"""
import sys

from scenario_run import FOREIGN, PRESS_FOREIGN, Run, notice_text, strings

PROG_ID = "TorvaAddIn.TorvaAccessConnect"
TEXT = strings()
SHOP = "C:\\data\\shop.accdb"
ORDERS = {"type": 0, "name": "Orders"}


def access(*steps, current=ORDERS, **more):
    config = {"database": SHOP, "currentObject": current} | more.pop("access", {})
    return {"host": "Access", "access": config, "steps": list(steps), **more}


def wait(ms):
    return {"wait": ms}


def snap(name):
    return {"snapshot": name}


BUTTON, MENU, STARTS = {"click": "button"}, {"click": "menu"}, [
    {"addInsUpdate": True}, {"startupComplete": True}]


def installed(snapshot):
    """One toolbar with the one button, and the Access entry in Tools."""
    bars = snapshot["commandBars"]
    entries = [c for c in snapshot["toolsMenu"] if c.get("parameter") == "ACCESS"]
    return ([(b["visible"], c["caption"]) for b in bars for c in b["controls"]]
            == [(True, TEXT["0930"])]
            and [(e["caption"], e["onAction"]) for e in entries] == [(TEXT["0932"], f"!<{PROG_ID}>")])


def nothing_shown(snapshot):
    return snapshot["commandBars"] == [] and not any(
        c.get("parameter") == "ACCESS" for c in snapshot["toolsMenu"])


def handoff(connect, sql):
    return [f"[PLAKORA]\r\nRUNMODE=4\r\nDBFILE={SHOP}\r\nDBCONNECT={connect}\r\nDBSQL={sql}\r\n"]


def main(build, work):
    run = Run(build, work)

    # Started with a database: nothing before the first tick, all after it; a
    # later OnAddInsUpdate installs again: one toolbar, one button, a new entry.
    # A longer wait at the end calls Access no more, as the timer stopped.
    steps = (snap("beforeTick"), wait(300), snap("first"), {"addInsUpdate": True}, wait(300),
             snap("again"), MENU)
    again = run.play("install-again", access(*steps))
    idle = run.play("install-again-idle", access(*steps, wait(1000)))
    if again and idle:
        shots = again["snapshots"]
        run.check("open: nothing before the timer ticks, all after a wait; installed again, "
                  "still one toolbar, button and entry",
                  nothing_shown(shots["beforeTick"]) and installed(shots["first"])
                  and installed(shots["again"]), shots)
        run.check("again: the new entry is heard, once; CurrentDb asked once per installation "
                  "and once by the click",
                  len(again["launches"]) == 1 and again["access"]["currentDbCalls"] == 3,
                  (again["launches"], again["access"]))
        run.check("open: the timer stops",
                  (idle["automationCalls"], idle["access"])
                  == (again["automationCalls"], again["access"]),
                  (again["automationCalls"], idle["automationCalls"], idle["access"]))
        run.quiet("again", again)

    # Started empty: the database opens later, then everything appears.
    later = run.play("opened-later", access(wait(400), snap("empty"), wait(1300), snap("opened"),
                                            access={"openDatabaseAfterMs": 1200}))
    if later:
        empty = later["snapshots"]["empty"]
        run.check("later: nothing while no database is open, everything once it is, "
                  "polled more than once",
                  nothing_shown(empty) and installed(later["snapshots"]["opened"])
                  and later["access"]["currentDbCalls"] > 1, later)
        # The waiting object is a live reference: COM must not unload the DLL under the timer.
        run.check("later: the DLL cannot unload while the timer waits",
                  empty["addinsCanUnload"] == {PROG_ID: False}, empty)
        run.quiet("later", later)

    # A failing Access call in the click no longer goes back to Access: the
    # user gets the notice "2304" with its description, the log its entry.
    failing = run.play("failed-click", access(wait(300), BUTTON, faults=[
        {"member": "CurrentObjectType", "occurrence": 1,
         "fail": {"hresult": "0x800A001B", "description": "Gerät nicht bereit"}}]))
    if failing:
        run.check("failed click: the notice 2304 with the description",
                  [(b["title"], b["text"], b["style"]) for b in failing["messageBoxes"]]
                  == [(TEXT["2300"], notice_text(TEXT, "2304", "Gerät nicht bereit"), 64)],
                  failing["messageBoxes"])
        run.check("failed click: one log entry",
                  [l[20:] for l in failing["log"]] == ["### Access action failed: Gerät nicht bereit"],
                  failing["log"])
        run.check("failed click: nothing started", failing["launches"] == [], failing["launches"])
        run.quiet("failed click", failing, "messageBoxes", "log")

    # A failed connection: its own entry, one entry from the first tick, then no more ticks.
    failed = run.play("failed-connection", access(wait(400), snap("first"), wait(600),
                                                  snap("later"), wrongApplication=True))
    if failed:
        log = [line.split(" ### ", 1)[-1] for line in failed["log"]]
        run.check("failed: the connection's entry, then one from the first tick",
                  len(log) == 2 and log[0].startswith("Access OnConnection_ERROR: ")
                  and log[1].startswith("Could not add Commandbars to Access: "), failed["log"])
        first, last = failed["snapshots"]["first"], failed["snapshots"]["later"]
        run.check("failed: the timer ticked, then stopped, nothing installed",
                  first["timerTicks"] >= 1 and last["timerTicks"] == first["timerTicks"]
                  and nothing_shown(last), (first["timerTicks"], last))
        run.quiet("failed", failed, "log")

    # Never opened: only CurrentDb per tick, from one timer despite two more starts.
    short = run.play("never-opened-short", access(*STARTS, wait(300), access={"database": None}))
    long_ = run.play("never-opened-long", access(*STARTS, wait(1300), access={"database": None}))
    if short and long_:
        polls = long_["access"]["currentDbCalls"] - short["access"]["currentDbCalls"]
        invokes = long_["automationCalls"]["invoke"] - short["automationCalls"]["invoke"]
        names = long_["automationCalls"]["getIDsOfNames"] - short["automationCalls"]["getIDsOfNames"]
        run.check("empty: the timer keeps polling, one Invoke per tick, CurrentDb, no name lookups",
                  polls > 0 and invokes == polls and names == 0, (polls, invokes, names))
        # Two timers would poll twice as often as one ticking every 50 ms.
        run.check("empty: one timer for three starts",
                  long_["access"]["currentDbCalls"] <= 1300 // 50 + 2, long_["access"])
        run.check("empty: no toolbar", long_["commandBars"] == [], long_["commandBars"])
        run.quiet("empty", long_, "references")

    # The action: a table by button and by menu entry, after another add-in's
    # button that starts nothing; a query whose name holds "]", put in
    # unchanged; a form: the notice, no launch.
    table = run.play("table", access(wait(300), *PRESS_FOREIGN, BUTTON, MENU,
                                     foreignControls=FOREIGN))
    if table:
        run.check_foreign("table", table, 2)
    query = run.play("query-with-bracket", access(
        wait(300), BUTTON, current={"type": 1, "name": "Sales]2024 [Q1]"}))
    form = run.play("form", access(wait(300), {"messageBox": "OK"}, BUTTON,
                                   current={"type": 2, "name": "Customers"}))
    # Access as it opens a database: nothing selected, as the scenario says nothing.
    unselected = run.play("nothing-selected", {"host": "Access", "access": {"database": SHOP},
                                               "steps": [wait(300), {"messageBox": "OK"}, BUTTON]})
    for name, r, launches, boxes in [
            ("table", table, handoff("TABLE Orders", "SELECT * FROM [Orders]") * 2, []),
            ("query", query, handoff("QUERY Sales]2024 [Q1]", "SELECT * FROM [Sales]2024 [Q1]]"),
             []),
            ("form", form, [], [(TEXT["2300"], TEXT["0934"], 64)]),
            ("nothing selected", unselected, [], [(TEXT["2300"], TEXT["0934"], 64)])]:
        if r:
            run.check(f"{name}: the hand-offs", [l["handoff"] for l in r["launches"]] == launches,
                      r["launches"])
            run.check(f"{name}: the notice, if any",
                      [(b["title"], b["text"], b["style"]) for b in r["messageBoxes"]] == boxes,
                      r["messageBoxes"])
            run.quiet(name, r, "messageBoxes")

    return run.result() if run.passed else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
