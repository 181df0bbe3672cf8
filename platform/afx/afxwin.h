// The application framework's window classes and the document/view architecture: command targets and message
// maps, the application object, threads, documents and their templates. It brings in afx.h.
#pragma once

#include "afx.h"

#include "AfxCmdTarget.h"
#include "AfxCmdUI.h"
#include "AfxCommandLineInfo.h"
#include "AfxDocManager.h"
#include "AfxDocTemplate.h"
#include "AfxDocument.h"
#include "AfxHtmlHelp.h"
#include "AfxMessageBox.h"
#include "AfxMessages.h"
#include "AfxMsgMap.h"
#include "AfxPath.h"
#include "AfxRecentFileList.h"
#include "AfxWinApp.h"
#include "AfxWinThread.h"
