// The user-mode platform as the application sees it: one header for the whole of it.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "WinHandles.h"
#include "WinFiles.h"
#include "WinSections.h"
#include "WinModules.h"
#include "WinSystemInfo.h"
#include "WinVersionInfo.h"
