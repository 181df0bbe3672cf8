// CLogListView: the record list, the first view of every capture document. For now it holds what the
// formatters read: the unit and the mode of the elapsed-time column.
#pragma once

#include "afxwin.h"

class CLogListView : public CView {
    DECLARE_DYNCREATE(CLogListView)
public:
    // Units of the elapsed-time column.
    enum { TimeUnitSeconds = 0, TimeUnitMilliseconds = 1, TimeUnitMicroseconds = 2 };
    // Mode 1 times each record from the one before it; any other from the latest log start.
    static constexpr int TimeModeSincePrevious = 1;

    CLogListView() = default;
    ~CLogListView() override = default;

    int GetTimeUnit() const { return m_nTimeUnit; }
    void SetTimeUnit(int nUnit) { m_nTimeUnit = nUnit; }
    int GetTimeMode() const { return m_nTimeMode; }
    void SetTimeMode(int nMode) { m_nTimeMode = nMode; }

    void OnDraw(CDC* pDC) override;

private:
    int m_nTimeUnit = TimeUnitSeconds;
    int m_nTimeMode = 0;
};
