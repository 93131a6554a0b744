// CObject and run-time class records: the root of every framework and image class.
#pragma once

#include <windows.h>

class CObject;
class CArchive;     // no archive is ever created; the name only fixes the Serialize slot
class CDumpContext; // diagnostics are not built; the name only fixes the Dump slot

// One record per class that declares run-time class information.
struct CRuntimeClass
{
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;                        // 0xFFFF: the class is not serializable
    CObject* (*m_pfnCreateObject)();       // null: not creatable by name
    const CRuntimeClass* m_pBaseClass;

    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

class CObject
{
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() {}
    virtual void Serialize(CArchive&) {}
    virtual void AssertValid() const {}
    virtual void Dump(CDumpContext&) const {}

    BOOL IsKindOf(const CRuntimeClass* pClass) const;

    static const CRuntimeClass classCObject;

protected:
    CObject() {}

private:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                         \
public:                                                                     \
    static const CRuntimeClass class##class_name;                           \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_SERIAL(class_name)                                          \
    DECLARE_DYNAMIC(class_name)                                             \
    static CObject* CreateObject();

#define IMPLEMENT_DYNAMIC(class_name, base_name)                            \
    const CRuntimeClass class_name::class##class_name = {                   \
        #class_name, sizeof(class_name), 0xFFFF, nullptr,                   \
        RUNTIME_CLASS(base_name) };                                         \
    const CRuntimeClass* class_name::GetRuntimeClass() const                \
    { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_SERIAL(class_name, base_name, schema)                     \
    CObject* class_name::CreateObject() { return new class_name; }          \
    const CRuntimeClass class_name::class##class_name = {                   \
        #class_name, sizeof(class_name), schema, class_name::CreateObject,  \
        RUNTIME_CLASS(base_name) };                                         \
    const CRuntimeClass* class_name::GetRuntimeClass() const                \
    { return RUNTIME_CLASS(class_name); }

// pObject when it is of class pClass or derived from it, otherwise null.
CObject* AfxDynamicDownCast(const CRuntimeClass* pClass, CObject* pObject);
