// What SECJpeg supplies to libjpeg (the release-6 decompression interface):
// an error manager, a data source over an open CFile, a progress monitor
// that gives a read up, and the library's system-dependent memory layer.
// Their contracts are stated here, once. All of them live in JpegHost.cpp;
// the memory layer has no interface here, because the library finds it by
// its function names (jmemsys.h) when the program is linked.
#pragma once

#include <windows.h>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

class CFile;

// ---- Error manager --------------------------------------------------------
//
// A fatal decoder error never returns into the decoder: error_exit discards
// the message text, releases the decompression object (jpeg_destroy, which
// also closes and removes a spill file) and jumps back to the setjmp of the
// routine that started the read, which then reports a failed read. Warnings
// go to output_message, which formats them into a 200-byte buffer and
// discards them; everything else is the library's default.
//
// Because of the jump, no frame between the setjmp and a library call may
// own an object with a destructor: the jump would skip it. The frames in
// between are the library's own and this file's callbacks, which keep to
// plain data while they can raise an error.
struct JpegErrorManager
{
    jpeg_error_mgr pub; // first: the library sees only this part
    jmp_buf jumpBack;   // where error_exit sends control

    // Set by the data source when the file's Read raised CFileException;
    // the read then ends as a fatal error "Input file read error" and the
    // reader raises the same exception again once the decoder is gone.
    BOOL bFileFailed;
    int nFileCause;
    LONG lFileOsError;
};

// Fills the manager with the library's defaults and our error_exit and
// output_message; returns the pointer to store in cinfo.err.
jpeg_error_mgr* InitJpegErrorManager(JpegErrorManager& errorManager);

// ---- Data source ----------------------------------------------------------
//
// JpegFileSource reads the file through a 4096-byte buffer from the record's
// CFile, which stays open and owned by its caller. An empty file is the
// fatal error "Empty input file"; a file that ends early gets the warning
// "Premature end of JPEG file" and a fake end-of-image marker, so that
// whatever was read still decodes. The source never suspends. The record
// and its buffer come from the decompression object's permanent pool.
const UINT JPEG_SOURCE_BUFFER_BYTES = 4096;

struct JpegFileSource
{
    jpeg_source_mgr pub; // first: the library sees only this part
    CFile* sourceFile;   // not owned
    JOCTET* readBuffer;  // JPEG_SOURCE_BUFFER_BYTES bytes
    boolean atStartOfFile;
};

// Installs the source on a created decompression object.
void InstallJpegFileSource(j_decompress_ptr cinfo, CFile* pFile);

// ---- Giving up ------------------------------------------------------------
//
// A progress monitor that asks SECImage::CheckAbandonAfterRow as the decoder
// goes (every scan line, and every row of every scan while a multi-scan
// file is read in); a yes ends the read as a fatal error does, without a
// message. The record comes from the permanent pool.
void InstallJpegAbandonCheck(j_decompress_ptr cinfo);

// ---- Memory layer ---------------------------------------------------------
//
// Small blocks come from the C heap, large ones (image rows, coefficient
// buffers) are picture memory from ImageMemory. What the decoder's
// whole-image buffers need beyond the memory ceiling goes to a spill file: a
// new file from GetTempFileNameA in the folder GetTempPathA names, prefix
// "sec", opened for reading and writing and removed from disk when the
// library closes it, which it does when the decompression object is
// destroyed, after a fatal error too. A spill file that cannot be made, or a
// seek, read or write on it that fails, is a fatal decoder error.
//
// The ceiling each decompression object starts with; the library's memory
// manager lets the environment variable JPEGMEM override it ("500" is
// 500,000 bytes, "4m" 4,000,000).
const long JPEG_DEFAULT_MEMORY_CEILING = 1000000L;
