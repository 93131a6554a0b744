// What the system lets the program run on its processor. libjpeg-turbo
// picks its SIMD routines by CPUID alone, but an SSE instruction faults
// unless the system saves the SSE registers when it switches tasks, which
// Windows 95 never does (98 and Me on some releases only). There one SSE
// instruction is tried at start; where it faults the decoder is kept to MMX,
// whose state lives in the x87 registers that every system saves.
#include "Shell.h"

#include <cstdlib>

// In raw bytes (xorps xmm0, xmm0), so that the i486 build assembles it;
// xmm0 is a scratch register in both calling conventions.
#ifdef _WIN64
asm(".text\n.globl TrySseInstruction\nTrySseInstruction:\n.byte 0x0f, 0x57, 0xc0\nret\n");
#else
asm(".text\n.globl _TrySseInstruction\n_TrySseInstruction:\n.byte 0x0f, 0x57, 0xc0\nret\n");
#endif

static void (*s_pfnProbe)();
static BOOL s_bProbeFaulted;

// The probe's one instruction faulted: carry on as its return would.
static LONG WINAPI ReturnFromFaultingProbe(EXCEPTION_POINTERS* pInfo)
{
    const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
    if (pRecord->ExceptionCode != EXCEPTION_ILLEGAL_INSTRUCTION ||
        pRecord->ExceptionAddress != reinterpret_cast<PVOID>(s_pfnProbe))
        return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* pContext = pInfo->ContextRecord;
#ifdef _WIN64
    pContext->Rip = *reinterpret_cast<DWORD64*>(pContext->Rsp);
    pContext->Rsp += sizeof(DWORD64);
#else
    pContext->Eip = *reinterpret_cast<DWORD*>(pContext->Esp);
    pContext->Esp += sizeof(DWORD);
#endif
    s_bProbeFaulted = TRUE;
    return EXCEPTION_CONTINUE_EXECUTION;
}

BOOL InstructionRuns(void (*pfnProbe)())
{
    s_pfnProbe = pfnProbe;
    s_bProbeFaulted = FALSE;
    const LPTOP_LEVEL_EXCEPTION_FILTER pfnPrevious = ::SetUnhandledExceptionFilter(ReturnFromFaultingProbe);
    pfnProbe();
    ::SetUnhandledExceptionFilter(pfnPrevious);
    return !s_bProbeFaulted;
}

void KeepSimdToSavedRegisters()
{
    // libjpeg-turbo reads its setting from the C library's environment when
    // it decodes its first picture.
    if (!InstructionRuns(TrySseInstruction))
        _putenv("JSIMD_FORCEMMX=1");
}
