// CObject, the root of the framework's classes, and CRuntimeClass, the run-time description that gives an
// object its class name, its base class, dynamic creation and its schema in archives.
//
// Declaring a class:
//   class CThing : public CObject { DECLARE_SERIAL(CThing) ... };          // in the header
//   IMPLEMENT_SERIAL(CThing, CObject, VERSIONABLE_SCHEMA | 12)              // in one .cpp
// DECLARE_DYNAMIC / IMPLEMENT_DYNAMIC give IsKindOf only; DECLARE_DYNCREATE / IMPLEMENT_DYNCREATE add
// CreateObject; DECLARE_SERIAL / IMPLEMENT_SERIAL add the archive operator>> and make the class known to
// CRuntimeClass::FromName, which is how an archive finds a class by its stored name.
#pragma once

#include <new>

#include "AfxDefs.h"

class CArchive;
class CObject;

// A schema with this bit set may be loaded from an archive that stored another schema number; the object
// asks CArchive::GetObjectSchema which one it is reading.
#define VERSIONABLE_SCHEMA (0x80000000)

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;                        // 0xFFFF: not serializable
    CObject*(PASCAL* m_pfnCreateObject)(); // null: not dynamically creatable
    CRuntimeClass* m_pBaseClass;

    CObject* CreateObject();
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

    static CRuntimeClass* PASCAL FromName(LPCSTR lpszClassName);
    static CObject* PASCAL CreateObject(LPCSTR lpszClassName);

    // Archive form of a class: u16 schema, u16 name length, the name's bytes.
    void Store(CArchive& ar) const;
    static CRuntimeClass* PASCAL Load(CArchive& ar, UINT* pwSchemaNum);
};

// Registers a serializable class for FromName; one static instance per IMPLEMENT_SERIAL. The run-time
// class itself is a constant, so the list of registered classes runs through these records.
struct AFX_CLASSINIT {
    explicit AFX_CLASSINIT(CRuntimeClass* pNewClass);
    CRuntimeClass* m_pClass;
    AFX_CLASSINIT* m_pNext;
};

class CObject {
public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = 0;
    virtual void Serialize(CArchive& ar);

    BOOL IsKindOf(const CRuntimeClass* pClass) const;
    BOOL IsSerializable() const;

    static const CRuntimeClass classCObject;

    // Objects come from AfxAllocateRaw, so a failure plan (AfxMemoryControl.h) reaches them: a failed
    // allocation throws CMemoryException*, as the framework's new handler does; the nothrow form gives null.
    static void* operator new(size_t nSize);
    static void* operator new(size_t nSize, const std::nothrow_t&) noexcept;
    static void* operator new(size_t, void* p) noexcept { return p; }
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept;
    static void operator delete(void*, void*) noexcept {}

protected:
    CObject() = default;

public:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

inline CObject::~CObject() = default;

#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))

#define DECLARE_DYNAMIC(class_name)                                                                                    \
public:                                                                                                                \
    static const CRuntimeClass class##class_name;                                                                      \
    CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                                                                  \
    DECLARE_DYNAMIC(class_name)                                                                                        \
    static CObject* PASCAL CreateObject();

#define DECLARE_SERIAL(class_name)                                                                                     \
    DECLARE_DYNCREATE(class_name)                                                                                      \
    friend CArchive& AFXAPI operator>>(CArchive& ar, class_name*& pOb);

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew)                                           \
    const CRuntimeClass class_name::class##class_name = {#class_name, static_cast<int>(sizeof(class class_name)),      \
                                                         static_cast<UINT>(wSchema), pfnNew,                           \
                                                         RUNTIME_CLASS(base_class_name)};                              \
    CRuntimeClass* class_name::GetRuntimeClass() const {                                                               \
        return RUNTIME_CLASS(class_name);                                                                              \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                                                 \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                                               \
    CObject* PASCAL class_name::CreateObject() {                                                                       \
        return new class_name;                                                                                         \
    }                                                                                                                  \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                                                         \
    CObject* PASCAL class_name::CreateObject() {                                                                       \
        return new class_name;                                                                                         \
    }                                                                                                                  \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject)                             \
    static AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));                                                \
    CArchive& AFXAPI operator>>(CArchive& ar, class_name*& pOb) {                                                      \
        pOb = static_cast<class_name*>(ar.ReadObject(RUNTIME_CLASS(class_name)));                                      \
        return ar;                                                                                                     \
    }
