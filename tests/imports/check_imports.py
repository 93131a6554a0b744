"""Checks that a 32-bit program loads on Windows 95 and 98.

Their loader refuses a program that imports any function the system does not
export, or whose header asks for a subsystem version above 4.0. Reads the
program's import table and header with the cross toolchain's objdump and
fails naming every import outside the allow-list (one DLL:Function a line).

usage: check_imports.py OBJDUMP PROGRAM ALLOW-LIST
"""

import re
import subprocess
import sys

IMPORT_LINE = re.compile(r"^\t[0-9a-f]+\t\s*(\d+)\s+(\S+)$")


def read_header_and_imports(objdump, program):
    dump = subprocess.run([objdump, "-p", program], check=True, stdout=subprocess.PIPE, text=True).stdout
    header, imports, dll = {}, set(), None
    for line in dump.splitlines():
        fields = line.split()
        if len(fields) == 2 and fields[0] in ("MajorSubsystemVersion", "MinorSubsystemVersion"):
            header[fields[0]] = int(fields[1])
        elif line.startswith("\tDLL Name: "):
            dll = line.split(":", 1)[1].strip().lower()
        elif not line.startswith("\t"):
            dll = None  # the import tables end with the first line that is not indented
        elif dll is not None:
            match = IMPORT_LINE.match(line)
            if match:
                name = match.group(2)
                # An import by ordinal names no function that could be checked.
                imports.add(f"{dll}:{name}" if name != "<none>" else f"{dll}:#{match.group(1)}")
    return header, imports


def main(objdump, program, allow_list):
    with open(allow_list) as lines:
        allowed = {line.strip() for line in lines if line.strip() and not line.startswith("#")}
    header, imports = read_header_and_imports(objdump, program)
    failures = []
    version = (header.get("MajorSubsystemVersion"), header.get("MinorSubsystemVersion"))
    if version != (4, 0):
        failures.append(f"subsystem version {version[0]}.{version[1]} (Windows 95 and 98 need 4.0)")
    if not imports:
        failures.append("no import table found")
    failures += [f"imports {name}, which is not in {allow_list}" for name in sorted(imports - allowed)]
    for failure in failures:
        print(f"{program}: {failure}")
    print(f"{len(imports)} imports checked, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
