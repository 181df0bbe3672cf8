#include "app/core/USBLog.h"

#include "app/core/FilterDefinition.h"
#include "app/core/LogRecords.h"

CUSBLog::CUSBLog()
    : m_pLogRecords(nullptr), m_bBufferFilterOn(0), m_pBufferFilter(nullptr), m_nRecordSchema(CurrentRecordSchema),
      m_pSettings(nullptr) {
    m_pLogRecords = new LogRecords::CLogRecords(this);
}

CUSBLog::~CUSBLog() {
    delete m_pLogRecords;
    delete m_pBufferFilter;
}

void CUSBLog::SetBufferFilter(CFilterDefinition* pFilter) {
    if (pFilter == m_pBufferFilter)
        return;
    delete m_pBufferFilter;
    m_pBufferFilter = pFilter;
}
