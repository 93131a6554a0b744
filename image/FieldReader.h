// FieldReader: the fields of a block of bytes that a reader has read into
// memory whole (a file header, a footer, a directory, a table), taken one
// after another or from a position it seeks to.
//
// No read passes the end of the block. The first field that would makes the
// reader fail: that field and every later one, wherever the reader seeks,
// read nothing and come back 0 (a byte or text field: zeros). A reader can
// thus take a run of fields and ask Failed() once, where a short block
// matters.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>

class FieldReader
{
public:
    FieldReader(const BYTE* pData, DWORD cbData)
        : m_pData(pData), m_cbData(pData != nullptr ? cbData : 0), m_dwPos(0), m_bBigEndian(FALSE), m_bFailed(FALSE)
    {
    }

    // The byte order of the 16- and 32-bit fields from here on; little-endian
    // until set.
    void SetBigEndian(BOOL bBigEndian) { m_bBigEndian = bBigEndian; }

    BYTE Byte()
    {
        const BYTE* p = Take(1);
        return p != nullptr ? p[0] : 0;
    }

    WORD Word()
    {
        const BYTE* p = Take(2);
        if (p == nullptr)
            return 0;
        return static_cast<WORD>(m_bBigEndian ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8));
    }

    DWORD Dword()
    {
        const BYTE* p = Take(4);
        if (p == nullptr)
            return 0;
        const DWORD b0 = p[0], b1 = p[1], b2 = p[2], b3 = p[3];
        return m_bBigEndian ? (b0 << 24) | (b1 << 16) | (b2 << 8) | b3 : b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
    }

    template <size_t N> void Words(WORD (&aw)[N])
    {
        for (WORD& w : aw)
            w = Word();
    }

    // cb bytes as they stand.
    void Bytes(void* pDst, DWORD cb)
    {
        const BYTE* p = Take(cb);
        if (p != nullptr)
            std::memcpy(pDst, p, cb);
        else
            std::memset(pDst, 0, cb);
    }

    // A text field of N bytes: it always ends in a zero byte inside the field.
    template <size_t N> void Text(char (&sz)[N])
    {
        Bytes(sz, N);
        sz[N - 1] = '\0';
    }

    // Fields from byte dwPos of the block on; a position past its end fails.
    void Seek(DWORD dwPos)
    {
        if (dwPos > m_cbData)
            m_bFailed = TRUE;
        else if (!m_bFailed)
            m_dwPos = dwPos;
    }

    void Skip(DWORD cb) { Take(cb); }

    // The bytes after the position; 0 once failed.
    DWORD Remaining() const { return m_bFailed ? 0 : m_cbData - m_dwPos; }

    BOOL Failed() const { return m_bFailed; }

private:
    // The next cb bytes, or null, and the reader failed, when the block ends
    // first.
    const BYTE* Take(DWORD cb)
    {
        if (m_bFailed || cb > m_cbData - m_dwPos)
        {
            m_bFailed = TRUE;
            return nullptr;
        }
        const BYTE* p = m_pData + m_dwPos;
        m_dwPos += cb;
        return p;
    }

    const BYTE* m_pData;
    DWORD m_cbData;
    DWORD m_dwPos; // never past m_cbData
    BOOL m_bBigEndian;
    BOOL m_bFailed;
};
