// CCollection: a growable array of owned picture paths, filled by appending
// and emptied as a whole.
#pragma once

#include "../framework/Afx.h"

class CCollection : public CObject
{
public:
    CCollection();
    ~CCollection() override;

    virtual void RemoveAll(bool bShrink);
    virtual CString** AllocateSlots(int nSlots);
    virtual void FreeSlots();
    virtual void SetCapacity(int nSlots);
    virtual void Add(CString* pItem);

    int m_nCount;      // slots in use
    int m_nGrowBy;     // growth step in slots
    int m_nCapacity;   // slots allocated
    CString** m_ppItems;

private:
    void DeleteItems();
};
