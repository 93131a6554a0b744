#include "Collection.h"

#include <climits>

CCollection::CCollection()
    : m_strName("CCollection"), m_nCount(0), m_nGrowBy(50), m_nCapacity(2), m_ppItems(nullptr)
{
    m_ppItems = AllocateSlots(m_nCapacity);
}

CCollection::~CCollection()
{
    DeleteItems();
    FreeSlots();
}

void CCollection::DeleteItems()
{
    for (int i = 0; i < m_nCount; i++)
    {
        delete m_ppItems[i];
        m_ppItems[i] = nullptr;
    }
}

void CCollection::RemoveAt(int nIndex, bool bShift)
{
    if (nIndex < 0 || nIndex >= m_nCount)
        return;
    delete m_ppItems[nIndex];
    m_ppItems[nIndex] = nullptr;
    if (bShift)
    {
        for (int i = nIndex; i + 1 < m_nCount; i++)
            m_ppItems[i] = m_ppItems[i + 1];
        m_ppItems[--m_nCount] = nullptr;
    }
    else if (nIndex == m_nCount - 1)
        m_nCount--;
}

void CCollection::RemoveAll(bool bShrink)
{
    DeleteItems();
    m_nCount = 0;
    if (bShrink)
        SetCapacity(m_nGrowBy);
}

CString** CCollection::AllocateSlots(int nSlots)
{
    return new CString*[static_cast<size_t>(nSlots)];
}

void CCollection::FreeSlots()
{
    delete[] m_ppItems;
    m_ppItems = nullptr;
}

void CCollection::SetCapacity(int nSlots)
{
    // Never fewer slots than are in use: no item may be dropped unowned.
    if (nSlots == m_nCapacity || nSlots < m_nCount)
        return;
    CString** ppSlots = AllocateSlots(nSlots);
    const int nKeep = m_nCapacity < nSlots ? m_nCapacity : nSlots;
    for (int i = 0; i < nKeep; i++)
        ppSlots[i] = m_ppItems[i];
    FreeSlots();
    m_ppItems = ppSlots;
    m_nCapacity = nSlots;
}

void CCollection::InsertAt(CString* pItem, int nIndex)
{
    if (nIndex < 0)
        return;
    if (nIndex >= m_nCount)
    {
        SetAt(pItem, nIndex);
        return;
    }
    if (m_nCount == m_nCapacity)
        SetCapacity(m_nCapacity + m_nGrowBy);
    for (int i = m_nCount; i > nIndex; i--)
        m_ppItems[i] = m_ppItems[i - 1];
    m_ppItems[nIndex] = pItem;
    m_nCount++;
}

void CCollection::Add(CString* pItem)
{
    if (m_nCount == m_nCapacity)
        SetCapacity(m_nCapacity + m_nGrowBy);
    m_ppItems[m_nCount++] = pItem;
}

void CCollection::SetAt(CString* pItem, int nIndex)
{
    if (nIndex < 0)
        return;
    if (nIndex < m_nCount)
    {
        if (m_ppItems[nIndex] != pItem)
        {
            delete m_ppItems[nIndex];
            m_ppItems[nIndex] = pItem;
        }
        return;
    }
    // Past the end: the gap up to the index becomes holes. An index whose
    // slot count would not fit an int is refused.
    if (nIndex > INT_MAX - m_nGrowBy - 1)
        return;
    if (m_nCapacity < m_nGrowBy + nIndex + 1)
        SetCapacity(m_nGrowBy + nIndex + 1);
    for (int i = m_nCount; i < nIndex; i++)
        m_ppItems[i] = nullptr;
    m_ppItems[nIndex] = pItem;
    m_nCount = nIndex + 1;
}

int CCollection::DetachAt(int nIndex)
{
    if (nIndex >= 0 && nIndex < m_nCount)
        m_ppItems[nIndex] = nullptr;
    return nIndex;
}

int CCollection::Find(CString* pItem)
{
    for (int i = 0; i < m_nCount; i++)
        if (m_ppItems[i] == pItem)
            return i;
    return -1;
}

void CCollection::Compact()
{
    int nItems = 0;
    for (int i = 0; i < m_nCount; i++)
        if (m_ppItems[i] != nullptr)
            nItems++;
    CString** ppSlots = AllocateSlots(nItems + 10);
    int nNext = 0;
    for (int i = 0; i < m_nCount; i++)
        if (m_ppItems[i] != nullptr)
            ppSlots[nNext++] = m_ppItems[i];
    FreeSlots();
    m_ppItems = ppSlots;
    m_nCount = nItems;
    m_nCapacity = nItems + 10;
}
