#include "app/core/SupportAndFeedbackDlg.h"

#include "app/core/Resource.h"

CSupportAndFeedbackDlg::CSupportAndFeedbackDlg(CWnd* pParent) : CDialog(IDD_SUPPORT_FEEDBACK, pParent) {}
