#!/usr/bin/env python3
"""Prints an Office emulator report for people: what the add-in put into the
host, what it showed, and each launch with its hand-off and data file."""
import base64
import json
import sys


def table(text):
    rows = [line.split("\t") for line in text.split("\r\n") if line != ""]
    widths = [max(len(r[i]) if i < len(r) else 0 for r in rows) for i in range(max(map(len, rows)))]
    for n, row in enumerate(rows):
        cells = [(row[i] if i < len(row) else "").ljust(widths[i]) for i in range(len(widths))]
        print("   | " + " | ".join(cells) + " |")
        if n == 0:
            print("   |" + "|".join("-" * (w + 2) for w in widths) + "|")


def main(path):
    report = json.load(open(path, encoding="utf-8"))
    # The command bars as they stood after start-up; at the end they are gone.
    shown = report.get("snapshots", {}).get("started", report)
    for bar in shown.get("commandBars", []):
        captions = ", ".join(f'"{c["caption"]}"' for c in bar.get("controls", []))
        print(f'   toolbar "{bar["name"]}" with {captions}')
    for entry in shown.get("toolsMenu", []):
        print(f'   Tools menu: "{entry["caption"]}", OnAction {entry["onAction"]}, Tag {entry["tag"]}')
    for box in report.get("messageBoxes", []):
        print(f'   message box "{box["title"]}": {box["text"]}')
    for dialog in report.get("dialogs", []):
        host = dialog.get("hostWindow", {})
        print(f'   dialog "{dialog["title"]}", {dialog["pressed"]}; host window '
              f'{"disabled" if host.get("disabledWhileShown") else "ENABLED"} while shown, '
              f'{"enabled" if host.get("enabledAfter") else "DISABLED"} after'
              + (f', second press {host["secondPress"]}' if host.get("secondPress") else ""))
    for failure in report.get("hostCallFailures", []):
        returned = f' (returned {failure["returned"]})' if "returned" in failure else ""
        print(f'   host call {failure["call"]} failed: {failure["hresult"]} '
              f'{failure["description"]}{returned}')
    launches = report.get("launches", [])
    if not launches:
        print("   (no launch)")
    for launch in launches:
        print(f'== plakora.exe started: {launch["executable"]} {launch["arguments"]}')
        print(f'   in {launch["directory"]}, with the hand-off file:')
        for line in launch["handoff"].splitlines():
            print("     " + line)
        data = launch.get("dataFileBase64")
        if data:
            raw = base64.b64decode(data)
            print(f'== export file {launch["dataFile"]} ({len(raw)} bytes, UTF-16LE, BOM {raw[:2].hex(" ").upper()}):')
            table(raw[2:].decode("utf-16-le"))
    print(f'   references outstanding at exit: {report["references"]["outstandingAtExit"]}')
    calls = report.get("calls", [])
    faulted = [f'{c["object"]}.{c["member"]}#{c["occurrence"]}' for c in calls if c["faulted"]]
    print(f'   {len(calls)} automation calls' + (f', faulted: {", ".join(faulted)}' if faulted else ""))


if __name__ == "__main__":
    main(sys.argv[1])
