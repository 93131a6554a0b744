#include "Collection.h"

CCollection::CCollection()
    : m_nCount(0), m_nGrowBy(50), m_nCapacity(2), m_ppItems(nullptr)
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

void CCollection::Add(CString* pItem)
{
    if (m_nCount == m_nCapacity)
        SetCapacity(m_nCapacity + m_nGrowBy);
    m_ppItems[m_nCount++] = pItem;
}
