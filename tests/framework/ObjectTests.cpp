#include <doctest.h>

#include "Afx.h"

class CShape : public CObject
{
    DECLARE_SERIAL(CShape)
};
IMPLEMENT_SERIAL(CShape, CObject, 1)

class CCircle : public CShape
{
    DECLARE_SERIAL(CCircle)
};
IMPLEMENT_SERIAL(CCircle, CShape, 1)

TEST_CASE("Run-time classes name their class, schema and creation function")
{
    CCircle circle;
    const CRuntimeClass* pClass = circle.GetRuntimeClass();
    CHECK(std::string(pClass->m_lpszClassName) == "CCircle");
    CHECK(pClass->m_wSchema == 1);
    CHECK(pClass->m_nObjectSize == sizeof(CCircle));
    CObject* pCreated = pClass->m_pfnCreateObject();
    CHECK(pCreated->GetRuntimeClass() == RUNTIME_CLASS(CCircle));
    delete pCreated;
    CHECK((RUNTIME_CLASS(CWnd)->m_pfnCreateObject == nullptr));
}

TEST_CASE("AfxDynamicDownCast accepts the class and its descendants only")
{
    CCircle circle;
    CShape shape;
    CHECK(AfxDynamicDownCast(RUNTIME_CLASS(CShape), &circle) == &circle);
    CHECK(AfxDynamicDownCast(RUNTIME_CLASS(CCircle), &shape) == nullptr);
    CHECK(AfxDynamicDownCast(RUNTIME_CLASS(CObject), &shape) == &shape);
    CHECK(AfxDynamicDownCast(RUNTIME_CLASS(CDialog), nullptr) == nullptr);
    CWnd wnd;
    CHECK(AfxDynamicDownCast(RUNTIME_CLASS(CDialog), &wnd) == nullptr);
}

TEST_CASE("CPtrList keeps its order across block growth and empties")
{
    CPtrList list(3);
    int values[8];
    for (int& value : values)
        list.AddTail(&value);
    CHECK(list.GetCount() == 8);
    int nIndex = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr; nIndex++)
        CHECK(list.GetNext(pos) == &values[nIndex]);
    CHECK(nIndex == 8);
    list.RemoveAll();
    CHECK(list.GetCount() == 0);
    CHECK(list.GetHeadPosition() == nullptr);
}

TEST_CASE("A GDI object is deleted with its owner")
{
    HGDIOBJ hBrush;
    {
        CBrush brush(RGB(1, 2, 3));
        hBrush = brush.m_hObject;
        CHECK(hBrush != nullptr);
        LOGBRUSH lb;
        CHECK(::GetObjectA(hBrush, sizeof(lb), &lb) == sizeof(lb));
        CHECK(lb.lbColor == RGB(1, 2, 3));
    }
    LOGBRUSH lb;
    CHECK(::GetObjectA(hBrush, sizeof(lb), &lb) == 0);

    CPalette palette;
    CHECK_FALSE(palette.Attach(nullptr));
    CHECK_FALSE(palette.DeleteObject());
}
