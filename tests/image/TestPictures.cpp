#include "TestPictures.h"

Bytes BuildBmp(LONG width, LONG height, WORD bitCount, const Bytes& table, const Bytes& pixels)
{
    const DWORD dwOffBits = static_cast<DWORD>(54 + table.size());
    const BITMAPFILEHEADER file = { 0x4D42, static_cast<DWORD>(dwOffBits + pixels.size()), 0, 0, dwOffBits };
    const BITMAPINFOHEADER info = { 40, width, height, 1, bitCount, BI_RGB, 0, 2835, 2835,
                                    static_cast<DWORD>(table.size() / 4), 0 };
    Bytes out(sizeof(file) + sizeof(info));
    ::CopyMemory(out.data(), &file, sizeof(file));
    ::CopyMemory(out.data() + sizeof(file), &info, sizeof(info));
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
