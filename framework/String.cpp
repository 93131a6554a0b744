#include "String.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void CString::Format(LPCSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    va_list measure;
    va_copy(measure, args);
    const int nLength = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);
    if (nLength < 0)
        m_str.clear();
    else
    {
        m_str.assign(static_cast<size_t>(nLength), '\0');
        std::vsnprintf(&m_str[0], static_cast<size_t>(nLength) + 1, pszFormat, args);
    }
    va_end(args);
}

void CString::MakeLower()
{
    for (char& ch : m_str)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
}

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    const size_t nKeep = static_cast<size_t>(nCount) < m_str.size() ? static_cast<size_t>(nCount) : m_str.size();
    return CString(m_str.c_str() + (m_str.size() - nKeep));
}

LPSTR CString::GetBuffer(int nMinLength)
{
    if (nMinLength > 0 && static_cast<size_t>(nMinLength) > m_str.size())
        m_str.resize(static_cast<size_t>(nMinLength), '\0');
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(std::strlen(m_str.c_str()));
    if (static_cast<size_t>(nNewLength) < m_str.size())
        m_str.resize(static_cast<size_t>(nNewLength));
}
