// CSystem: the capturing machine, root object of the capture document's connection tree: the name the
// application gives it (user and computer joined by an at sign).
#pragma once

#include "afx.h"

class CSystem : public CObject {
    DECLARE_SERIAL(CSystem)
public:
    static constexpr UINT CurrentSchema = 12;

    CSystem() = default;
    explicit CSystem(LPCSTR lpszName) : m_SystemName(lpszName) {}
    explicit CSystem(UINT nSchema) : m_nSchema(nSchema) {}
    ~CSystem() override = default;

    const CString& GetName() const { return m_SystemName; }

    // The name, one string.
    void Serialize(CArchive& ar) override;

    CString m_SystemName;
    UINT m_nSchema = CurrentSchema;
};
