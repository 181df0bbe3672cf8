#include "AfxObject.h"

#include <cstring>

#include "AfxArchive.h"

namespace {
// Registered serializable classes, newest first. Built by static initialisers before main and only read
// afterwards.
AFX_CLASSINIT* g_pFirstClassInit = nullptr;
} // namespace

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr, nullptr};

CRuntimeClass* CObject::GetRuntimeClass() const {
    return RUNTIME_CLASS(CObject);
}

void CObject::Serialize(CArchive&) {}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const {
    return GetRuntimeClass()->m_wSchema != 0xFFFF;
}

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass) : m_pClass(pNewClass), m_pNext(g_pFirstClassInit) {
    g_pFirstClassInit = this;
}

CObject* CRuntimeClass::CreateObject() {
    if (m_pfnCreateObject == nullptr)
        return nullptr;
    return (*m_pfnCreateObject)();
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass)
        if (p == pBaseClass)
            return TRUE;
    return FALSE;
}

CRuntimeClass* PASCAL CRuntimeClass::FromName(LPCSTR lpszClassName) {
    if (lpszClassName == nullptr)
        return nullptr;
    for (AFX_CLASSINIT* p = g_pFirstClassInit; p != nullptr; p = p->m_pNext)
        if (std::strcmp(p->m_pClass->m_lpszClassName, lpszClassName) == 0)
            return p->m_pClass;
    return nullptr;
}

CObject* PASCAL CRuntimeClass::CreateObject(LPCSTR lpszClassName) {
    CRuntimeClass* pClass = FromName(lpszClassName);
    return pClass == nullptr ? nullptr : pClass->CreateObject();
}

void CRuntimeClass::Store(CArchive& ar) const {
    WORD nLen = static_cast<WORD>(std::strlen(m_lpszClassName));
    ar << static_cast<WORD>(m_wSchema) << nLen;
    ar.Write(m_lpszClassName, nLen);
}

CRuntimeClass* PASCAL CRuntimeClass::Load(CArchive& ar, UINT* pwSchemaNum) {
    WORD wSchema = 0;
    WORD nLen = 0;
    ar >> wSchema >> nLen;
    *pwSchemaNum = wSchema;
    // Class names are short; a longer one cannot name a class of the program.
    char szClassName[64];
    if (nLen >= sizeof szClassName)
        return nullptr;
    ar.EnsureRead(szClassName, nLen);
    szClassName[nLen] = '\0';
    return FromName(szClassName);
}
