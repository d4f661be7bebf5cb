#!/usr/bin/env python3
"""The add-in in each host as Office 2016 shows it, end to end: the real
64-bit DLL in the emulated hosts under Wine at officeVersion "16.0".

- The markup passes the emulator's checks (its own XML reader), the button
  sits on the host's tab with the texts of Torva.Sys, German and English,
  and a 32x32 picture.
- A press of the ribbon button gives exactly the launch or notice that the
  toolbar button gives in the same scenario at "9.0".
- No command bar, button or menu entry; Access runs no timer; Word's
  NormalTemplate is never touched.
- Captions with &, <, " and Hebrew still give valid markup, shown exactly.
- Outlook: only the explorer gets markup, inspectors the empty string; at
  "12.0" (Outlook 2007) the explorer keeps the toolbar.

    check_ribbon.py BUILD-DIR WORK-DIR
"""
import os
import re
import shutil
import sys

from scenario_run import Run, decoded_table, string_table, windows

CUSTOM_UI_2009 = "http://schemas.microsoft.com/office/2009/07/customui"
INSPECTORS = ["Microsoft.Outlook.Mail.Read", "Microsoft.Outlook.Mail.Compose",
              "Microsoft.Outlook.Contact"]
ADDRESSES = {"A1": "Name", "B1": "Ort", "A2": "Berg", "B2": "Musterstadt"}
CONTACTS = {"stores": [{"name": "Persönliche Ordner", "folders": [
    {"name": "Kontakte", "defaultItemType": 2, "items": [
        {"kind": "contact", "FirstName": "Anna", "LastName": "Berg"},
        {"kind": "contact", "FirstName": "Jonas", "LastName": "Weber"}]}]}],
    "explorer": {"currentFolder": "Kontakte", "selection": [1]}}

# Per host: the ribbon ID Office passes, the button(s) as (id, tab, the
# group's insertAfterMso), caption and tooltip IDs, and the scenario's data.
HOSTS = {
    "Excel": ("Microsoft.Excel.Workbook", [("TorvaButton", "TabHome", "")], "0920", "0921",
              {"excel": {"activeSheet": {"kind": "worksheet", "name": "Kunden",
                                         "cells": ADDRESSES}, "selection": "A1:B2"}}),
    "Word": ("Microsoft.Word.Document",
             [("TorvaButton", "TabMailings", "GroupEnvelopeLabelCreate")], "0910", "0911", {}),
    "Access": ("Microsoft.Access.Database",
               [("TorvaButton", "TabExternalData", "GroupExport")], "0930", "0931",
               {"access": {"database": "C:\\data\\shop.accdb",
                           "currentObject": {"type": 1, "name": "Offene Posten"}}}),
    "Outlook": ("Microsoft.Outlook.Explorer",
                [("TorvaButtonContacts", "TabContacts", ""), ("TorvaButtonMail", "TabMail", "")],
                "0940", "0941", {"outlook": CONTACTS}),
}


def scenario(host, version, press, more=None):
    """HOST at VERSION: its data, the press (a ribbon button's id or "button"),
    for Outlook the dialog's answer and each inspector opened."""
    steps = [{"wait": 300}] if host == "Access" else []
    steps.append({"snapshot": "started"})
    if host == "Outlook":
        steps.append({"dialog": {"select": [0], "option": "private", "press": "OK"}})
    steps.append({"click": press if press == "button" else "ribbon:" + press})
    if host == "Outlook":
        steps += [{"openInspector": i} for i in INSPECTORS]
    return {"host": host, "officeVersion": version, **HOSTS[host][4], **(more or {})} | {
        "steps": steps}


def press_outcome(r):
    """What the press gave the user, free of the run's temp names: each launch
    (its program, folder, hand-off with the data file's name left out, and
    the data file's bytes) and each notice."""
    launches = [(l["executable"], l["directory"],
                 re.sub(r"(?m)^DBFILE=[^\r\n]+", "DBFILE=<export>", l["handoff"]),
                 l.get("dataFileBase64")) for l in r["launches"]]
    notices = [(b["title"], b["text"], b["style"]) for b in r["messageBoxes"]]
    return launches, notices, [(p["launches"], p["notices"]) for p in r["presses"]]


def nothing_installed(run, name, r):
    started = r["snapshots"]["started"]
    run.check(f"{name}: no command bar, button or menu entry, at start and at the end",
              started["commandBars"] == [] and r["commandBars"] == []
              and not any(e.get("tag") == "ZEBRO" for e in started["toolsMenu"] + r["toolsMenu"]),
              (started["commandBars"], started["toolsMenu"]))


def check_ribbon(run, name, host, r, table, toolbar_run):
    ribbon_id, buttons, caption, tooltip, _ = HOSTS[host]
    rb = r["ribbon"]
    run.check(f"{name}: the markup passes (2009/07 namespace), no error",
              rb["errors"] == [] and rb["xml"] and f'xmlns="{CUSTOM_UI_2009}"' in rb["xml"],
              (rb["errors"], rb["xml"]))
    want = [(i, tab, after, table["0900"], table[caption], table[tooltip], "large")
            for i, tab, after in buttons]
    got = [(b["id"], b["tab"], b["insertAfterMso"], b["groupLabel"], b["label"], b["supertip"],
            b["size"]) for b in rb["buttons"]]
    run.check(f"{name}: {len(want)} large button(s) on {[b[1] for b in buttons]}, group 0900, "
              f"label {caption}, supertip {tooltip}", got == want, (got, want))
    run.check(f"{name}: every image 32x32 (HIMETRIC at 96 DPI and the bitmap)",
              rb["buttons"] and all(
                  (b["image"]["width"], b["image"]["height"],
                   b["image"].get("bitmap", {}).get("width"),
                   b["image"].get("bitmap", {}).get("height")) == (32, 32, 32, 32)
                  for b in rb["buttons"]), [b["image"] for b in rb["buttons"]])
    run.check(f"{name}: onLoad called once, one press reached onAction",
              (rb["onLoad"], rb["onAction"]) == (1, 1), rb)
    nothing_installed(run, name, r)
    run.quiet(name, r, "messageBoxes")
    if host == "Access":
        run.check(f"{name}: no timer ticks (the toolbar's run counted {toolbar_run['timerTicks']})",
                  r["timerTicks"] == 0 and toolbar_run["timerTicks"] > 0,
                  (r["timerTicks"], toolbar_run["timerTicks"]))
    if host == "Word":
        touched = lambda rep: [c for c in rep["calls"] if c["member"] in ("NormalTemplate", "Saved")]
        run.check(f"{name}: NormalTemplate and its Saved never called (the toolbar's run made "
                  f"{len(touched(toolbar_run))} such calls)",
                  touched(r) == [] and touched(toolbar_run), touched(r))
    if host == "Outlook":
        answers = [(a["ribbonId"], bool(a["xml"])) for a in rb["answers"]]
        run.check(f"{name}: markup only for the explorer, the empty string for each inspector",
                  answers == [(ribbon_id, True)] + [(i, False) for i in INSPECTORS]
                  and all(a["xml"] == "" for a in rb["answers"][1:]), rb["answers"])
    else:
        run.check(f"{name}: asked once, for {ribbon_id}", rb["ribbonIds"] == [ribbon_id],
                  rb["ribbonIds"])


class FreshTemp(Run):
    """Each scenario with an empty temp folder of its own: the prefix's one
    fills up with the exports earlier runs left for the label application."""

    def play(self, name, scenario=None):
        folder = os.path.join(self.work, name + "-temp")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        return super().play(name, dict(scenario, tempFolder=windows(folder)))


def main(build, work):
    build, work = os.path.abspath(build), os.path.abspath(work)
    run = FreshTemp(build, work)
    german = decoded_table(os.path.join(build, "Torva.Sys"))
    english_path, english = string_table(work, "en.Sys", "en.txt")

    for host in HOSTS:
        first = HOSTS[host][1][0][0]
        toolbar_run = run.play(f"{host.lower()}-9", scenario(host, "9.0", "button"))
        r = run.play(f"{host.lower()}-16", scenario(host, "16.0", first))
        if not (toolbar_run and r):
            continue
        run.check(f"{host}-9: the toolbar's press launches or shows a notice",
                  len(toolbar_run["presses"]) == 1 and toolbar_run["ribbon"] is None, toolbar_run["presses"])
        check_ribbon(run, f"{host}-16", host, r, german, toolbar_run)
        run.check(f"{host}-16: the ribbon press gives exactly the toolbar's launch or notice",
                  press_outcome(r) == press_outcome(toolbar_run) and r["launches"],
                  (press_outcome(r), press_outcome(toolbar_run)))
        en = run.play(f"{host.lower()}-16-en",
                      scenario(host, "16.0", HOSTS[host][1][-1][0], {"stringTable": english_path}))
        if en:
            check_ribbon(run, f"{host}-16-en", host, en, english, toolbar_run)
            # The export's header is in the table's language: program, folder and hand-off.
            run.check(f"{host}-16-en: the last button launches as the toolbar does",
                      [l[:3] for l in press_outcome(en)[0]]
                      == [l[:3] for l in press_outcome(toolbar_run)[0]] and en["launches"],
                      press_outcome(en))

    # A notice, not a launch: Excel on a chart sheet.
    chart = {"excel": {"activeSheet": {"kind": "chart", "name": "Diagramm"}}}
    toolbar_run = run.play("excel-chart-9", scenario("Excel", "9.0", "button", chart)
                       | {"steps": [{"messageBox": "OK"}, {"click": "button"}]})
    r = run.play("excel-chart-16", scenario("Excel", "16.0", "TorvaButton", chart)
                 | {"steps": [{"messageBox": "OK"}, {"click": "ribbon:TorvaButton"}]})
    if toolbar_run and r:
        run.check("excel-chart-16: the ribbon press shows exactly the toolbar's notice 0924",
                  press_outcome(r) == press_outcome(toolbar_run)
                  and [b["text"] for b in r["messageBoxes"]] == [german["0924"]],
                  (press_outcome(r), press_outcome(toolbar_run)))

    # Access with no database yet: the Ribbon's button is there all the same
    # (the toolbar waits for a database), and its press asks for one.
    r = run.play("access-16-no-database", {"host": "Access", "officeVersion": "16.0",
                                           "access": {"database": None},
                                           "steps": [{"messageBox": "OK"},
                                                     {"click": "ribbon:TorvaButton"}]})
    if r:
        run.check("access-16-no-database: the press shows exactly the notice 0933, no launch",
                  [b["text"] for b in r["messageBoxes"]] == [german["0933"]]
                  and r["launches"] == [], (r["messageBoxes"], r["launches"]))

    # Texts that XML must escape, and Hebrew.
    texts = {"0900": 'Torva & Co <Plakora> "neu"', "0920": "Etiketten & <Adressen> \"neu\" 'x'",
             "0921": "שלום עולם & <כתובות> \"תוויות\""}
    path, table = string_table(work, "escaped.Sys", "de.txt", texts)
    r = run.play("excel-16-escaped", scenario("Excel", "16.0", "TorvaButton",
                                              {"stringTable": path}))
    if r:
        b = r["ribbon"]["buttons"]
        run.check("excel-16-escaped: valid markup; group, label and supertip show the texts exactly",
                  r["ribbon"]["errors"] == [] and [(x["groupLabel"], x["label"], x["supertip"])
                                                   for x in b]
                  == [(texts["0900"], texts["0920"], texts["0921"])], (r["ribbon"]["errors"], b))
        run.check("excel-16-escaped: the press still launches", len(r["launches"]) == 1,
                  r["launches"])

    # Excel 2007 knows only the 2006/01 namespace, and gets markup in it.
    r = run.play("excel-12", scenario("Excel", "12.0", "TorvaButton"))
    if r:
        rb = r["ribbon"]
        run.check("excel-12: markup in the 2006/01 namespace passes Office 2007's check; the "
                  "button launches",
                  rb["errors"] == [] and 'xmlns="http://schemas.microsoft.com/office/2006/01/'
                  'customui"' in (rb["xml"] or "") and [b["id"] for b in rb["buttons"]]
                  == ["TorvaButton"] and len(r["launches"]) == 1, (rb, r["launches"]))
        nothing_installed(run, "excel-12", r)

    # Outlook 2007: the explorer keeps its toolbar, the inspectors have a
    # Ribbon and get nothing.
    r = run.play("outlook-12", scenario("Outlook", "12.0", "button"))
    if r:
        bars = r["snapshots"]["started"]["commandBars"]
        run.check("outlook-12: the explorer keeps the toolbar with its button",
                  [c["caption"] for b in bars for c in b["controls"]] == [german["0940"]], bars)
        run.check("outlook-12: no explorer ribbon; the inspectors are asked and get the empty "
                  "string", r["ribbon"]["ribbonIds"] == INSPECTORS
                  and [a["xml"] for a in r["ribbon"]["answers"]] == ["", "", ""],
                  r["ribbon"])
        run.check("outlook-12: the toolbar's press launches", len(r["launches"]) == 1,
                  r["launches"])
        run.quiet("outlook-12", r)
    return run.result()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
