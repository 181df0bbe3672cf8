// The application framework's window classes and the document/view architecture: command targets and message
// maps, windows, frames, views and control bars, the drawing wrappers, the application object, threads,
// documents and their templates. It brings in afx.h.
#pragma once

#include "afx.h"

#include "AfxCmdTarget.h"
#include "AfxCmdUI.h"
#include "AfxCommandLineInfo.h"
#include "AfxControlBar.h"
#include "AfxDC.h"
#include "AfxDocManager.h"
#include "AfxDocTemplate.h"
#include "AfxDocument.h"
#include "AfxFrameWnd.h"
#include "AfxGdiObject.h"
#include "AfxGeometry.h"
#include "AfxHtmlHelp.h"
#include "AfxMessageBox.h"
#include "AfxMessages.h"
#include "AfxMsgMap.h"
#include "AfxPath.h"
#include "AfxRecentFileList.h"
#include "AfxView.h"
#include "AfxWaitCursor.h"
#include "AfxWinApp.h"
#include "AfxWinThread.h"
#include "AfxWindowDC.h"
#include "AfxWnd.h"
#include "AfxWndClass.h"
#include "AfxWndMsgMap.h"
