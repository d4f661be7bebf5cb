#!/usr/bin/env python3
"""The installer packages of one bitness under Wine, in a fresh prefix, per
user into the default folder and per machine into the label application's
folder: the files where the README says, the registry exactly as regsvr32 of
the same DLL writes it, the emulated Excel of the same bitness loads the
installed add-in, uninstalling leaves nothing of the package. Then upgrades
into the default per-machine folder: N then N+1 leaves one product, N+1; N
again is refused with the package's message. The x86 packages go through the
32-bit msiexec and regsvr32 (TORVA_WINE_BITS=32, as ctest sets it), per
machine into Program Files (x86) and the 32-bit registry view.

    check_installer.py BUILD-DIR SOURCE-DIR VERSION x64|x86
"""
import json
import os
import shutil
import subprocess
import sys

from wine_checks import Prefix, check, excel_demo_ran, finish, listing, read, winpath


BITS = {"x64": "64-bit", "x86": "32-bit"}
PROGRAM_FILES = {"x64": "Program Files", "x86": "Program Files (x86)"}
MACHINE_SOFTWARE = {"x64": "hklm\\software", "x86": "hklm\\software\\wow6432node"}


# Not the package's: msiexec's own records of what it installed, the network
# cards that Wine registers once a program first asks for them, and Wine's own
# settings (its debugger adds a key when any process of the prefix crashed;
# run() reports such a crash).
NOT_OURS = ("hkcu\\software\\wine", "hkcu\\software\\microsoft\\installer",
            "hklm\\software\\classes\\installer",
            "hklm\\software\\microsoft\\windows\\currentversion\\installer") + tuple(
    f"{view}\\microsoft\\{key}" for view in MACHINE_SOFTWARE.values()
    for key in ("windows\\currentversion\\uninstall\\{", "windows nt\\currentversion\\networkcards"))


def bookkeeping(key):
    return any(key == b or key.startswith(b if b.endswith("{") else b + "\\")
               for b in NOT_OURS)


def added(before, after, map_key=lambda k: k):
    """Keys and values in `after` that `before` does not hold, or holds with other data."""
    return ({map_key(k) for k in after[0] if k not in before[0] and not bookkeeping(k)},
            {(map_key(k[0]), k[1]): v for k, v in after[1].items()
             if before[1].get(k) != v and not bookkeeping(k[0])})


def text_of(value):
    return bytes.fromhex(value[1]).decode("utf-16-le").rstrip("\0")


def compare_rows(name, package, regsvr32):
    """The package's registry, value by value, against what regsvr32 wrote."""
    check(f"{name}: the package registers the add-in", len(package[1]) > 40,
          f"{len(package[1])} values")
    problems = [f"{k[0]} [{k[1]}]: package {package[1].get(k)}, regsvr32 {regsvr32[1].get(k)}"
                for k in sorted(package[1].keys() | regsvr32[1].keys())
                if package[1].get(k) != regsvr32[1].get(k)]
    problems += [f"key {k} only in the {'package' if k in package[0] else 'regsvr32'} view"
                 for k in sorted(package[0] ^ regsvr32[0])]
    check(f"{name}: registry equals regsvr32's, value by value ({len(package[1])} values)",
          not problems, "\n  " + "\n  ".join(problems[:20]))


def leftovers(name, prefix, registry_before, files_before):
    """Nothing of the package after uninstalling: no value, key, file or folder."""
    after = prefix.registry()
    keys, values = added(registry_before, after)
    check(f"{name}: no registry value or key left", not keys and not values,
          sorted(keys)[:10] + sorted(values)[:10])
    # msiexec keeps its package cache folder; the add-in's export and hand-off
    # files in the user's temporary folder are the add-in's work, not the package's.
    temp = os.path.relpath(prefix.user_folder("temp"), prefix.drive()).lower() + os.sep
    new_files = sorted(f for f in prefix.files() - files_before
                       if f != os.path.join("windows", "installer") and not f.startswith(temp))
    check(f"{name}: no file or folder left", not new_files, new_files)
    return after


def install(prefix, msi, *props, log=None):
    return prefix.run("msiexec", "/i", winpath(msi), "/qn", *props,
                      *(("/l*v", winpath(log)) if log else ()))


def same_bytes(folder, *paths):
    return all(read(os.path.join(folder, os.path.basename(p))) == read(p) for p in paths)


def in_folder(prefix, build, source, work, name, msi, folder, props=(), others=(), regsvr32=(),
              map_key=lambda k: k):
    """Installs MSI into FOLDER (holding OTHERS before), plays the demo in
    Excel, uninstalls, and compares the package's registry with what
    regsvr32 REGSVR32 writes for the same DLL at the same place, its keys
    moved by MAP_KEY."""
    dll, strings = os.path.join(build, "TorvaAddIn.dll"), os.path.join(build, "Torva.Sys")
    reg0, files0 = prefix.registry(), prefix.files()
    rc, text = install(prefix, msi, *props)
    if not check(f"{name}: msiexec /i /qn {' '.join(props)}", rc == 0,
                 f"exit {rc}: {text}"):
        return
    check(f"{name}: the DLL and string table that the build made, in {folder}",
          listing(folder) == sorted(["Torva.Sys", "TorvaAddIn.dll", *map(os.path.basename, others)])
          and same_bytes(folder, dll, strings, *others), listing(folder))
    # Compared with regsvr32's below: a value outside the hive or the view
    # of the package's bitness would be one regsvr32 does not write.
    package = added(reg0, prefix.registry())

    report = os.path.join(work, name + ".report.json")
    emulator = os.path.join(build, "tools", "office-emulator", "emulator", "office-emulator.exe")
    rc, text = prefix.run(emulator, winpath(os.path.join(source, "demo", "excel.json")),
                          "--report", winpath(report))
    if check(f"{name}: the emulated Excel ran the demo", rc == 0 and os.path.exists(report),
             f"exit {rc}: {text[-2000:]}"):
        r = json.load(open(report, encoding="utf-8"))
        check(f"{name}: Excel found the installed add-in through the registry, which installed "
              "its toolbar with its button, let go and could unload", excel_demo_ran(r), r)
        # The click starts a plakora.exe beside the add-in, with the export.
        check(f"{name}: the click started plakora.exe if it is there",
              [l["handoff"].split("\r\n")[:2] for l in r["launches"]]
              == [["[PLAKORA]", "RUNMODE=3"]] * len(others), r["launches"])

    rc, text = prefix.run("msiexec", "/x", winpath(msi), "/qn")
    check(f"{name}: msiexec /x /qn", rc == 0, f"exit {rc}: {text}")
    if others:
        check(f"{name}: what was in the folder before stays, the add-in's files go",
              listing(folder) == sorted(map(os.path.basename, others))
              and same_bytes(folder, *others), listing(folder))
    reg2 = leftovers(name, prefix, reg0, files0)

    os.makedirs(folder, exist_ok=True)
    shutil.copy(dll, folder)
    windll = "C:\\" + os.path.relpath(folder, prefix.drive()).replace("/", "\\") + "\\TorvaAddIn.dll"
    rc, text = prefix.run("regsvr32", "/s", *regsvr32, windll)
    check(f"{name}: regsvr32 {' '.join(regsvr32)}", rc == 0, text)
    compare_rows(name, package, added(reg2, prefix.registry(), map_key))
    prefix.run("regsvr32", "/s", "/u", *regsvr32, windll)
    shutil.rmtree(folder)
    # Unregistering keeps the Office keys that other add-ins share: a fresh
    # start for the next check.
    prefix.run("reg", "delete", "HKCU\\Software\\Microsoft\\Office", "/f")


def products(prefix, display_name, arch):
    """The DisplayVersion of each uninstall entry of the product called display_name."""
    root = MACHINE_SOFTWARE[arch] + "\\microsoft\\windows\\currentversion\\uninstall\\"
    values = prefix.registry("HKLM" + root[4:-1])[1]
    return sorted(text_of(values[(key, "displayversion")]) for (key, name), v in values.items()
                  if key.startswith(root) and name == "displayname" and text_of(v) == display_name)


def upgrades(prefix, build, source, work, dll, strings, arch):
    name, folder = "upgrade", PROGRAM_FILES[arch]
    rows = os.path.join(build, "resources", "installer", "machine")
    msis = {}
    for version in ("100.0.1", "100.0.2"):
        msis[version] = os.path.join(work, f"TorvaAddIn-{version}-{arch}-permachine.msi")
        r = subprocess.run([os.path.join(source, "resources", "installer", "build-msi"),
                            msis[version], arch, "machine", version, dll, strings, rows],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        check(f"{name}: package {version} builds without a warning", r.returncode == 0,
              r.stdout.decode())
    product = f"Torva Plakora 3.0 Startmodul ({BITS[arch]})"
    reg0, files0 = prefix.registry(), prefix.files()
    rc, text = install(prefix, msis["100.0.1"])
    check(f"{name}: N installs, the files in C:\\{folder}\\TorvaAddIn",
          rc == 0 and listing(prefix.drive(folder, "TorvaAddIn")) == ["Torva.Sys", "TorvaAddIn.dll"],
          (rc, text, listing(prefix.drive("Program Files")),
           listing(prefix.drive("Program Files (x86)"))))
    rc, text = install(prefix, msis["100.0.2"])
    check(f"{name}: N+1 installs over N", rc == 0, f"exit {rc}: {text}")
    found = products(prefix, product, arch)
    check(f"{name}: one product left, N+1", found == ["100.0.2"], found)
    log = os.path.join(work, "downgrade.log")
    rc, text = install(prefix, msis["100.0.1"], log=log)
    # 1603, as Wine reports exit codes: modulo 256.
    check(f"{name}: N again is refused", rc == 1603 % 256, f"exit {rc}")
    # Wine's msiexec shows the refusal only with a user interface; the log
    # tells that the launch condition carrying it stopped the install.
    said = open(log, encoding="latin-1").read() if os.path.exists(log) else ""
    r = subprocess.run(["msiinfo", "export", msis["100.0.1"], "LaunchCondition"],
                       stdout=subprocess.PIPE)
    check(f"{name}: refused by the downgrade check, which says why",
          "WIX_DOWNGRADE_DETECTED = {" in said and "Action ended" in said
          and "NOT WIX_DOWNGRADE_DETECTED\tA newer version of [ProductName] is already installed"
          in r.stdout.decode(), said[-1500:])
    found = products(prefix, product, arch)
    check(f"{name}: still N+1 alone", found == ["100.0.2"], found)
    rc, text = prefix.run("msiexec", "/x", winpath(msis["100.0.2"]), "/qn")
    check(f"{name}: N+1 uninstalls", rc == 0, f"exit {rc}: {text}")
    leftovers(name, prefix, reg0, files0)


def main(build, source, version, arch):
    build, source = os.path.abspath(build), os.path.abspath(source)
    work = os.path.join(build, "installer-check")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    msi = os.path.join(build, "packages", f"TorvaAddIn-{version}-{arch}") + "{}.msi"
    prefix = Prefix(source, os.path.join(work, "prefix"),
                    os.path.join(build, "tests", "installer", "regdump.exe"))
    in_folder(prefix, build, source, work, "per user", msi.format(""),
              prefix.user_folder("AppData", "Local", "Programs", "TorvaAddIn"),
              regsvr32=("/n", "/i:user"))
    # Into the label application's folder. regsvr32 registers the classes
    # machine-wide and the add-in for the current user; the package puts the
    # add-in keys under HKLM for every user.
    plakora = os.path.join(build, "tools", "plakora-standin", "plakora.exe")
    os.makedirs(prefix.drive("Plakora"))
    shutil.copy(plakora, prefix.drive("Plakora"))
    # A package writes the classes and Office's add-in keys into the registry
    # view of its bitness (ProgIDs are shared by both), as regsvr32 of that
    # bitness does the classes; the add-in keys that regsvr32 writes per user
    # correspond to the package's in that view.
    office = "hkcu\\software\\microsoft\\office"
    machine = MACHINE_SOFTWARE[arch]
    in_folder(prefix, build, source, work, "per machine", msi.format("-permachine"),
              prefix.drive("Plakora"), props=("INSTALLDIR=C:\\Plakora\\",), others=(plakora,),
              map_key=lambda k: machine + k[len("hkcu\\software"):]
              if k == office or k.startswith(office + "\\") else k)
    upgrades(prefix, build, source, work, os.path.join(build, "TorvaAddIn.dll"),
             os.path.join(build, "Torva.Sys"), arch)
    return finish()

if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
