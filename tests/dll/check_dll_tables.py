#!/usr/bin/env python3
"""Checks the Windows build's tables with objdump -p.

The DLL must export exactly ordinal 1 "?Reset@@YAXXZ" and ordinal 2
"GetPkgFullPath", two different functions, and nothing else; it and the
given executables must import only Windows system DLLs, so they run on a
client machine that has no compiler run time installed.

  check_dll_tables.py --objdump OBJDUMP --dll HalvexDll.dll [--exe X.exe]...

Closing line: "N passed, N failed".
"""

import argparse
import re
import subprocess
import sys

EXPECTED_EXPORTS = {1: "?Reset@@YAXXZ", 2: "GetPkgFullPath"}

# DLLs every Windows installation carries. Anything else (libgcc_s_*,
# libstdc++-6, libwinpthread-1, a debug run time) would have to be shipped.
SYSTEM_DLLS = {
    "kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll", "ws2_32.dll", "ntdll.dll",
    "shlwapi.dll", "shell32.dll", "ole32.dll", "oleaut32.dll", "bcrypt.dll", "ucrtbase.dll",
}


def objdump(tool, path):
    proc = subprocess.run([tool, "-p", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        raise SystemExit("%s -p %s failed: %s" % (tool, path, proc.stderr.decode(errors="replace")))
    return proc.stdout.decode(errors="replace")


def imports(text):
    return [m.group(1) for m in re.finditer(r"^\s*DLL Name:\s*(\S+)", text, re.M)]


def exports(text):
    """{ordinal: (name or None, rva)} from the export address and name tables."""
    base_match = re.search(r"Export Address Table -- Ordinal Base (\d+)", text)
    if not base_match:
        return {}
    base = int(base_match.group(1))
    table = {}
    section = text[base_match.end():]
    for m in re.finditer(r"^\s*\[\s*(\d+)\]\s*\+base\[\s*(\d+)\]\s+([0-9a-fA-F]+)\s+Export RVA", section, re.M):
        table[int(m.group(2))] = [None, int(m.group(3), 16)]
    names = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\s*\[\s*\d+\]\s*\S+\n?)*)", section)
    if names:
        for m in re.finditer(r"\[\s*(\d+)\]\s*(\S+)", names.group(1)):
            ordinal = int(m.group(1)) + base
            table.setdefault(ordinal, [None, None])[0] = m.group(2)
    return {k: tuple(v) for k, v in table.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--exe", action="append", default=[])
    args = parser.parse_args()

    results = []

    def record(name, ok, detail=""):
        results.append(ok)
        print("%s %s%s" % ("PASS" if ok else "FAIL", name, (": " + detail) if detail and not ok else ""))

    text = objdump(args.objdump, args.dll)
    table = exports(text)
    got = {k: v[0] for k, v in table.items()}
    record("exports are exactly ordinal 1 ?Reset@@YAXXZ and ordinal 2 GetPkgFullPath", got == EXPECTED_EXPORTS,
           "found %s" % got)
    rvas = [v[1] for v in table.values()]
    record("the two exports are different functions", len(rvas) == 2 and None not in rvas and rvas[0] != rvas[1],
           "addresses %s" % rvas)

    for path in [args.dll] + args.exe:
        dlls = imports(text if path == args.dll else objdump(args.objdump, path))
        foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS and not d.lower().startswith("api-ms-win-")]
        record("%s imports only system DLLs (%s)" % (path.rsplit("/", 1)[-1], ", ".join(dlls)),
               bool(dlls) and not foreign, "foreign: %s" % foreign)

    passed = sum(1 for r in results if r)
    print("%d passed, %d failed" % (passed, len(results) - passed))
    return 0 if passed == len(results) else 1


if __name__ == "__main__":
    sys.exit(main())
