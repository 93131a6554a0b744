#include "TestPictures.h"

#include <cstring>

#include "ImageMemory.h"

ByteWriter& ByteWriter::u8(BYTE v)
{
    data.push_back(v);
    return *this;
}

ByteWriter& ByteWriter::u16(WORD v)
{
    return u8(static_cast<BYTE>(v)).u8(static_cast<BYTE>(v >> 8));
}

ByteWriter& ByteWriter::u32(DWORD v)
{
    return u16(static_cast<WORD>(v)).u16(static_cast<WORD>(v >> 16));
}

ByteWriter& ByteWriter::bytes(const Bytes& v)
{
    data.insert(data.end(), v.begin(), v.end());
    return *this;
}

ByteWriter& ByteWriter::zeros(size_t n)
{
    data.insert(data.end(), n, 0);
    return *this;
}

Bytes Table(const std::vector<Rgb>& colours)
{
    ByteWriter w;
    for (const Rgb& c : colours)
        w.u8(c.b).u8(c.g).u8(c.r).u8(0);
    return w.data;
}

Bytes BuildBmp(const BmpInfo& info, const Bytes& table, const Bytes& pixels, DWORD offBits)
{
    const DWORD dwHeaderEnd = static_cast<DWORD>(14 + info.size + table.size());
    if (offBits == 0)
        offBits = dwHeaderEnd;
    ByteWriter w;
    w.u8('B').u8('M').u32(static_cast<DWORD>(dwHeaderEnd + pixels.size())).u16(0).u16(0).u32(offBits);
    w.u32(info.size).u32(static_cast<DWORD>(info.width)).u32(static_cast<DWORD>(info.height));
    w.u16(info.planes).u16(info.bitCount).u32(info.compression).u32(info.sizeImage);
    w.u32(2835).u32(2835).u32(info.clrUsed).u32(info.clrImportant);
    if (info.size > 40)
        w.zeros(info.size - 40);
    w.bytes(table);
    if (offBits > w.data.size())
        w.zeros(offBits - w.data.size());
    w.bytes(pixels);
    return w.data;
}

std::string TempPath(const char* pszName)
{
    char szDir[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szDir);
    return std::string(szDir) + pszName;
}

std::string WriteTempFile(const char* pszName, const Bytes& bytes)
{
    const std::string strPath = TempPath(pszName);
    CFile file(strPath.c_str(), CFile::modeCreate | CFile::modeWrite);
    if (!bytes.empty())
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    return strPath;
}

void GiveRows(SECImage& image, int nDepth, DWORD dwWidth, DWORD dwHeight, const Bytes& rows, DWORD cbBlock,
              BOOL bAligned)
{
    image.ReleaseContents();
    image.m_pPixelBits = static_cast<BYTE*>(AllocImageBlock(cbBlock));
    if (!rows.empty())
        std::memcpy(image.m_pPixelBits, rows.data(), rows.size() < cbBlock ? rows.size() : cbBlock);
    image.m_nPixelDepth = nDepth;
    image.m_dwPixelsWide = dwWidth;
    image.m_dwPixelsHigh = dwHeight;
    image.m_bRowsAligned = bAligned;
}

Bytes PixelBytes(const SECImage& image, size_t cb)
{
    return Bytes(image.m_pPixelBits, image.m_pPixelBits + cb);
}

std::vector<Rgb> PaletteEntries(const SECImage& image)
{
    std::vector<Rgb> entries;
    if (image.m_pImagePalette == nullptr)
        return entries;
    const HPALETTE hPalette = *image.m_pImagePalette;
    const UINT nCount = ::GetPaletteEntries(hPalette, 0, 0, nullptr);
    std::vector<PALETTEENTRY> raw(nCount);
    ::GetPaletteEntries(hPalette, 0, nCount, raw.data());
    for (const PALETTEENTRY& e : raw)
        entries.push_back({ e.peRed, e.peGreen, e.peBlue });
    return entries;
}

bool operator==(const Rgb& a, const Rgb& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}
