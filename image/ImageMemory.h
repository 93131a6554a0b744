// Picture memory and the size arithmetic that guards it.
//
// Every block of the image library (header block, pixel rows, I/O buffer,
// temporary rows, palette records) is moveable global memory, zero-filled and
// locked at once; only the locked pointer is kept. Decoders rely on the zero
// fill. All of that lives here, so that a build of the image classes for
// another platform needs to replace this one file only.
#pragma once

#include <windows.h>

// No block is ever larger than this. It bounds what a picture file can make
// the program allocate: a header that claims a larger picture is refused
// before anything is allocated for it.
const DWORD MAX_IMAGE_BLOCK = 0x10000000; // 256 MB

// A zero-filled block of cb bytes, or null when cb is 0, larger than
// MAX_IMAGE_BLOCK, or the memory cannot be had.
void* AllocImageBlock(DWORD cb);

// Frees a block from AllocImageBlock; a null pointer is ignored.
void FreeImageBlock(void* p);

// The usable size of a block from AllocImageBlock (at least what was asked
// for); 0 for a null pointer.
DWORD ImageBlockSize(const void* p);

// a × b and a + b into *pResult; FALSE (and *pResult untouched) when the
// result does not fit in 32 bits.
BOOL MultiplySize(DWORD a, DWORD b, DWORD* pResult);
BOOL AddSize(DWORD a, DWORD b, DWORD* pResult);

