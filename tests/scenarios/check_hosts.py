#!/usr/bin/env python3
"""The add-in in each of the four hosts: after start-up one toolbar with one
button and one Tools-menu entry, the same again after a second
OnAddInsUpdate, nothing after shutdown, no reference left and a DLL that can
unload; Word's clicks launch the stand-in with run mode 2.

    check_hosts.py BUILD-DIR WORK-DIR
"""
import sys

from scenario_run import FOREIGN, PRESS_FOREIGN, Run, strings

TEXT = strings()

# caption, tooltip and menu-entry IDs, and the entry's Parameter
HOSTS = {
    "Excel": ("0920", "0921", "0922", "EXCEL"),
    "Word": ("0910", "0911", "0912", "WORD"),
    "Access": ("0930", "0931", "0932", "ACCESS"),
    "Outlook": ("0940", "0941", "0942", "OUTLOOK"),
}


def scenario(host):
    # Access installs from its timer once a database is open.
    wait = [{"wait": 300}] if host == "Access" else []
    s = {"host": host, "steps": wait + [{"snapshot": "started"}, {"addInsUpdate": True}] + wait
         + [{"snapshot": "again"}]}
    if host == "Access":
        s["access"] = {"database": "C:\\data\\shop.accdb"}
    if host == "Word":
        s["foreignControls"] = FOREIGN
        s["steps"] += PRESS_FOREIGN + [{"click": "button"}, {"click": "menu"}]
    return s


def check_host(run, host, r):
    caption, tooltip, entry_caption, parameter = HOSTS[host]
    prog_id = f"TorvaAddIn.Torva{host}Connect"
    run.check(f"{host}: connected", [(a["progId"], a["connected"]) for a in r["addins"]]
              == [(prog_id, True)], r["addins"])
    started, again = r["snapshots"]["started"], r["snapshots"]["again"]
    bars = started["commandBars"]
    run.check(f"{host}: one visible toolbar named by 0900 with one button: caption, tooltip, "
              "style and face",
              [(b["name"], b["visible"], c["caption"], c["tooltip"], c["style"], c["hasFace"],
                c["visible"]) for b in bars for c in b["controls"]]
              == [(TEXT["0900"], True, TEXT[caption], TEXT[tooltip], 3, True, True)], bars)
    entries = [e for e in started["toolsMenu"] if e.get("tag") == "ZEBRO"]
    run.check(f"{host}: one Tools-menu entry with caption, Parameter, OnAction, Tag and face",
              [(e["caption"], e["parameter"], e["onAction"], e["hasFace"]) for e in entries]
              == [(TEXT[entry_caption], parameter, f"!<{prog_id}>", True)], started["toolsMenu"])
    run.check(f"{host}: installing again keeps the one toolbar and button and one menu entry",
              again["commandBars"] == bars
              and len([e for e in again["toolsMenu"] if e.get("tag") == "ZEBRO"]) == 1, again)
    run.check(f"{host}: nothing after shutdown",
              r["commandBars"] == [] and not any(e.get("tag") == "ZEBRO" for e in r["toolsMenu"]),
              (r["commandBars"], r["toolsMenu"]))
    run.check(f"{host}: only our add-in, and its DLL can unload",
              r["references"]["addinsCanUnload"] == {prog_id: True}, r["references"])
    run.quiet(host, r)


def main(build, work):
    run = Run(build, work)
    for host in HOSTS:
        r = run.play(host.lower(), scenario(host))
        if not r:
            continue
        check_host(run, host, r)
        if host == "Word":
            run.check_foreign("Word", r, 2)
            for n, launch in enumerate(r["launches"]):
                run.check(f"Word: launch {n} with run mode 2 and three empty values, "
                          "in the add-in folder",
                          launch["handoff"] == "[PLAKORA]\r\nRUNMODE=2\r\nDBFILE=\r\n"
                          "DBCONNECT=\r\nDBSQL=\r\n"
                          and launch["directory"].endswith("\\scenario-addin")
                          and launch["dataFileBase64"] is None, launch)
    # Word whose NormalTemplate is Nothing: each installation fails back to
    # Word with error 91, and Word keeps running to its shutdown.
    r = run.play("word-no-template", {
        "host": "Word", "faults": [{"member": "NormalTemplate", "occurrence": n, "nothing": True}
                                   for n in (1, 2)],
        "steps": [{"click": "button"}]})
    if r:
        run.check("Word without NormalTemplate: both installations fail back with error 91",
                  [(f["call"], f["hresult"]) for f in r["hostCallFailures"]]
                  == [("OnAddInsUpdate", "0x800A005B"), ("OnStartupComplete", "0x800A005B")],
                  r["hostCallFailures"])
        run.check("Word without NormalTemplate: still connected, the button still launches",
                  [a["connected"] for a in r["addins"]] == [True] and len(r["launches"]) == 1,
                  (r["addins"], r["launches"]))
        run.quiet("Word without NormalTemplate", r, "hostCallFailures")
    return run.result()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
