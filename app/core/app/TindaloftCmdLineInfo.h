// CTindaloftCmdLineInfo: the program's command line. It adds no options of its own: every argument is read by
// the framework's parser (a file name opens a saved log; /Embedding and the like suppress the splash window).
#pragma once

#include "afxwin.h"

class CTindaloftCmdLineInfo : public CCommandLineInfo {};
