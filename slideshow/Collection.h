// CCollection: a growable array of owned picture paths. A slot may hold a
// null pointer (a hole); the slide show only ever appends, so its list has
// none.
#pragma once

#include "../framework/Afx.h"

class CCollection : public CObject
{
public:
    CCollection();
    ~CCollection() override;

    virtual void RemoveAt(int nIndex, bool bShift);
    virtual void RemoveAll(bool bShrink);
    virtual CString** AllocateSlots(int nSlots);
    virtual void FreeSlots();
    virtual void SetCapacity(int nSlots);
    virtual void InsertAt(CString* pItem, int nIndex);
    virtual void Add(CString* pItem);
    virtual void SetAt(CString* pItem, int nIndex);
    virtual int DetachAt(int nIndex);
    virtual int Find(CString* pItem);
    virtual void Compact();

    CString m_strName;
    int m_nCount;      // slots in use
    int m_nGrowBy;     // growth step in slots
    int m_nCapacity;   // slots allocated
    CString** m_ppItems;

private:
    void DeleteItems();
};
