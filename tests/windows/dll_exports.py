#!/usr/bin/env python3
"""Checks the export tables of the Windows build's zpk.dll and zpkx.dll.

The exports, as x86_64-w64-mingw32-objdump -p lists them, must be exactly the
functions that zpk/zpk.h (and zpk/zpkx.h) declare, under their plain C names:
no C++ mangling and no stdcall "@n" decoration, so that a client that takes
the header's declarations (x64: one calling convention) finds every function.
zpk/functions.tsv, the table the Python module exposes, must name a subset of
them and the rest must be the driver-only functions of zpk.h.  The DLLs must
not need the toolchain's runtime DLLs.

usage: dll_exports.py <objdump> <zpk.dll> <zpkx.dll> <zpk.h> <zpkx.h> <functions.tsv>
"""
import re
import subprocess
import sys

DECL = re.compile(r"^\s*ZPKX?_API\s+[\w\s*]*?\b([A-Za-z_]\w*)\s*\(", re.M)
TOOLCHAIN_DLLS = {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll"}


def declared(header_path):
    """Names declared in a header, in order, and those after the driver-only comment."""
    text = open(header_path, encoding="utf-8").read()
    cut = text.find("/* Functions that only the test driver calls. */")
    names = DECL.findall(re.sub(r"/\*.*?\*/", "", text, flags=re.S))
    driver_only = DECL.findall(text[cut:]) if cut >= 0 else []
    return names, driver_only


def table_names(tsv_path):
    """Function names of functions.tsv: its second column is the C declaration."""
    names = []
    for line in open(tsv_path, encoding="utf-8"):
        if line.startswith("#") or not line.strip():
            continue
        columns = line.rstrip("\n").split("\t")
        m = re.match(r"\s*[\w\s*]*?\b([A-Za-z_]\w*)\s*\(", columns[1])
        if not m:
            raise SystemExit(f"functions.tsv: cannot read a declaration in {line!r}")
        names.append(m.group(1))
    return names


def pe_info(objdump, dll):
    """(file format, exported names, imported DLL names) of a PE file."""
    fmt = subprocess.run([objdump, "-f", dll], check=True, capture_output=True, text=True).stdout
    dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    exports = []
    in_names = False
    for line in dump.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_names = True
            continue
        if in_names:
            m = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not m:
                break
            exports.append(m.group(1))
    imports = [m.lower() for m in re.findall(r"DLL Name:\s*(\S+)", dump)]
    return fmt, exports, imports


def check_dll(objdump, dll, expected, problems):
    fmt, exports, imports = pe_info(objdump, dll)
    if "pei-x86-64" not in fmt:
        problems.append(f"{dll}: not a 64-bit PE file")
    duplicates = sorted({n for n in exports if exports.count(n) > 1})
    if duplicates:
        problems.append(f"{dll}: exported twice: {duplicates}")
    decorated = [n for n in exports if "@" in n or n.startswith("_Z") or n.startswith("?")]
    if decorated:
        problems.append(f"{dll}: decorated or C++ names exported: {decorated[:10]}")
    missing = sorted(set(expected) - set(exports))
    extra = sorted(set(exports) - set(expected))
    if missing:
        problems.append(f"{dll}: declared but not exported: {missing}")
    if extra:
        problems.append(f"{dll}: exported but not declared: {extra[:20]}")
    runtime = sorted(TOOLCHAIN_DLLS & set(imports))
    if runtime:
        problems.append(f"{dll}: needs the toolchain's runtime DLLs {runtime}")
    return len(exports)


def main(argv):
    if len(argv) != 7:
        raise SystemExit(__doc__)
    objdump, zpk_dll, zpkx_dll, zpk_h, zpkx_h, tsv = argv[1:]
    problems = []
    zpk_names, driver_only = declared(zpk_h)
    zpkx_names, _ = declared(zpkx_h)
    table = table_names(tsv)

    if len(driver_only) != 8:
        problems.append(f"zpk.h: expected 8 driver-only functions, found {len(driver_only)}")
    not_declared = sorted(set(table) - set(zpk_names))
    if not_declared:
        problems.append(f"functions.tsv names functions zpk.h does not declare: {not_declared}")
    if sorted(set(zpk_names) - set(table)) != sorted(driver_only):
        problems.append("zpk.h declares functions that are neither in functions.tsv nor driver-only: "
                        f"{sorted(set(zpk_names) - set(table) - set(driver_only))}")

    n_zpk = check_dll(objdump, zpk_dll, zpk_names, problems)
    n_zpkx = check_dll(objdump, zpkx_dll, zpkx_names, problems)
    for p in problems:
        print("FAIL:", p)
    print(f"zpk.dll exports {n_zpk} functions ({len(table)} of functions.tsv + {len(driver_only)} driver-only); "
          f"zpkx.dll exports {n_zpkx}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
