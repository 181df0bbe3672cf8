#include "app/ui/frame/ChildFrame.h"

IMPLEMENT_DYNCREATE(CChildFrame, CMDIChildWnd)
