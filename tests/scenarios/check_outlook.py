#!/usr/bin/env python3
"""Outlook end to end: the real 64-bit DLL in the emulated Outlook, its real
address-book dialog answered through the window's own controls, the contact
file it wrote and the stand-in's record of the launch.

    check_outlook.py BUILD-DIR WORK-DIR
"""
import base64
import importlib
import os
import sys

from scenario_run import ROOT, Run, strings

sys.path.insert(0, os.path.join(ROOT, "tools"))
encode_strings = importlib.import_module("encode-strings")


TEXT = strings()

ANNA = {"kind": "contact", "Title": "Dr.", "FirstName": "Anna", "LastName": "Berg",
        "Birthday": "1965-03-07", "CompanyName": "Nordwerk GmbH", "Department": "Einkauf",
        "BusinessAddressPostalCode": "12345", "BusinessAddressCity": "Musterstadt",
        "BusinessAddressStreet": "Hauptstraße 1\r\nHof 2", "BusinessTelephoneNumber": "030 1234",
        "HomeAddressPostalCode": "54321", "HomeAddressCity": "Beispielheim",
        "HomeAddressStreet": "Gartenweg 5", "HomeTelephoneNumber": "040 98",
        "MobileTelephoneNumber": "0170 1", "Email1Address": "anna@example.org"}
JONAS = {"kind": "contact", "FirstName": "Jonas", "LastName": "Weber", "Birthday": "1980-01-05"}
LEA = {"kind": "contact", "FirstName": "Lea", "LastName": "Kraus"}  # no birthday
LIST = {"kind": "distributionList", "DLName": "Team"}
MAIL = {"kind": "mail", "Subject": "Hallo"}


def outlook(explorer=None, kontakte=(ANNA, JONAS), selection=(1,)):
    """Two contact folders and a mail folder at the top of the first store, a
    subfolder and a second store that the dialog must not list."""
    if explorer is None:
        explorer = {"currentFolder": "Kontakte", "selection": list(selection)}
    return {
        "stores": [
            {"name": "Persönliche Ordner", "folders": [
                {"name": "Kontakte", "defaultItemType": 2, "items": list(kontakte),
                 "folders": [{"name": "Unterordner", "defaultItemType": 2, "items": [LEA]}]},
                {"name": "Posteingang", "defaultItemType": 0, "items": [MAIL]},
                {"name": "Kunden", "defaultItemType": 2, "items": [LEA]}]},
            {"name": "Archiv", "folders": [
                {"name": "Alte Kontakte", "defaultItemType": 2, "items": [JONAS]}]}],
        "explorer": explorer,
    }


def contact_line(c, private):
    date = c.get("Birthday", "4501-01-01").split("-")
    fields = [c.get("Title", ""), c.get("FirstName", ""), c.get("LastName", ""),
              f"{date[2]}.{date[1]}.{date[0]}"]
    names = (["HomeAddressPostalCode", "HomeAddressCity", "HomeAddressStreet",
              "HomeTelephoneNumber", "MobileTelephoneNumber", "Email1Address"] if private else
             ["CompanyName", "Department", "BusinessAddressPostalCode", "BusinessAddressCity",
              "BusinessAddressStreet", "BusinessTelephoneNumber", "BusinessFaxNumber",
              "MobileTelephoneNumber", "Email1Address"])
    return "\t".join(fields + [c.get(n, "") for n in names])


def contact_file(contacts, private):
    ids = list(range(5100, 5104)) + (list(range(5110, 5116)) if private else
                                     list(range(5120, 5129)))
    lines = ["\t".join(TEXT[str(i)] for i in ids)] + [contact_line(c, private) for c in contacts]
    return b"\xff\xfe" + "".join(line + "\r\n" for line in lines).encode("utf-16-le")


def string_table(work, name, source, changes):
    """An encoded string table: a shipped source with some lines replaced."""
    lines = []
    for line in open(os.path.join(ROOT, "resources/strings", source), encoding="utf-8"):
        key = line[:4]
        lines.append(f"{key} {changes[key]}\n" if key in changes else line)
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(encode_strings.encode("".join(lines).encode("utf-8")))
    return path


def launched_file(r):
    """The data file of the one launch, if the launch is right."""
    if len(r["launches"]) != 1:
        return None
    launch = r["launches"][0]
    handoff = ("[PLAKORA]\r\nRUNMODE=5\r\nDBFILE=" + launch["dataFile"]
               + "\r\nDBCONNECT=\r\nDBSQL=\r\n")
    if launch["handoff"] != handoff or launch["dataFileBase64"] is None:
        return None
    return base64.b64decode(launch["dataFileBase64"])


def quiet(run, name, r):
    run.check(f"{name}: no host call failed", r["hostCallFailures"] == [], r["hostCallFailures"])
    run.check(f"{name}: no message box, nothing logged",
              r["messageBoxes"] == [] and r["log"] == [], (r["messageBoxes"], r["log"]))
    run.check(f"{name}: nothing left referenced", r["references"]["outstandingAtExit"] == 0,
              r["references"])


def main(build, work):
    run = Run(build, work)
    selected = TEXT["0962"]

    # OK with business addresses: folder entry and selection entry marked.
    r = run.play("business", {
        "host": "Outlook", "outlook": outlook(),
        "steps": [{"dialog": {"select": [0, 2], "option": "business", "press": "OK"}},
                  {"click": "button"}]})
    if r:
        d = r["dialogs"]
        run.check("business: the top contact folders of the first store, then the selection",
                  len(d) == 1 and d[0]["entries"] == ["Kontakte", "Kunden", selected], d)
        run.check("business: title, icon, business preset, all enabled, left to right",
                  d and d[0]["title"] == "Adressbuchauswahl" and d[0]["hasIcon"]
                  and d[0]["businessChecked"]
                  and d[0]["okEnabled"] and d[0]["optionsEnabled"] and not d[0]["rightToLeft"], d)
        data = launched_file(r)
        want = contact_file([ANNA, JONAS, JONAS], private=False)
        run.check("business: launch with run mode 5 on the contact file", data is not None,
                  r["launches"])
        run.check("business: 13 columns, folder contacts then the selected one, exact bytes",
                  data == want, (data, want))
        run.check("business: started in the add-in folder",
                  r["launches"] and r["launches"][0]["directory"].endswith("scenario-addin"),
                  r["launches"])
        quiet(run, "business", r)

    # OK with private addresses, by the menu entry.
    r = run.play("private", {
        "host": "Outlook", "outlook": outlook(),
        "steps": [{"dialog": {"select": [1], "option": "private", "press": "OK"}},
                  {"click": "menu"}]})
    if r:
        data = launched_file(r)
        want = contact_file([LEA], private=True)
        run.check("private: 10 columns, Outlook's no-date birthday, exact bytes", data == want,
                  (data, want))
        quiet(run, "private", r)

    # No selection entry for a mail folder in the explorer, nor for an empty selection.
    for name, explorer in (("mail-folder", {"currentFolder": "Posteingang", "selection": [0]}),
                           ("empty-selection", {"currentFolder": "Kontakte", "selection": []})):
        r = run.play(name, {
            "host": "Outlook", "outlook": outlook(explorer=explorer),
            "steps": [{"dialog": {"press": "Cancel"}}, {"click": "button"}]})
        if r:
            run.check(f"{name}: folders only",
                      [d["entries"] for d in r["dialogs"]] == [["Kontakte", "Kunden"]],
                      r["dialogs"])
            run.check(f"{name}: Cancel launches nothing", r["launches"] == [], r["launches"])

    # No contact folder at all: an empty list, OK and the options disabled.
    r = run.play("empty-list", {
        "host": "Outlook",
        "outlook": {"stores": [{"name": "Leer", "folders": [
            {"name": "Posteingang", "defaultItemType": 0, "items": [MAIL]}]}],
            "explorer": {"currentFolder": "Posteingang", "selection": []}},
        "steps": [{"dialog": {"press": "Cancel"}}, {"click": "button"}]})
    if r:
        d = r["dialogs"]
        run.check("empty: no entries, none marked, OK and both options disabled",
                  len(d) == 1 and d[0]["entries"] == [] and d[0]["selectedAtOpen"] == []
                  and not d[0]["okEnabled"]
                  and not d[0]["optionsEnabled"], d)
        run.check("empty: nothing launched", r["launches"] == [], r["launches"])
        quiet(run, "empty", r)

    # Cancel, then the close box, then OK: each click opens the dialog afresh.
    r = run.play("cancel-close-ok", {
        "host": "Outlook", "outlook": outlook(),
        "steps": [{"clickWhileDialog": "button"},
                  {"dialog": {"select": [0], "press": "Cancel"}}, {"click": "button"},
                  {"dialog": {"select": [0], "press": "close"}}, {"click": "button"},
                  {"dialog": {"select": [1], "press": "OK"}}, {"click": "button"}]})
    if r:
        run.check("again: three dialogs, each answered as asked",
                  [(d["pressed"], d["answered"]) for d in r["dialogs"]]
                  == [("Cancel", True), ("close", True), ("OK", True)], r["dialogs"])
        run.check("again: each opened afresh, first entry marked and business preset",
                  all(d["businessChecked"] and d["selectedAtOpen"] == [0] for d in r["dialogs"]),
                  r["dialogs"])
        # Modal to Outlook: its window takes no press while the dialog is up,
        # and is enabled and active again however the dialog ends.
        run.check("again: Outlook's window disabled while shown, enabled and active after",
                  [(d["hostWindow"]["disabledWhileShown"], d["hostWindow"]["enabledAfter"],
                    d["hostWindow"]["activeAfter"]) for d in r["dialogs"]]
                  == [(True, True, True)] * 3, [d["hostWindow"] for d in r["dialogs"]])
        run.check("again: the second press through Outlook's window did not get through",
                  [d["hostWindow"]["secondPress"] for d in r["dialogs"]]
                  == ["blocked", None, None], [d["hostWindow"] for d in r["dialogs"]])
        run.check("again: only the OK launched, with the third dialog's choice",
                  launched_file(r) == contact_file([LEA], private=False), r["launches"])
        quiet(run, "again", r)

    # A distribution list in a marked folder fails the export: nothing launched.
    r = run.play("distribution-list", {
        "host": "Outlook", "outlook": outlook(kontakte=(ANNA, LIST, JONAS)),
        "steps": [{"dialog": {"select": [0], "press": "OK"}}, {"click": "button"}]})
    if r:
        run.check("list: the dialog was answered with OK",
                  [d["pressed"] for d in r["dialogs"]] == ["OK"], r["dialogs"])
        run.check("list: nothing launched", r["launches"] == [], r["launches"])
        quiet(run, "list", r)

    # "1002" True: the dialog and its controls read right to left.
    table = string_table(work, "rtl.Sys", "en.txt", {"1002": "True"})
    r = run.play("right-to-left", {
        "host": "Outlook", "stringTable": table, "outlook": outlook(),
        "steps": [{"dialog": {"press": "Cancel"}}, {"click": "button"}]})
    if r:
        d = r["dialogs"]
        run.check("rtl: the dialog reads right to left, in the table's language",
                  len(d) == 1 and d[0]["rightToLeft"]
                  and d[0]["entries"] == ["Kontakte", "Kunden", strings("en.txt")["0962"]], d)
        quiet(run, "rtl", r)

    # A "1002" that is no truth value: loading fails, no dialog, the click fails.
    table = string_table(work, "broken.Sys", "de.txt", {"1002": "Vielleicht"})
    r = run.play("broken-table", {
        "host": "Outlook", "stringTable": table, "outlook": outlook(),
        "steps": [{"click": "button"}]})
    if r:
        run.check("broken: no dialog, no launch", r["dialogs"] == [] and r["launches"] == [],
                  (r["dialogs"], r["launches"]))
        run.check("broken: the click fails back to Outlook through DISP_E_EXCEPTION",
                  [(f["call"], f.get("returned")) for f in r["hostCallFailures"]]
                  == [("Click", "0x80020009")], r["hostCallFailures"])

    # Outlook without an explorer while it starts: both installations fail
    # back to Outlook; a later one installs; a shutdown without an explorer
    # takes away what it can without a word.
    o = outlook()
    o["explorerAt"] = {"startup": False, "shutdown": False}
    r = run.play("no-explorer", {"host": "Outlook", "outlook": o,
                                 "steps": [{"addInsUpdate": True}, {"snapshot": "installed"}]})
    if r:
        run.check("no explorer: both start-up installations fail back with error 91",
                  [(f["call"], f["hresult"]) for f in r["hostCallFailures"]]
                  == [("OnAddInsUpdate", "0x800A005B"), ("OnStartupComplete", "0x800A005B")],
                  r["hostCallFailures"])
        run.check("no explorer: installed once the explorer is there",
                  len(r["snapshots"]["installed"]["commandBars"]) == 1,
                  r["snapshots"]["installed"])
        run.check("no explorer: shutdown fails nothing back, logs nothing, leaves nothing held",
                  r["log"] == [] and r["references"]["outstandingAtExit"] == 0
                  and all(r["references"]["addinsCanUnload"].values()), r)

    # Exchange online lets a client hold 250 items open: a folder of 2,000
    # contacts still exports whole, one item at a time.
    many = [{"kind": "contact", "FirstName": f"Vorname{n}", "LastName": f"Name{n}"}
            for n in range(2000)]
    o = outlook(kontakte=many, selection=())
    o["openItemLimit"] = 250
    r = run.play("exchange-limit", {
        "host": "Outlook", "outlook": o,
        "steps": [{"dialog": {"select": [0], "press": "OK"}}, {"click": "button"}]})
    if r:
        data = launched_file(r)
        want = contact_file(many, private=False)
        run.check("exchange: all 2,000 contacts exported and launched", data == want,
                  (len(data or b""), len(want), r["hostCallFailures"]))
        quiet(run, "exchange", r)

    return run.result()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
