#!/usr/bin/env python3
"""Outlook end to end: the real DLL of the build (64- or 32-bit) in its
emulated Outlook, its real address-book dialog answered through the window's
own controls, the contact file it wrote and the stand-in's record of the
launch.

    check_outlook.py BUILD-DIR WORK-DIR
"""
import sys

from scenario_run import FOREIGN, PRESS_FOREIGN, Run, data_of, string_table, strings, utf16_file


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
MAIL = {"kind": "mail", "Subject": "Hallo"}
MAIL2 = {"kind": "mail", "Subject": "Termin"}
LEFT_OUT = "(I) Outlook export: entries left out that are neither contacts nor lists: "


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
    return utf16_file("\t".join(TEXT[str(i)] for i in ids),
                      *(contact_line(c, private) for c in contacts))


def launched_file(r):
    """The data file of the one launch, if the launch is right."""
    files = [launched_data(l) for l in r["launches"]]
    return files[0] if len(files) == 1 else None


def scenario(*steps, **more):
    """Outlook with the folders above, or MORE's own, answering the dialog
    and clicking as STEPS say."""
    return {"host": "Outlook", "outlook": outlook(), "steps": list(steps)} | more


def answer(*select, press="OK", **more):
    return {"dialog": ({"select": list(select)} if select else {}) | {"press": press} | more}


BUTTON, MENU = {"click": "button"}, {"click": "menu"}


def main(build, work):
    run = Run(build, work)
    folders = ["Kontakte", "Kunden"]

    # OK with business addresses: folder entry and selection entry marked.
    # Another add-in's button pressed first opens no dialog and starts nothing.
    r = run.play("business", scenario(
        *PRESS_FOREIGN, answer(0, 2, option="business"), BUTTON, foreignControls=FOREIGN))
    if r:
        run.check_foreign("business", r, 1)
        d = r["dialogs"]
        run.check("business: the top contact folders of the first store, then the selection",
                  [e["entries"] for e in d] == [folders + [TEXT["0962"]]], d)
        run.check("business: title, icon, business preset, all enabled, left to right",
                  [(e["title"], e["hasIcon"], e["businessChecked"], e["okEnabled"],
                    e["optionsEnabled"], e["rightToLeft"]) for e in d]
                  == [("Adressbuchauswahl", True, True, True, True, False)], d)
        run.check("business: launch with run mode 5 on the contact file: 13 columns, folder "
                  "contacts then the selected one, exact bytes",
                  launched_file(r) == contact_file([ANNA, JONAS, JONAS], private=False),
                  r["launches"])
        run.check("business: started in the add-in folder",
                  [l["directory"].endswith("scenario-addin") for l in r["launches"]] == [True],
                  r["launches"])
        run.quiet("business", r)

    # OK with private addresses, by the menu entry.
    r = run.play("private", scenario(answer(1, option="private"), MENU, foreignControls=FOREIGN))
    if r:
        run.check_foreign("private", r, 1, pressed=False)
        run.check("private: 10 columns, Outlook's no-date birthday, exact bytes",
                  launched_file(r) == contact_file([LEA], private=True), r["launches"])
        run.quiet("private", r)

    # No selection entry for a mail folder in the explorer, nor for an empty
    # selection; no contact folder at all: an empty list, OK and the options
    # disabled. A marked folder of nothing but mails fails the export, with
    # the notice that names the first. None of these launches.
    no_contacts = {"stores": [{"name": "Leer", "folders": [
        {"name": "Posteingang", "defaultItemType": 0, "items": [MAIL]}]}],
        "explorer": {"currentFolder": "Posteingang", "selection": []}}
    cancel = answer(press="Cancel")
    for name, setup, entries, enabled in [
            ("mail-folder", (cancel, outlook(explorer={"currentFolder": "Posteingang",
                                                       "selection": [0]})), folders, True),
            ("empty-selection", (cancel, outlook(selection=())), folders, True),
            ("empty-list", (cancel, no_contacts), [], False),
            ("only-mails", (answer(0), outlook(kontakte=(MAIL, MAIL2), selection=())),
             folders, True)]:
        r = run.play(name, scenario(setup[0], BUTTON, outlook=setup[1]))
        if r:
            run.check(f"{name}: the entries, the first marked, OK and the options enabled "
                      "as they can be used",
                      [(d["entries"], d["selectedAtOpen"], d["okEnabled"], d["optionsEnabled"],
                        d["pressed"]) for d in r["dialogs"]]
                      == [(entries, [0] if entries else [], enabled, enabled,
                           setup[0]["dialog"]["press"])], r["dialogs"])
            run.check(f"{name}: nothing launched", r["launches"] == [], r["launches"])
            if name == "only-mails":
                run.check(f"{name}: the notice names the first mail",
                          [b["text"] for b in r["messageBoxes"]]
                          == [TEXT["0944"].replace("%1", "Hallo")], r["messageBoxes"])
                run.check(f"{name}: one log entry", len(r["log"]) == 1 and r["log"][0][20:]
                          .startswith("### Outlook export: an entry is not a contact: Hallo: "),
                          r["log"])
                run.quiet(name, r, "messageBoxes", "log")
            else:
                run.quiet(name, r)

    # Cancel, then the close box, then OK: each click opens the dialog afresh.
    r = run.play("cancel-close-ok", scenario(
        {"clickWhileDialog": "button"}, answer(0, press="Cancel"), BUTTON,
        answer(0, press="close"), BUTTON, answer(1), BUTTON))
    if r:
        run.check("again: three dialogs, each answered as asked, opened afresh with the first "
                  "entry marked and business preset",
                  [(d["pressed"], d["answered"], d["businessChecked"], d["selectedAtOpen"])
                   for d in r["dialogs"]]
                  == [("Cancel", True, True, [0]), ("close", True, True, [0]),
                      ("OK", True, True, [0])], r["dialogs"])
        # Modal to Outlook: its window takes no press while the dialog is up,
        # and is enabled and active again however the dialog ends.
        run.check("again: Outlook's window disabled while shown, enabled and active after, "
                  "the second press through it blocked",
                  [(w["disabledWhileShown"], w["enabledAfter"], w["activeAfter"], w["secondPress"])
                   for w in (d["hostWindow"] for d in r["dialogs"])]
                  == [(True, True, True, "blocked"), (True, True, True, None),
                      (True, True, True, None)], [d["hostWindow"] for d in r["dialogs"]])
        run.check("again: only the OK launched, with the third dialog's choice",
                  launched_file(r) == contact_file([LEA], private=False), r["launches"])
        run.quiet("again", r)

    # "1002" True: the dialog and its controls read right to left.
    table, _ = string_table(work, "rtl.Sys", "en.txt", {"1002": "True"})
    r = run.play("right-to-left", scenario(cancel, BUTTON, stringTable=table))
    if r:
        run.check("rtl: the dialog reads right to left, in the table's language",
                  [(d["rightToLeft"], d["entries"]) for d in r["dialogs"]]
                  == [(True, folders + [strings("en.txt")["0962"]])], r["dialogs"])
        run.quiet("rtl", r)

    # A "1002" that is no truth value: loading fails, no dialog, the click fails.
    table, _ = string_table(work, "broken.Sys", "de.txt", {"1002": "Vielleicht"})
    r = run.play("broken-table", scenario(BUTTON, stringTable=table))
    if r:
        run.check("broken: no dialog, no launch", r["dialogs"] == [] and r["launches"] == [],
                  (r["dialogs"], r["launches"]))
        run.check("broken: the click does not fail back to Outlook", r["hostCallFailures"] == [],
                  r["hostCallFailures"])
        run.check("broken: the notice 2304 says what failed, the log too",
                  [b["text"].startswith(TEXT["2304"].replace("%1", "")) for b in r["messageBoxes"]]
                  == [True]
                  and [l[20:47] for l in r["log"]] == ["### Outlook action failed: "],
                  (r["messageBoxes"], r["log"]))

    # Outlook without an explorer while it starts: nothing installs and
    # nothing fails; a later installation finds the window; the shutdown
    # removes from it although ActiveExplorer gives Nothing then.
    o = outlook() | {"explorerAt": {"startup": False, "shutdown": False}}
    r = run.play("no-explorer", scenario({"snapshot": "started"}, {"addInsUpdate": True},
                                         {"snapshot": "installed"}, outlook=o))
    if r:
        run.check("no explorer: nothing installed at start, one toolbar and entry after",
                  [(len(r["snapshots"][s]["commandBars"]), len(r["snapshots"][s]["toolsMenu"]))
                   for s in ("started", "installed")] == [(0, 0), (1, 1)], r["snapshots"])
        run.check("no explorer: removed at shutdown", (r["commandBars"], r["toolsMenu"])
                  == ([], []), (r["commandBars"], r["toolsMenu"]))
        run.quiet("no explorer", r)

    explorers(run)
    distribution_lists(run)

    # Exchange online lets a client hold 250 items open: a folder of 2,000
    # contacts still exports whole, one item at a time.
    many = [{"kind": "contact", "FirstName": f"Vorname{n}", "LastName": f"Name{n}"}
            for n in range(2000)]
    o = outlook(kontakte=many, selection=()) | {"openItemLimit": 250}
    r = run.play("exchange-limit", scenario(answer(0), BUTTON, outlook=o))
    if r:
        data, want = launched_file(r), contact_file(many, private=False)
        run.check("exchange: all 2,000 contacts exported and launched", data == want,
                  (len(data or b""), len(want), r["hostCallFailures"]))
        run.quiet("exchange", r)

    return run.result()

def bars_by_explorer(snapshot):
    """(explorer, bar name, its controls' tags) and (explorer, entry tag)."""
    return ([(b["explorer"], b["name"], [c["tag"] for c in b["controls"]])
             for b in snapshot["commandBars"]],
            [(e["explorer"], e["tag"]) for e in snapshot["toolsMenu"]])


def explorers(run):
    """Every explorer window has the toolbar and the Tools entry; a press in
    one exports its selection, in its window; a closed one is let go; an
    Outlook started without a window installs into the first that opens."""
    o = outlook() | {"explorers": [{"currentFolder": "Kontakte", "selection": [1]},
                                   {"currentFolder": "Kunden", "selection": [0]}]}
    del o["explorer"]
    r = run.play("two-explorers", scenario(
        {"snapshot": "two"}, answer(2), {"click": "button", "explorer": 1},
        {"closeExplorer": 1}, {"snapshot": "closed"}, answer(2), MENU, outlook=o))
    if r:
        name = TEXT["0900"]
        run.check("two explorers: one toolbar with one button and one Tools entry in each, "
                  "each window's Tags its own",
                  bars_by_explorer(r["snapshots"]["two"])
                  == ([(0, name, ["ZEBRO.BUTTON"]), (1, name, ["ZEBRO.BUTTON.2"])],
                      [(0, "ZEBRO"), (1, "ZEBRO.2")]), r["snapshots"]["two"])
        run.check("two explorers: the press in the second runs once, with its selection (Lea), "
                  "its window owning the dialog; then the first's menu with Jonas",
                  [launched_data(l) for l in r["launches"]]
                  == [contact_file([LEA], False), contact_file([JONAS], False)]
                  and [p.get("explorer") for p in r["presses"]] == [1, 0]
                  and [d["owner"] for d in r["dialogs"]]
                  == [r["explorers"][1]["window"], r["explorers"][0]["window"]],
                  (r["launches"], r["presses"], r["dialogs"], r["explorers"]))
        run.check("two explorers: closed, the second is gone from the bars",
                  bars_by_explorer(r["snapshots"]["closed"])
                  == ([(0, name, ["ZEBRO.BUTTON"])], [(0, "ZEBRO")]), r["snapshots"]["closed"])
        run.check("two explorers: shutdown removes what is left", (r["commandBars"], r["toolsMenu"])
                  == ([], []), (r["commandBars"], r["toolsMenu"]))
        run.quiet("two explorers", r)

    o = outlook() | {"explorers": []}
    del o["explorer"]
    r = run.play("embedding", scenario(
        {"snapshot": "none"}, {"openExplorer": {"currentFolder": "Kontakte", "selection": [0]}},
        {"snapshot": "opened"}, answer(2), BUTTON, outlook=o))
    if r:
        run.check("embedding: nothing at start, the new window's toolbar and entry once it opens",
                  [bars_by_explorer(r["snapshots"][s]) for s in ("none", "opened")]
                  == [([], []), ([(0, TEXT["0900"], ["ZEBRO.BUTTON"])], [(0, "ZEBRO")])],
                  r["snapshots"])
        run.check("embedding: its button exports its selection (Anna)",
                  [launched_data(l) for l in r["launches"]] == [contact_file([ANNA], False)],
                  r["launches"])
        run.quiet("embedding", r)


def distribution_lists(run):
    """A list gives its members: each contact once (Anna is in a list inside
    the list and selected herself), a one-off address as name and e-mail."""
    team = {"kind": "distributionList", "DLName": "Team",
            "members": [{"contact": 0}, {"contact": 1},
                        {"name": "Zoe Paul", "address": "zoe@example.org"}]}
    everyone = {"kind": "distributionList", "DLName": "Alle",
                "members": [{"list": 2}, {"list": 3}, {"contact": 1}]}
    o = outlook(kontakte=(ANNA, JONAS, team, everyone, MAIL), selection=(3, 0))
    zoe = "\t\tZoe Paul\t" + "\t" * 9 + "zoe@example.org"
    r = run.play("lists", scenario(answer(2), BUTTON, answer(0), MENU, outlook=o))
    if r:
        want = contact_file([ANNA, JONAS], False) + (zoe + "\r\n").encode("utf-16-le")
        run.check("lists: the selection's list and Anna: Anna, Jonas, the one-off, once each; "
                  "the folder the same, its mail left out",
                  [launched_data(l) for l in r["launches"]] == [want, want], r["launches"])
        run.check("lists: the one mail left out, in the log", [l[20:] for l in r["log"]]
                  == [LEFT_OUT + "1"], r["log"])
        run.quiet("lists", r, "log")


def launched_data(launch):
    """The data file of a launch with run mode 5 on it."""
    ok = launch["handoff"] == (f"[PLAKORA]\r\nRUNMODE=5\r\nDBFILE={launch['dataFile']}"
                               "\r\nDBCONNECT=\r\nDBSQL=\r\n")
    return data_of(launch) if ok else None


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
