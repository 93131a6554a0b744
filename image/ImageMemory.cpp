#include "ImageMemory.h"

void* AllocImageBlock(DWORD cb)
{
    if (cb == 0 || cb > MAX_IMAGE_BLOCK)
        return nullptr;
    HGLOBAL hBlock = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, cb);
    if (hBlock == nullptr)
        return nullptr;
    void* p = ::GlobalLock(hBlock);
    if (p == nullptr)
        ::GlobalFree(hBlock);
    return p;
}

void FreeImageBlock(void* p)
{
    if (p == nullptr)
        return;
    HGLOBAL hBlock = ::GlobalHandle(p);
    ::GlobalUnlock(hBlock);
    ::GlobalFree(hBlock);
}

DWORD ImageBlockSize(const void* p)
{
    if (p == nullptr)
        return 0;
    const SIZE_T cb = ::GlobalSize(::GlobalHandle(p));
    return cb > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(cb);
}

BOOL MultiplySize(DWORD a, DWORD b, DWORD* pResult)
{
    const ULONGLONG product = static_cast<ULONGLONG>(a) * b;
    if (product > 0xFFFFFFFF)
        return FALSE;
    *pResult = static_cast<DWORD>(product);
    return TRUE;
}

BOOL AddSize(DWORD a, DWORD b, DWORD* pResult)
{
    const ULONGLONG sum = static_cast<ULONGLONG>(a) + b;
    if (sum > 0xFFFFFFFF)
        return FALSE;
    *pResult = static_cast<DWORD>(sum);
    return TRUE;
}
