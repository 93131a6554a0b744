#include "TestPictures.h"

Bytes BuildBmp(LONG width, LONG height, WORD bitCount, const Bytes& table, const Bytes& pixels)
{
    Bytes out;
    auto put = [&out](DWORD v, int cb) {
        for (int i = 0; i < cb; i++)
            out.push_back(static_cast<BYTE>(v >> (8 * i)));
    };
    const DWORD dwOffBits = static_cast<DWORD>(54 + table.size());
    put('B' | 'M' << 8, 2);
    for (DWORD v : { DWORD(dwOffBits + pixels.size()), DWORD(0), dwOffBits, DWORD(40), DWORD(width), DWORD(height) })
        put(v, 4);
    put(1 | bitCount << 16, 4);
    for (DWORD v : { DWORD(0), DWORD(0), DWORD(2835), DWORD(2835), DWORD(table.size() / 4), DWORD(0) })
        put(v, 4);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
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

Bytes PixelBytes(const SECImage& image, size_t cb)
{
    return Bytes(image.m_pPixelBits, image.m_pPixelBits + cb);
}
