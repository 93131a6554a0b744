#include "PtrList.h"

#include <cstring>

// A position is the index of its entry plus one, so that null means "none".
static POSITION PositionOf(int nIndex) { return reinterpret_cast<POSITION>(static_cast<INT_PTR>(nIndex) + 1); }
static int IndexOf(POSITION pos) { return static_cast<int>(reinterpret_cast<INT_PTR>(pos) - 1); }

CPtrList::CPtrList(int nBlockSize)
    : m_pEntries(nullptr), m_nCount(0), m_nCapacity(0), m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10)
{
}

CPtrList::~CPtrList()
{
    delete[] m_pEntries;
}

POSITION CPtrList::AddTail(void* pNew)
{
    if (m_nCount == m_nCapacity)
    {
        void** pGrown = new void*[static_cast<size_t>(m_nCapacity) + static_cast<size_t>(m_nBlockSize)];
        if (m_nCount > 0)
            std::memcpy(pGrown, m_pEntries, sizeof(void*) * static_cast<size_t>(m_nCount));
        delete[] m_pEntries;
        m_pEntries = pGrown;
        m_nCapacity += m_nBlockSize;
    }
    m_pEntries[m_nCount] = pNew;
    return PositionOf(m_nCount++);
}

POSITION CPtrList::GetHeadPosition() const
{
    return m_nCount > 0 ? PositionOf(0) : nullptr;
}

void* CPtrList::GetNext(POSITION& pos) const
{
    const int nIndex = IndexOf(pos);
    pos = nIndex + 1 < m_nCount ? PositionOf(nIndex + 1) : nullptr;
    return m_pEntries[nIndex];
}

void CPtrList::RemoveAll()
{
    delete[] m_pEntries;
    m_pEntries = nullptr;
    m_nCount = 0;
    m_nCapacity = 0;
}
