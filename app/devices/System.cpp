#include "app/devices/System.h"

#include "app/core/diagnostics/Trace.h"

IMPLEMENT_SERIAL(CSystem, CObject, VERSIONABLE_SCHEMA | 12)

void CSystem::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CSystem::Serialize (storing)");
        ar << m_SystemName;
    } else {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CSystem::Serialize (loading)");
        ar >> m_SystemName;
    }
}
