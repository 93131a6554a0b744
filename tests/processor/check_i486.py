"""Fails when the shipped 32-bit saver holds an instruction that a 486 cannot
execute, outside the SIMD routines that are chosen at run time after a
processor check (simd-routines.txt). Prints each function and instruction.

usage: check_i486.py OBJDUMP SAVER ROUTINES"""
import collections
import re
import subprocess
import sys

# What an i486 executes: the 386 integer instructions, the 486 additions
# (bswap, cmpxchg, xadd, invd, wbinvd, invlpg) and the 387 instructions.
I486 = set("""
aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbw cdq clc cld cli clts cmc cmp
cmpsb cmpsd cmpsw cmpxchg cwd cwde daa das dec div enter hlt idiv imul in inc insb insd insw int int3 into
invd invlpg iret iretd ja jae jb jbe jcxz je jecxz jg jge jl jle jmp jne jno jnp jns jo jp js lahf lar lds
lea leave les lfs lgdt lgs lidt lldt lmsw lodsb lodsd lodsw loop loope loopne lsl lss ltr mov movsb movsd
movsw movsx movzx mul neg nop not or out outsb outsd outsw pop popa popad popf popfd push pusha pushad pushf
pushfd rcl rcr ret retf rol ror sahf sal sar sbb scasb scasd scasw seta setae setb setbe sete setg setge
setl setle setne setno setnp setns seto setp sets sgdt shl shld shr shrd sidt sldt smsw stc std sti stosb
stosd stosw str sub test verr verw wbinvd xadd xchg xlat xor fwait cmps ins lods movs outs scas stos
f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcos fdecstp fdiv fdivp fdivr fdivrp
ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fninit fist fistp fisub fisubr fld fld1 fldcw
fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnop fpatan fprem fprem1 fptan frndint frstor fsave
fnsave fscale fsin fsincos fsqrt fst fstcw fnstcw fstenv fnstenv fstp fstsw fnstsw fsub fsubp fsubr fsubrp
ftst fucom fucomp fucompp fxam fxch fxtract fyl2x fyl2xp1
""".split())
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


def lacking(text):
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
    if mnemonic not in I486 and mnemonic not in ALSO:
        return mnemonic
    if SIMD_REGISTER.search(text):
        return text
    return None


def main(objdump, saver, routines_file):
    patterns = [re.compile(line.strip()) for line in open(routines_file)
                if line.strip() and not line.startswith("#")]
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
            what = lacking(match.group(1).split("#")[0].strip())
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
