// The framework's standard dialogs.
#pragma once

#include "AfxFileDialog.h"
#include "afxwin.h"
