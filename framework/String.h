// CString: the framework's text, a growable array of ANSI characters.
#pragma once

#include <windows.h>
#include <string>

class CString
{
public:
    CString() {}
    CString(LPCSTR psz) : m_str(psz != nullptr ? psz : "") {}
    CString(const CString&) = default;
    CString& operator=(const CString&) = default;
    CString& operator=(LPCSTR psz) { m_str = psz != nullptr ? psz : ""; return *this; }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    char GetAt(int nIndex) const { return m_str.at(static_cast<size_t>(nIndex)); }
    operator LPCSTR() const { return m_str.c_str(); }

    CString& operator+=(LPCSTR psz) { if (psz != nullptr) m_str += psz; return *this; }
    CString& operator+=(const CString& str) { m_str += str.m_str; return *this; }
    CString& operator+=(char ch) { m_str += ch; return *this; }

    // printf rules; the text grows to whatever the result needs.
    void Format(LPCSTR pszFormat, ...);
    // Letters A to Z become a to z; no other character changes.
    void MakeLower();
    // The last nCount characters (all of them when the text is shorter).
    CString Right(int nCount) const;

    // A buffer of at least nMinLength characters plus the terminating zero,
    // holding the current text; ReleaseBuffer takes the length back (-1: up
    // to the first zero).
    LPSTR GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

    friend bool operator==(const CString& a, LPCSTR b) { return a.m_str == (b != nullptr ? b : ""); }
    friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_str != b.m_str; }
    friend CString operator+(const CString& a, LPCSTR b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }

private:
    std::string m_str;
};
