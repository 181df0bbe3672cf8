// CSystem: the capturing machine, root object of the capture document's connection tree. A placeholder for
// now: its name only, stored as one string.
#pragma once

#include "afx.h"

class CSystem : public CObject {
public:
    CSystem() = default;
    explicit CSystem(LPCSTR lpszName) : m_strName(lpszName) {}
    ~CSystem() override = default;

    const CString& GetName() const { return m_strName; }

    void Serialize(CArchive& ar) override;

private:
    CString m_strName;
};
