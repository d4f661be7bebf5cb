#!/usr/bin/env python3
"""Where the per-machine package puts the add-in, under Wine in a fresh prefix:
beside plakora.exe when Windows' App Paths registration of plakora.exe names
its folder; in Program Files without one, or when the folder it names does
not exist; in the folder given as INSTALLDIR whatever is registered. The
per-user package keeps its own folder. The registration is read in the
package's own registry view.

    check_plakora_folder.py BUILD-DIR SOURCE-DIR VERSION x64|x86
"""
import os
import shutil
import subprocess
import sys

from wine_checks import Prefix, check, finish, listing, winpath

APP_PATHS = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\plakora.exe"
PROGID = "TorvaAddIn.TorvaExcelConnect"


def reg_value(prefix, view, key):
    """The data of a key's default value, as `reg query` prints it, or None."""
    rc, text = prefix.run("reg", "query", key, "/ve", view)
    if rc != 0:
        return None
    for line in text.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[1].startswith("REG_"):
            return parts[2]
    return None


def registered_module(prefix, view):
    """Where the Excel connect class, registered for every user, says the DLL is."""
    classes = "HKLM\\Software\\Classes\\"
    clsid = reg_value(prefix, view, classes + PROGID + "\\CLSID")
    if not clsid:
        return None
    return reg_value(prefix, view, classes + "CLSID\\" + clsid + "\\InprocServer32")


def case(prefix, name, msi, folder, windows_folder, view, props, registration, per_machine,
         plakora_folder):
    """Registers App Paths as given (or not at all), installs MSI, expects the
    add-in's files in FOLDER beside what it held, and uninstalls."""
    prefix.run("reg", "delete", APP_PATHS, "/f", view)
    if registration:
        kind, data = registration
        rc, text = prefix.run("reg", "add", APP_PATHS, "/v", "Path", "/t", kind, "/d", data,
                              "/f", view)
        check(f"{name}: App Paths registration written", rc == 0, text)
        prefix.run("reg", "add", APP_PATHS, "/ve", "/d", data.rstrip("\\") + "\\plakora.exe",
                   "/f", view)
    before = listing(plakora_folder)
    kept = before if folder == plakora_folder else []
    rc, text = prefix.run("msiexec", "/i", winpath(msi), "/qn", *props)
    if check(f"{name}: msiexec /i /qn {' '.join(props)}", rc == 0, f"exit {rc}: {text}"):
        check(f"{name}: the add-in's files in {windows_folder}",
              listing(folder) == sorted(["Torva.Sys", "TorvaAddIn.dll", *kept]),
              f"{folder}: {listing(folder)}")
        if per_machine:
            module = registered_module(prefix, view)
            check(f"{name}: registered for every user at {windows_folder}",
                  module is not None and module.lower()
                  == (windows_folder.rstrip("\\") + "\\TorvaAddIn.dll").lower(), module)
        if folder != plakora_folder:
            check(f"{name}: nothing added beside plakora.exe", listing(plakora_folder) == before,
                  listing(plakora_folder))
    rc, text = prefix.run("msiexec", "/x", winpath(msi), "/qn")
    check(f"{name}: uninstalls, the folder keeps what it held before",
          rc == 0 and listing(folder) == kept,
          f"exit {rc}: {listing(folder)} {text}")


def main(build, source, version, arch):
    build, source = os.path.abspath(build), os.path.abspath(source)
    # A folder of its own: the other installer check empties its own at start.
    work = os.path.join(build, "plakora-folder-check")
    os.makedirs(work, exist_ok=True)
    msi = os.path.join(build, "packages", f"TorvaAddIn-{version}-{arch}") + "{}.msi"
    per_machine, per_user = msi.format("-permachine"), msi.format("")
    view = "/reg:64" if arch == "x64" else "/reg:32"

    # The registry view the package reads: the 64-bit one for x64, the
    # 32-bit one for x86 (Wine, like Windows, shares App Paths between the
    # two, so only the package's table can show which it asks for).
    r = subprocess.run(["msiinfo", "export", per_machine, "RegLocator"], stdout=subprocess.PIPE)
    rows = [l.split("\t") for l in r.stdout.decode().splitlines()]
    search = [row for row in rows if len(row) == 5 and row[0] == "PlakoraAppPath"]
    want = ["2", APP_PATHS[5:], "Path", "16" if arch == "x64" else "0"]
    check(f"the {arch} per-machine package looks for plakora.exe's folder in HKLM's "
          f"{'64' if arch == 'x64' else '32'}-bit view", [s[1:] for s in search] == [want], search)

    prefix = Prefix(source, os.path.join(work, "prefix"))
    label_app = prefix.drive("Programs", "Plakora 3")
    os.makedirs(label_app)
    shutil.copy(os.path.join(build, "tools", "plakora-standin", "plakora.exe"), label_app)
    program_files = "Program Files" if arch == "x64" else "Program Files (x86)"
    default = prefix.drive(program_files, "TorvaAddIn")
    default_win = f"C:\\{program_files}\\TorvaAddIn"
    plakora_3 = ("REG_SZ", "C:\\Programs\\Plakora 3")
    for name, msi, folder, windows_folder, props, registration in [
            ("App Paths names Plakora's folder", per_machine, label_app, "C:\\Programs\\Plakora 3",
             (), plakora_3),
            ("App Paths names it with a backslash, as an expandable text", per_machine, label_app,
             "C:\\Programs\\Plakora 3", (),
             ("REG_EXPAND_SZ", "%SystemDrive%\\Programs\\Plakora 3\\")),
            ("no App Paths registration", per_machine, default, default_win, (), None),
            ("App Paths names a folder that does not exist", per_machine, default, default_win, (),
             ("REG_SZ", "C:\\Programs\\Gone")),
            ("INSTALLDIR given, App Paths registered", per_machine, prefix.drive("Elsewhere"),
             "C:\\Elsewhere", ("INSTALLDIR=C:\\Elsewhere\\",), plakora_3),
            ("per user, App Paths registered", per_user,
             prefix.user_folder("AppData", "Local", "Programs", "TorvaAddIn"),
             "the user's Programs folder", (), plakora_3)]:
        case(prefix, name, msi, folder, windows_folder, view, props, registration,
             msi == per_machine, label_app)
    prefix.run("reg", "delete", APP_PATHS, "/f", view)
    return finish()


if __name__ == "__main__":
    if len(sys.argv) != 5:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
