#!/usr/bin/env python3
"""The per-user and per-machine installer packages of one bitness, read with
msitools: components of that bitness, the folder the README names, the DLL
inside of the right machine, stripped, its debug link naming the build's
symbols with their checksum. With X64-BUILD-DIR the 32-bit packages' registry
rows must be the 64-bit ones' but for the type library's win32/win64 key
(exit 77, skipped, when those are missing).

    check_packages.py BUILD-DIR VERSION x64|x86 [X64-BUILD-DIR]
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib
from collections import defaultdict

from wine_checks import check, dlls_in, finish, read

MACHINES = {"x64": 0x8664, "x86": 0x14C}
COMPONENT_64BIT = 256


def table(msi, name):
    """Rows of one table as {column: text}, an absent (null) column as "".
    Read from the SQL form of the export, which escapes line breaks inside
    values (the description of the Excel add-in ends with one)."""
    out = subprocess.run(["msiinfo", "export", "-s", msi, name], check=True,
                         stdout=subprocess.PIPE).stdout.decode("utf-8")
    rows = []
    for columns, values in re.findall(r"^INSERT INTO `\w+` \((.*)\) VALUES \((.*)\)$", out, re.M):
        fields = [re.sub(r"\\(.)", lambda e: {"n": "\n", "r": "\r", "t": "\t"}.get(e[1], e[1]),
                         v[1:-1]) if v.startswith("'") else v.replace("NULL", "")
                  for v in re.findall(r"'(?:[^'\\]|\\.)*'|[^,\s]+", values)]
        rows.append(defaultdict(str, zip(columns.replace("`", "").split(", "), fields)))
    return rows


def sections(data):
    """Machine and sections (name: contents) of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, count, _, symbols, nsymbols, opt_size = struct.unpack_from("<HHIIIH", data, pe + 4)
    found = {}
    for i in range(count):
        header = pe + 24 + opt_size + 40 * i
        name = data[header:header + 8].rstrip(b"\0").decode("latin-1")
        if name.startswith("/"):  # a long name, kept in the string table
            start = symbols + 18 * nsymbols + int(name[1:])
            name = data[start:data.index(b"\0", start)].decode("latin-1")
        size, offset = struct.unpack_from("<II", data, header + 16)
        found[name] = data[offset:offset + size]
    return machine, found


def the_dll(msi, arch, symbols, label):
    with tempfile.TemporaryDirectory() as out:
        found = dlls_in(msi, out)
        if not check(f"{label}: holds TorvaAddIn.dll", len(found) == 1, found):
            return
        data = read(found[0])
    machine, found = sections(data)
    check(f"{label}: the DLL is {arch}", machine == MACHINES[arch], hex(machine))
    check(f"{label}: the DLL is stripped, {len(data)} bytes",
          len(data) < 1.5 * 1024 * 1024 and not [n for n in found if n.startswith(".debug")],
          (len(data), list(found)))
    # The debug link: the file's name, zero padded to four bytes, then its CRC-32.
    link = found.get(".gnu_debuglink", b"")
    name = link[:link.index(b"\0")].decode() if b"\0" in link else ""
    debug = os.path.join(symbols, name)
    crc = struct.unpack_from("<I", link, (len(name) + 4) & ~3)[0] if name else None
    check(f"{label}: its debug information is {debug}",
          name == "TorvaAddIn.dll.debug" and os.path.exists(debug)
          and zlib.crc32(read(debug)) == crc, (name, crc))


def package(msi, arch, scope, symbols):
    label = os.path.basename(msi)
    if not check(f"{label}: built", os.path.exists(msi)):
        return None
    info = subprocess.run(["msiinfo", "suminfo", msi], check=True,
                          stdout=subprocess.PIPE).stdout.decode("utf-8")
    template = dict(l.split(": ", 1) for l in info.splitlines() if ": " in l).get("Template", "")
    check(f"{label}: for the {arch} platform",
          template.split(";")[0] == ("x64" if arch == "x64" else "Intel"), template)
    components = table(msi, "Component")
    check(f"{label}: every component {arch}",
          components and all((int(c["Attributes"]) & COMPONENT_64BIT != 0) == (arch == "x64")
                             for c in components), [c["Component"] for c in components])
    parents = {d["Directory"]: d["Directory_Parent"] for d in table(msi, "Directory")}
    chain = ["INSTALLDIR"]
    while parents.get(chain[-1]):
        chain.append(parents[chain[-1]])
    expected = {"user": ["INSTALLDIR", "UserPrograms", "LocalAppDataFolder", "TARGETDIR"],
                "machine": ["INSTALLDIR", "ProgramFiles64Folder" if arch == "x64"
                            else "ProgramFilesFolder", "TARGETDIR"]}[scope]
    check(f"{label}: installs into {' < '.join(expected[:-1])}",
          chain == expected, chain)
    the_dll(msi, arch, symbols, label)
    return msi


def rows(msi):
    """Registry rows and the folder's search, without the generated row ids, and
    with the type library's bitness key made neutral."""
    def neutral(key):
        return key.replace("\\0\\win32", "\\0\\WIN").replace("\\0\\win64", "\\0\\WIN")
    registry = sorted((r["Root"], neutral(r["Key"]), r["Name"], r["Value"], r["Component_"])
                      for r in table(msi, "Registry"))
    # The locator's type says 64-bit (16) in the 64-bit package alone.
    search = [(r["Root"], r["Key"], r["Name"], int(r["Type"]) & ~16)
              for r in table(msi, "RegLocator")]
    return registry, search


def main(build, version, arch, x64_build=None):
    for scope, suffix in (("user", ""), ("machine", "-permachine")):
        msi = package(os.path.join(build, "packages", f"TorvaAddIn-{version}-{arch}{suffix}.msi"),
                      arch, scope, os.path.join(build, "symbols"))
        if arch == "x86" and x64_build:
            other = os.path.join(x64_build, "packages", f"TorvaAddIn-{version}-x64{suffix}.msi")
            if not os.path.exists(other):
                print(f"SKIP: {other} is missing; build the win64 preset first")
                return 77
            if msi:
                mine, theirs = rows(msi), rows(other)
                check(f"{scope}: the same registry rows as {os.path.basename(other)} "
                      f"({len(mine[0])} rows)", mine == theirs and len(mine[0]) > 40,
                      set(mine[0]) ^ set(theirs[0]) or (mine[1], theirs[1]))
    return finish()


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
