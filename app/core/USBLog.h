// CUSBLog: the capture document. For now it holds what the record store and the capture banks ask of it:
// the store it owns, the buffer filter (and whether it is on), the schema its records are read with, and
// the application's settings.
#pragma once

#include "afx.h"

class CAppSettings;
class CFilterDefinition;

namespace LogRecords {
class CLogRecords;
}

class CUSBLog {
public:
    // The schema of records this program captures.
    static constexpr UINT CurrentRecordSchema = 12;

    CUSBLog();
    virtual ~CUSBLog();
    CUSBLog(const CUSBLog&) = delete;
    CUSBLog& operator=(const CUSBLog&) = delete;

    LogRecords::CLogRecords* GetLogRecords() const { return m_pLogRecords; }

    BOOL IsBufferFilterOn() const { return m_bBufferFilterOn != 0; }
    void SetBufferFilterOn(BOOL bOn) { m_bBufferFilterOn = bOn ? 1 : 0; }
    CFilterDefinition* GetBufferFilter() const { return m_pBufferFilter; }
    // The document owns the filter from here on; the one it had is deleted.
    void SetBufferFilter(CFilterDefinition* pFilter);

    UINT GetRecordSchema() const { return m_nRecordSchema; }
    void SetRecordSchema(UINT nSchema) { m_nRecordSchema = nSchema; }

    CAppSettings* GetSettings() const { return m_pSettings; }
    void SetSettings(CAppSettings* pSettings) { m_pSettings = pSettings; }

private:
    LogRecords::CLogRecords* m_pLogRecords;
    UINT m_bBufferFilterOn;
    CFilterDefinition* m_pBufferFilter;
    UINT m_nRecordSchema;
    CAppSettings* m_pSettings;
};
