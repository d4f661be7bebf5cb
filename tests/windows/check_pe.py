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


def need(ok, message):
    if not ok:
        print("FAIL:", message)
        sys.exit(1)


def main(path, machine):
    data = open(path, "rb").read()
    need(data[:2] == b"MZ", "not an MZ executable")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    need(data[pe:pe + 4] == b"PE\0\0", "no PE signature")
    found_machine, sections, _, _, _, opt_size, characteristics = struct.unpack_from(
        "<HHIIIHH", data, pe + 4)
    need(found_machine == MACHINES[machine],
         f"machine 0x{found_machine:04X}, expected 0x{MACHINES[machine]:04X}")
    need(characteristics & 0x2000, "not a DLL")
    opt = pe + 24
    dirs = opt + (96 if struct.unpack_from("<H", data, opt)[0] == 0x10B else 112)
    sects = [struct.unpack_from("<8sIIII", data, opt + opt_size + 40 * i) for i in range(sections)]

    def offset(rva):
        for _, vsize, vaddr, rawsize, rawptr in sects:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rawptr + rva - vaddr
        need(False, f"RVA 0x{rva:X} in no section")

    def u32(at):
        return struct.unpack_from("<I", data, at)[0]

    def cstring(rva):
        o = offset(rva)
        return data[o:data.index(b"\0", o)].decode()

    export_rva = u32(dirs)
    need(export_rva, "no export directory")
    e = offset(export_rva)
    # NumberOfNames and AddressOfNames
    names = {cstring(u32(offset(u32(e + 32)) + 4 * i)) for i in range(u32(e + 24))}
    need(names == EXPORTS, f"exports {sorted(names)}, expected {sorted(EXPORTS)}")

    imports, d = set(), offset(u32(dirs + 8)) if u32(dirs + 8) else None
    while d is not None and u32(d + 12):  # IMAGE_IMPORT_DESCRIPTOR.Name
        imports.add(cstring(u32(d + 12)).lower())
        d += 20
    foreign = sorted(imports - SYSTEM_DLLS)
    need(not foreign, f"imports DLLs that are not part of Windows: {foreign}")

    need(u32(dirs + 16), "no resources")
    root = offset(u32(dirs + 16))

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            if name & 0x80000000:
                o = root + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, o)[0]
                name = data[o + 2:o + 2 + 2 * length].decode("utf-16-le")
            yield name, target

    types = dict(entries(root))
    need(16 in types, "no version resource")
    need("TYPELIB" in types, "no TYPELIB resource")
    # Walk type -> name -> language down to the data entry.
    node = types["TYPELIB"]
    while node & 0x80000000:
        node = next(entries(root + (node & 0x7FFFFFFF)))[1]
    data_rva, size = struct.unpack_from("<II", data, root + node)
    blob = data[offset(data_rva):offset(data_rva) + size]
    need(blob[:4] == b"MSFT", "TYPELIB resource is no type library")
    need(b"T\0o\0r\0v\0a\0A\0d\0d\0I\0n" in blob or b"TorvaAddIn" in blob,
         "type library does not name TorvaAddIn")
    print(f"OK: {path}: {machine}, {len(names)} exports, imports {sorted(imports)}, "
          f"type library of {size} bytes")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
