"""Fails when the shipped 32-bit saver holds an instruction that a 486 cannot
execute, outside the SIMD routines that are chosen at run time after a
processor check (simd-routines.txt). Prints each function and instruction.
What a 486 executes is listed in i486-instructions.txt.

usage: check_i486.py OBJDUMP SAVER INSTRUCTIONS ROUTINES"""
import collections
import re
import subprocess
import sys

# Prefixes (repeat, lock, operand and address size, segments). Also run by a
# 486: "pause" and "tzcnt", which are nop and bsf with a repeat prefix that
# older processors ignore (the compiler writes tzcnt only where bsf gives the
# same result), and ud2, which raises the invalid-opcode fault it is meant to
# on every processor.
PREFIXES = {"rep", "repe", "repz", "repne", "repnz", "lock", "data16", "addr16", "cs", "ds", "es", "fs", "gs", "ss"}
ALSO = {"pause", "tzcnt", "ud2"}
SIMD_REGISTER = re.compile(r"\b[xyz]?mm\d+\b")
FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s+[0-9a-f]+:\t(.*)$")
# Data that the linker keeps in the code section: the exception tables and
# the constructor and destructor lists.
DATA = {".gcc_except_table", ".ctors", ".dtors", "__CTOR_LIST__", "__DTOR_LIST__"}


def entries(path):  # the lines of a list, without comments
    return [line.strip() for line in open(path) if line.strip() and not line.startswith("#")]


def lacking(text, i486):
    """The part of an instruction a 486 lacks, or None."""
    words = text.split()
    while words and words[0] in PREFIXES:
        words.pop(0)
    if not words:
        return None
    mnemonic = words[0]
    # The long nops of the Pentium Pro (0f 1f) take operands; the 486's nop has none.
    if mnemonic == "nop" and len(words) > 1:
        return "nop " + " ".join(words[1:])
    if mnemonic not in i486 and mnemonic not in ALSO:
        return mnemonic
    if SIMD_REGISTER.search(text):
        return text
    return None


def main(objdump, saver, instructions_file, routines_file):
    i486, patterns = set(entries(instructions_file)), [re.compile(line) for line in entries(routines_file)]
    listing = subprocess.run([objdump, "-d", "-M", "intel", "--no-show-raw-insn", saver],
                             capture_output=True, text=True, check=True).stdout
    function, found = "?", collections.defaultdict(collections.Counter)
    for line in listing.splitlines():
        match = FUNCTION.match(line)
        if match:
            function = match.group(1)
            allowed = function in DATA or any(p.fullmatch(function) for p in patterns)
            continue
        match = INSTRUCTION.match(line)
        if match and not allowed:
            what = lacking(match.group(1).split("#")[0].strip(), i486)
            if what:
                found[function][what] += 1
    for function, instructions in sorted(found.items()):
        print(f"{function}: " + ", ".join(f"{what} x{count}" for what, count in sorted(instructions.items())))
    if found:
        print(f"check_i486: {len(found)} functions of {saver} hold instructions a 486 lacks")
        return 1
    print(f"check_i486: every instruction of {saver} outside the run-time-selected SIMD routines runs on a 486")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
