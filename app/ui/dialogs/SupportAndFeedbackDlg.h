// CSupportAndFeedbackDlg: the support and feedback dialog (260). Its read-only edit control holds the version
// and platform facts to paste into a mail; "Launch &Email Client" starts a mail to support and leaves the
// dialog open, whatever the shell answered.
#pragma once

#include "afxwin.h"
#include "common/DriverInfo.h"

class CSupportAndFeedbackDlg : public CDialog {
public:
    explicit CSupportAndFeedbackDlg(CWnd* pParent = nullptr);

    // The facts of the program file's version, the application's driver information and Windows description.
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    int m_anVersion[4] = {};
};

// The three facts, each ended by a line break but the last: "Tindaloft Version a.b.c Build d" from the file
// version string `strFileVersion` ("a,b,c,d"; a missing number is 0), "KxTdloft Version ..." from the driver's
// block, then the Windows description. anVersion receives the program's four numbers.
CString SupportFacts(const CString& strFileVersion, const DRIVER_INFO& driverInfo, const CString& strWindows,
                     int (&anVersion)[4]);
// The mail the dialog starts: "mailto:" the support address, with a subject naming the product, its version and
// "Support and Feedback".
CString SupportMailAddress(const int (&anVersion)[4]);
