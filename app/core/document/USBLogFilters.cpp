// CUSBLog: the capture filter, the buffer filter and the trigger, and the filter dialog that edits them.
#include <memory>
#include <new>

#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/filterdialog/FilterDefinitionDlg.h"

void CUSBLog::UpdateViews() {
    // The views redraw what changed in force; the filters alone do not make the capture worth saving.
    SetModifiedFlag(TRUE);
    UpdateAllViews(nullptr);
    SetModifiedFlag(FALSE);
}

void CUSBLog::SetCaptureFilter(const FILTER_BLOCK& block) {
    if (auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp()))
        pApp->SetDriverLoggingOptions(&block);
    m_bCaptureFilterOn = 1;
    UpdateViews();
}

void CUSBLog::ClearCaptureFilter() {
    if (auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp()))
        pApp->SetDriverLoggingOptions(nullptr);
    m_bCaptureFilterOn = 0;
    UpdateViews();
}

void CUSBLog::ApplyBufferFilter() {
    if (m_pLogRecords != nullptr) {
        // Built afresh, so that no match of an earlier filter stays in the view.
        m_pLogRecords->ClearFiltered();
        const INT_PTR nCount = m_pLogRecords->GetCount();
        for (INT_PTR i = 0; i < nCount; ++i)
            m_pLogRecords->AddFiltered(this, m_pLogRecords->GetAt(i));
    }
    m_bBufferFilterOn = 1;
    UpdateViews();
}

void CUSBLog::ClearBufferFilter() {
    m_bBufferFilterOn = 0;
    UpdateViews();
    if (m_pLogRecords != nullptr)
        m_pLogRecords->ClearFiltered();
}

void CUSBLog::TriggerOn() {
    SetTriggerOn(TRUE);
    UpdateViews();
}

void CUSBLog::TriggerOff() {
    SetTriggerOn(FALSE);
    UpdateViews();
}

void CUSBLog::OnEditFilter() {
    // The capture thread reads the buffer filter while it runs: never replace it under it.
    if (IsLogging())
        return;
    const BOOL bLive = IsRealtimeDocument() ? TRUE : FALSE;
    if (IsBufferFilterOn() && m_pBufferFilter != nullptr) {
        CFilterDefinitionDlg dlg(m_pBufferFilter.get(), bLive, TRUE, GetMainWindow());
        dlg.m_nMode = CFilterDefinitionDlg::BufferFilter;
        const INT_PTR nResult = dlg.DoModal();
        if (nResult == IDOK) {
            ClearBufferFilter();
            ApplyBufferFilter();
        } else if (nResult != CFilterDefinitionDlg::ApplyToNextCapture) {
            ClearBufferFilter();
            SetBufferFilter(nullptr);
        }
        return;
    }
    if (IsCaptureFilterOn() && bLive && m_pCaptureFilter != nullptr) {
        CFilterDefinitionDlg dlg(m_pCaptureFilter.get(), bLive, TRUE, GetMainWindow());
        dlg.m_nMode = CFilterDefinitionDlg::CaptureFilter;
        const INT_PTR nResult = dlg.DoModal();
        if (nResult == CFilterDefinitionDlg::ApplyToNextCapture) {
            ClearCaptureFilter();
            SetCaptureFilter(m_pCaptureFilter->GetBlock());
        } else if (nResult != IDOK) {
            ClearCaptureFilter();
            SetCaptureFilter(nullptr);
        }
        return;
    }
    std::unique_ptr<CFilterDefinition> pFilter(new (std::nothrow) CFilterDefinition);
    if (pFilter == nullptr)
        return;
    CFilterDefinitionDlg dlg(pFilter.get(), bLive, FALSE, GetMainWindow());
    dlg.m_nMode = CFilterDefinitionDlg::BufferFilter;
    const INT_PTR nResult = dlg.DoModal();
    if (nResult == IDOK) {
        SetBufferFilter(pFilter.release());
        ApplyBufferFilter();
    } else if (nResult == CFilterDefinitionDlg::ApplyToNextCapture) {
        SetCaptureFilter(pFilter.release());
        SetCaptureFilter(m_pCaptureFilter->GetBlock());
    }
}

void CUSBLog::OnEditTrigger() {
    // The capture thread tests the trigger while it runs: never replace it under it.
    if (IsLogging())
        return;
    if (!IsTriggerOn() || m_pTrigger == nullptr || IsLogFileDocument()) {
        std::unique_ptr<CFilterDefinition> pTrigger(new (std::nothrow) CFilterDefinition);
        if (pTrigger == nullptr)
            return;
        CFilterDefinitionDlg dlg(pTrigger.get(), IsRealtimeDocument() ? TRUE : FALSE, FALSE, GetMainWindow());
        dlg.m_nMode = CFilterDefinitionDlg::Trigger;
        if (dlg.DoModal() == CFilterDefinitionDlg::ApplyToNextCapture) {
            SetTrigger(pTrigger.release());
            ClearTriggerMark();
            TriggerOn();
        }
        return;
    }
    CFilterDefinitionDlg dlg(m_pTrigger.get(), TRUE, TRUE, GetMainWindow());
    dlg.m_nMode = CFilterDefinitionDlg::Trigger;
    const INT_PTR nResult = dlg.DoModal();
    if (nResult == CFilterDefinitionDlg::ApplyToNextCapture) {
        ClearTriggerMark();
        TriggerOff();
        TriggerOn();
    } else if (nResult != IDOK) {
        SetTrigger(nullptr);
        TriggerOff();
    }
}
