// The host side of libjpeg: error manager, data source and memory layer.
//
// One object file on purpose. The static libjpeg.a carries a do-nothing
// memory layer of its own (jmemnobs: no ceiling, no spill file) defining
// the same jpeg_get_small ... jpeg_mem_term functions as the section at the
// end of this file. A linker takes an archive member only for a symbol that
// is still undefined when it scans that archive; SECJpeg's object refers to
// the error manager and the data source here, so this object, and with it
// our memory layer, is in the program before libjpeg.a is scanned, and the
// library's own member is never pulled in.
#include "JpegHost.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "File.h"
#include "ImageMemory.h"
#include "SECImage.h"

extern "C" {
#include <jerror.h>
#include <jmemsys.h>
}

// ===========================================================================
// Error manager
// ===========================================================================

static void OutputMessage(j_common_ptr cinfo)
{
    // The text is formatted, as the library expects of an output routine,
    // and then discarded: the saver shows and logs nothing.
    char szMessage[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, szMessage);
}

// The end of a read that cannot go on: the decompression object goes (and
// with it any spill file), and control returns to the routine that started
// the read.
[[noreturn]] static void DestroyAndJumpBack(j_common_ptr cinfo)
{
    JpegErrorManager* pManager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    jpeg_destroy(cinfo);
    std::longjmp(pManager->jumpBack, 1);
}

[[noreturn]] static void ErrorExit(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    DestroyAndJumpBack(cinfo);
}

jpeg_error_mgr* InitJpegErrorManager(JpegErrorManager& errorManager)
{
    std::memset(&errorManager, 0, sizeof(errorManager));
    jpeg_error_mgr* pPublic = jpeg_std_error(&errorManager.pub);
    pPublic->error_exit = ErrorExit;
    pPublic->output_message = OutputMessage;
    return pPublic;
}

// ===========================================================================
// Data source: JpegFileSource
// ===========================================================================

static JpegErrorManager* ManagerOf(j_decompress_ptr cinfo)
{
    return reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

static void InitSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<JpegFileSource*>(cinfo->src)->atStartOfFile = TRUE;
}

// One Read of the file into the buffer. A CFileException is noted in the
// error manager (the caller turns it into a fatal error once this frame,
// which owns the caught exception, is gone); the result is then FALSE.
static BOOL ReadSourceFile(j_decompress_ptr cinfo, JpegFileSource* pSource, UINT* pnRead)
{
    try
    {
        const UINT nRead = pSource->sourceFile->Read(pSource->readBuffer, JPEG_SOURCE_BUFFER_BYTES);
        *pnRead = nRead < JPEG_SOURCE_BUFFER_BYTES ? nRead : JPEG_SOURCE_BUFFER_BYTES;
        return TRUE;
    }
    catch (const CFileException& e)
    {
        JpegErrorManager* pManager = ManagerOf(cinfo);
        pManager->bFileFailed = TRUE;
        pManager->nFileCause = e.m_cause;
        pManager->lFileOsError = e.m_lOsError;
        return FALSE;
    }
}

static boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    JpegFileSource* pSource = reinterpret_cast<JpegFileSource*>(cinfo->src);
    UINT nRead = 0;
    if (!ReadSourceFile(cinfo, pSource, &nRead))
        ERREXIT(cinfo, JERR_FILE_READ);
    if (nRead == 0)
    {
        if (pSource->atStartOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An end-of-image marker, as if read: the decoder finishes with
        // what it has.
        pSource->readBuffer[0] = 0xFF;
        pSource->readBuffer[1] = JPEG_EOI;
        nRead = 2;
    }
    pSource->pub.next_input_byte = pSource->readBuffer;
    pSource->pub.bytes_in_buffer = nRead;
    pSource->atStartOfFile = FALSE;
    return TRUE;
}

static void SkipInputData(j_decompress_ptr cinfo, long lCount)
{
    if (lCount <= 0)
        return;
    jpeg_source_mgr* pSource = cinfo->src;
    size_t cbSkip = static_cast<size_t>(lCount);
    // Every fill delivers at least two bytes (a fake marker at the end), so
    // this ends.
    while (cbSkip > pSource->bytes_in_buffer)
    {
        cbSkip -= pSource->bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    pSource->next_input_byte += cbSkip;
    pSource->bytes_in_buffer -= cbSkip;
}

static void TermSource(j_decompress_ptr)
{
    // The file belongs to the caller, who closes it.
}

void InstallJpegFileSource(j_decompress_ptr cinfo, CFile* pFile)
{
    if (cinfo->src == nullptr)
    {
        JpegFileSource* pNew = static_cast<JpegFileSource*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegFileSource)));
        pNew->readBuffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, JPEG_SOURCE_BUFFER_BYTES * sizeof(JOCTET)));
        cinfo->src = &pNew->pub;
    }
    JpegFileSource* pSource = reinterpret_cast<JpegFileSource*>(cinfo->src);
    pSource->pub.init_source = InitSource;
    pSource->pub.fill_input_buffer = FillInputBuffer;
    pSource->pub.skip_input_data = SkipInputData;
    pSource->pub.resync_to_restart = jpeg_resync_to_restart;
    pSource->pub.term_source = TermSource;
    pSource->pub.bytes_in_buffer = 0;          // the first use fills the buffer
    pSource->pub.next_input_byte = nullptr;
    pSource->sourceFile = pFile;
    pSource->atStartOfFile = TRUE;
}

// ===========================================================================
// Giving up
// ===========================================================================

static void MonitorProgress(j_common_ptr cinfo)
{
    if (SECImage::CheckAbandonAfterRow())
        DestroyAndJumpBack(cinfo);
}

void InstallJpegAbandonCheck(j_decompress_ptr cinfo)
{
    if (cinfo->progress == nullptr)
        cinfo->progress = static_cast<jpeg_progress_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(jpeg_progress_mgr)));
    std::memset(cinfo->progress, 0, sizeof(jpeg_progress_mgr));
    cinfo->progress->progress_monitor = MonitorProgress;
}

// ===========================================================================
// Memory layer (the functions of the library's jmemsys.h)
// ===========================================================================

// The spill file's CFile object lives in the library's backing-store record
// in the field made for a stdio stream; only the functions below use it.
static CFile* SpillFileOf(backing_store_ptr info)
{
    return reinterpret_cast<CFile*>(info->temp_file);
}

enum SpillResult { SPILL_DONE, SPILL_SEEK_FAILED, SPILL_IO_FAILED };

// Positions the spill file at lOffset and reads or writes lCount bytes
// there; a read must deliver them all.
static SpillResult TransferSpillFile(CFile* pFile, void* pBuffer, long lOffset, long lCount, bool bWrite)
{
    if (lOffset < 0 || lCount < 0)
        return SPILL_SEEK_FAILED;
    try
    {
        if (pFile->Seek(lOffset, CFile::begin) != lOffset)
            return SPILL_SEEK_FAILED;
        const DWORD cb = static_cast<DWORD>(lCount);
        if (bWrite)
        {
            pFile->Write(pBuffer, cb);
            return SPILL_DONE;
        }
        pFile->Flush();
        return SECImage::ReadFully(pFile, pBuffer, cb) == cb ? SPILL_DONE : SPILL_IO_FAILED;
    }
    catch (const CFileException& e)
    {
        return e.m_cause == CFileException::badSeek ? SPILL_SEEK_FAILED : SPILL_IO_FAILED;
    }
}

// A failed transfer is a fatal error: JERR_TFILE_SEEK for the seek, else nIoError.
static void CheckSpillResult(j_common_ptr cinfo, SpillResult result, int nIoError)
{
    if (result == SPILL_SEEK_FAILED)
        ERREXIT(cinfo, JERR_TFILE_SEEK);
    if (result == SPILL_IO_FAILED)
        ERREXIT(cinfo, nIoError);
}

static void ReadBackingStore(j_common_ptr cinfo, backing_store_ptr info, void* pBuffer, long lOffset, long lCount)
{
    CheckSpillResult(cinfo, TransferSpillFile(SpillFileOf(info), pBuffer, lOffset, lCount, false), JERR_TFILE_READ);
}

static void WriteBackingStore(j_common_ptr cinfo, backing_store_ptr info, void* pBuffer, long lOffset, long lCount)
{
    CheckSpillResult(cinfo, TransferSpillFile(SpillFileOf(info), pBuffer, lOffset, lCount, true), JERR_TFILE_WRITE);
}

static void CloseBackingStore(j_common_ptr, backing_store_ptr info)
{
    CFile* pFile = SpillFileOf(info);
    info->temp_file = nullptr;
    if (pFile == nullptr)
        return;
    const CString strPath = pFile->GetFilePath();
    pFile->Close();
    delete pFile;
    try
    {
        CFile::Remove(strPath);
    }
    catch (const CFileException&)
    {
        // Nothing more can be done about a spill file that stays.
    }
}

// A new, empty file for spilling, created by its name; null when none can
// be made. szPath receives the name tried (empty when there was none).
static CFile* CreateSpillFile(char (&szPath)[MAX_PATH])
{
    szPath[0] = '\0';
    char szFolder[512];
    const DWORD cchFolder = ::GetTempPathA(sizeof(szFolder), szFolder);
    if (cchFolder == 0 || cchFolder >= sizeof(szFolder))
        return nullptr;
    // GetTempFileNameA makes a unique name and creates the file.
    if (::GetTempFileNameA(szFolder, "sec", 0, szPath) == 0)
    {
        szPath[0] = '\0';
        return nullptr;
    }
    CFile* pFile = new (std::nothrow) CFile;
    if (pFile != nullptr && pFile->Open(szPath, CFile::modeCreate | CFile::modeReadWrite, nullptr))
        return pFile;
    delete pFile;
    try
    {
        CFile::Remove(szPath);
    }
    catch (const CFileException&)
    {
    }
    return nullptr;
}

// Copies a text into a fixed field, cut to fit, always terminated.
template <size_t N> static void CopyText(char (&szField)[N], const char* pszText)
{
    size_t i = 0;
    for (; i + 1 < N && pszText[i] != '\0'; i++)
        szField[i] = pszText[i];
    szField[i] = '\0';
}

extern "C" {

void* jpeg_get_small(j_common_ptr, size_t cbObject)
{
    return std::malloc(cbObject);
}

void jpeg_free_small(j_common_ptr, void* pObject, size_t)
{
    std::free(pObject);
}

void* jpeg_get_large(j_common_ptr, size_t cbObject)
{
    if (cbObject == 0 || cbObject > MAX_IMAGE_BLOCK)
        return nullptr; // the library reports it as out of memory
    return AllocImageBlock(static_cast<DWORD>(cbObject));
}

void jpeg_free_large(j_common_ptr, void* pObject, size_t)
{
    FreeImageBlock(pObject);
}

size_t jpeg_mem_available(j_common_ptr cinfo, size_t, size_t, size_t cbAllocated)
{
    const long lCeiling = cinfo->mem->max_memory_to_use;
    if (lCeiling <= 0 || static_cast<unsigned long>(lCeiling) <= cbAllocated)
        return 0;
    return static_cast<unsigned long>(lCeiling) - cbAllocated;
}

void jpeg_open_backing_store(j_common_ptr cinfo, backing_store_ptr info, long)
{
    char szPath[MAX_PATH];
    CFile* pFile = CreateSpillFile(szPath);
    if (pFile == nullptr)
    {
        CopyText(cinfo->err->msg_parm.s, szPath); // the file name of the message
        ERREXIT(cinfo, JERR_TFILE_CREATE);
    }
    info->temp_file = reinterpret_cast<FILE*>(pFile);
    CopyText(info->temp_name, szPath);
    info->read_backing_store = ReadBackingStore;
    info->write_backing_store = WriteBackingStore;
    info->close_backing_store = CloseBackingStore;
}

long jpeg_mem_init(j_common_ptr)
{
    return JPEG_DEFAULT_MEMORY_CEILING;
}

void jpeg_mem_term(j_common_ptr)
{
}

} // extern "C"
