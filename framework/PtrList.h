// CPtrList: an ordered list of untyped pointers, walked from the head.
#pragma once

#include "Object.h"

struct __POSITION {};
typedef __POSITION* POSITION;

class CPtrList : public CObject
{
public:
    // The list grows nBlockSize entries at a time.
    explicit CPtrList(int nBlockSize = 10);
    ~CPtrList() override;

    POSITION AddTail(void* pNew);
    POSITION GetHeadPosition() const;
    // The element at pos; pos moves on to the next one (null after the tail).
    void* GetNext(POSITION& pos) const;
    void RemoveAll();
    int GetCount() const { return m_nCount; }

private:
    void** m_pEntries;
    int m_nCount;
    int m_nCapacity;
    int m_nBlockSize;
};
