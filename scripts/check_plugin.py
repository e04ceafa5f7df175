#!/usr/bin/env python3
"""Checks a built plug-in file from its bytes: a Windows DLL (.aex) or a Linux
library (.so with its .pipl beside it). Prints one line per check and exits 1
when any check fails.

usage: check_plugin.py FILE --profile X64|X86 [--machine x64|x86]
"""
import argparse
import os
import struct
import subprocess
import sys

ENTRY_NAME = b"EntryPointFunc"
ALLOWED_IMPORTS = ("kernel32.dll", "msvcrt.dll")


class Report:
    def __init__(self, label):
        self.label = label
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
            print(f"  ok    {self.label}: {what}")
        else:
            self.failed += 1
            print(f"  FAIL  {self.label}: {what}")
        return ok


def pascal(text, padded_length):
    data = bytes([len(text)]) + text.encode("ascii")
    return data + b"\0" * (padded_length - len(data))


def expected_properties(profile):
    """(key, length, data) in the order the host reads them. Lengths of strings
    count their zero padding; the information flags are two bytes."""
    x86 = profile == "X86"
    svr_major, svr_minor = (12, 10) if x86 else (13, 0)
    return [
        ("kind", 4, b"eFKT"[::-1]),
        ("name", 16, pascal("VomrelPathBloom", 16)),
        ("catg", 8, pascal("Vomrel", 8)),
        ("wx86" if x86 else "8664", 16, ENTRY_NAME + b"\0" * (16 - len(ENTRY_NAME))),
        # Versions: major in the high half of a 32-bit word, minor in the low half.
        ("ePVR", 4, struct.pack("<I", (2 << 16) | 0)),
        ("eSVR", 4, struct.pack("<I", (svr_major << 16) | svr_minor)),
        ("eVER", 4, struct.pack("<I", 0x80601)),
        ("eINF", 2, struct.pack("<H", 0)),
        ("eGLO", 4, struct.pack("<I", 0x06000000)),
        ("eGL2", 4, struct.pack("<I", 0x1400)),
        ("eMNA", 32, pascal("VomrelPathBloom by Orbenvail", 32)),
        ("aeFL", 4, struct.pack("<I", 8)),
    ]


def check_pipl(data, profile, report):
    """Decodes the property list independently of the code that wrote it."""
    if not report.check(len(data) >= 10, f"property list present ({len(data)} bytes)"):
        return
    version, reserved, count = struct.unpack_from("<HII", data, 0)
    report.check((version, reserved, count) == (1, 0, 12),
                 f"header version {version}, reserved {reserved}, count {count} (want 1, 0, 12)")
    offset = 10
    found = []
    for index in range(count):
        if offset + 16 > len(data):
            report.check(False, f"property {index} runs past the end")
            return
        vendor = data[offset:offset + 4][::-1].decode("latin-1")
        key = data[offset + 4:offset + 8][::-1].decode("latin-1")
        prop_id, length = struct.unpack_from("<II", data, offset + 8)
        body = data[offset + 16:offset + 16 + length]
        padded = (length + 3) // 4 * 4
        padding = data[offset + 16 + length:offset + 16 + padded]
        if vendor != "8BIM" or prop_id != 0 or any(padding):
            report.check(False, f"property {index} ({key!r}): vendor {vendor!r}, id {prop_id}, padding {padding!r}")
        found.append((key, length, body))
        offset += 16 + padded
    report.check(offset == len(data), f"properties fill the list exactly ({offset} of {len(data)} bytes)")
    expected = expected_properties(profile)
    report.check([k for k, _, _ in found] == [k for k, _, _ in expected],
                 "keys in order: " + " ".join(k for k, _, _ in found))
    for key, length, body in expected:
        got = next((p for p in found if p[0] == key), None)
        if got is None:
            report.check(False, f"{key} present")
            continue
        report.check(got[1] == length and got[2] == body,
                     f"{key} length {got[1]} data {got[2].hex()} (want {length}, {body.hex()})")


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (112 if magic == 0x20B else 96)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(3)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            entry = table + 40 * i
            virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, entry + 8)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"address {rva:#x} in no section")

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("latin-1")

    def exports(self):
        rva, size = self.directories[0]
        if not rva:
            return []
        at = self.offset(rva)
        functions, names, _, names_rva = struct.unpack_from("<IIII", self.data, at + 20)
        listed = [self.cstring(struct.unpack_from("<I", self.data, self.offset(names_rva) + 4 * i)[0]) for i in range(names)]
        return listed + ["<ordinal>"] * (functions - names)

    def imports(self):
        rva, _ = self.directories[1]
        result = []
        if not rva:
            return result
        at = self.offset(rva)
        while True:
            descriptor = struct.unpack_from("<IIIII", self.data, at)
            if not any(descriptor):
                return result
            result.append(self.cstring(descriptor[3]))
            at += 20

    def resource(self, type_name, ident, language):
        """Bytes of one resource, or None; type_name is a string type."""
        rva, _ = self.directories[2]
        if not rva:
            return None
        base = self.offset(rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        # Resource compilers store string names in capitals and lookups
        # ignore case, so "PiPL" is found as "PIPL".
        def find(directory, wanted):
            for name, target in entries(directory):
                if name == wanted or (isinstance(name, str) and isinstance(wanted, str) and name.upper() == wanted.upper()):
                    return target
            return None

        level = find(0, type_name)
        if level is None or not level & 0x80000000:
            return None
        level = find(level & 0x7FFFFFFF, ident)
        if level is None or not level & 0x80000000:
            return None
        leaf = find(level & 0x7FFFFFFF, language)
        if leaf is None or leaf & 0x80000000:
            return None
        data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
        at = self.offset(data_rva)
        return self.data[at:at + size]


def check_dll(path, profile, machine, report):
    with open(path, "rb") as file:
        pe = PeFile(file.read())
    want_machine = {"x64": 0x8664, "x86": 0x14C}[machine]
    report.check(pe.machine == want_machine, f"machine {pe.machine:#x} (want {want_machine:#x})")
    report.check(bool(pe.characteristics & 0x2000), "file is a DLL")
    exports = pe.exports()
    report.check(exports == ["EntryPointFunc"], f"exports {exports} (want exactly EntryPointFunc)")
    imports = pe.imports()
    foreign = [name for name in imports
               if name.lower() not in ALLOWED_IMPORTS and not name.lower().startswith("api-ms-win-")]
    report.check(not foreign, f"imports only system DLLs: {', '.join(imports)}")
    pipl = pe.resource("PiPL", 16000, 1033)
    if report.check(pipl is not None, "resource PiPL 16000, language 1033"):
        check_pipl(pipl, profile, report)


def check_shared_object(path, profile, report):
    symbols = subprocess.run(["nm", "-D", "--defined-only", path], capture_output=True, text=True, check=True).stdout
    exported = sorted(line.split()[-1] for line in symbols.splitlines()
                      if len(line.split()) == 3 and line.split()[1] in "TDBRVWiu")
    report.check(exported == ["EntryPointFunc"], f"exports {exported} (want exactly EntryPointFunc)")
    pipl_path = os.path.join(os.path.dirname(path), "VomrelPathBloom.pipl")
    if report.check(os.path.isfile(pipl_path), f"property list beside it: {pipl_path}"):
        with open(pipl_path, "rb") as file:
            check_pipl(file.read(), profile, report)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--profile", choices=("X64", "X86"), required=True)
    parser.add_argument("--machine", choices=("x64", "x86"), help="DLL's processor (default: from the profile)")
    args = parser.parse_args()
    report = Report(os.path.basename(os.path.dirname(os.path.abspath(args.file))) + "/" + os.path.basename(args.file))
    try:
        if not os.path.isfile(args.file):
            report.check(False, "file exists")
        elif args.file.endswith(".so"):
            check_shared_object(args.file, args.profile, report)
        else:
            check_dll(args.file, args.profile, args.machine or args.profile.lower(), report)
    except (ValueError, struct.error, subprocess.CalledProcessError) as error:
        report.check(False, f"readable: {error}")
    print(f"checks: {report.passed} passed, {report.failed} failed")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
