#include "app/devices/System.h"

void CSystem::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        ar << m_strName;
    else
        ar >> m_strName;
}
