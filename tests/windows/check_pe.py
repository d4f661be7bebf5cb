#!/usr/bin/env python3
"""Static checks of a built add-in DLL, which hold also where it cannot run:
PE machine type, exported entry points, imports (system DLLs only: nothing
of the MinGW runtime may be needed beside the add-in), and the embedded type
library.

    check_pe.py DLL MACHINE(i386|amd64)
"""
import struct
import sys

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
EXPORTS = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
           "DllUnregisterServer", "DllInstall"}
# What every Windows since 7 has in System32; a DLL of the compiler's runtime
# (libstdc++-6.dll, libgcc_s_*.dll, libwinpthread-1.dll) is not among them.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll",
               "oleaut32.dll", "shell32.dll", "shlwapi.dll", "comctl32.dll", "bcrypt.dll",
               "msvcrt.dll", "uuid.dll"}


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def main(path, machine):
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        fail("not an MZ executable")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("no PE signature")
    found_machine, sections, _, _, _, opt_size, characteristics = struct.unpack_from(
        "<HHIIIHH", data, pe + 4)
    if found_machine != MACHINES[machine]:
        fail(f"machine 0x{found_machine:04X}, expected 0x{MACHINES[machine]:04X}")
    if not characteristics & 0x2000:
        fail("not a DLL")
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    section_table = opt + opt_size
    sects = [struct.unpack_from("<8sIIII", data, section_table + 40 * i) for i in range(sections)]

    def offset(rva):
        for _, vsize, vaddr, rawsize, rawptr in sects:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rawptr + rva - vaddr
        fail(f"RVA 0x{rva:X} in no section")

    def cstring(rva):
        o = offset(rva)
        return data[o:data.index(b"\0", o)].decode()

    export_rva = struct.unpack_from("<I", data, dirs)[0]
    if not export_rva:
        fail("no export directory")
    e = offset(export_rva)
    count = struct.unpack_from("<I", data, e + 24)[0]  # NumberOfNames
    names_rva = struct.unpack_from("<I", data, e + 32)[0]  # AddressOfNames
    names = {cstring(struct.unpack_from("<I", data, offset(names_rva) + 4 * i)[0])
             for i in range(count)}
    if names != EXPORTS:
        fail(f"exports {sorted(names)}, expected {sorted(EXPORTS)}")

    import_rva = struct.unpack_from("<I", data, dirs + 8)[0]
    imports = set()
    if import_rva:
        d = offset(import_rva)
        while True:
            name_rva = struct.unpack_from("<I", data, d + 12)[0]  # IMAGE_IMPORT_DESCRIPTOR.Name
            if not name_rva:
                break
            imports.add(cstring(name_rva).lower())
            d += 20
    foreign = sorted(imports - SYSTEM_DLLS)
    if foreign:
        fail(f"imports DLLs that are not part of Windows: {foreign}")

    rsrc_rva = struct.unpack_from("<I", data, dirs + 2 * 8)[0]
    if not rsrc_rva:
        fail("no resources")
    root = offset(rsrc_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            if name & 0x80000000:
                o = root + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, o)[0]
                name = data[o + 2:o + 2 + 2 * length].decode("utf-16-le")
            yield name, target

    typelib = None
    version = False
    for name, target in entries(root):
        if name == 16:
            version = True
        if name == "TYPELIB":
            typelib = target
    if not version:
        fail("no version resource")
    if typelib is None:
        fail("no TYPELIB resource")
    # Walk type -> name -> language down to the data entry.
    node = typelib
    while node & 0x80000000:
        node = next(entries(root + (node & 0x7FFFFFFF)))[1]
    data_rva, size = struct.unpack_from("<II", data, root + node)
    blob = data[offset(data_rva):offset(data_rva) + size]
    if blob[:4] != b"MSFT":
        fail("TYPELIB resource is no type library")
    if b"T\0o\0r\0v\0a\0A\0d\0d\0I\0n" not in blob and b"TorvaAddIn" not in blob:
        fail("type library does not name TorvaAddIn")
    print(f"OK: {path}: {machine}, {len(names)} exports, imports {sorted(imports)}, type library of {size} bytes")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
