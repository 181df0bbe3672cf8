// The user-mode platform as the application sees it: one header for the whole of it.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "WinHandles.h"
#include "WinFiles.h"
#include "WinSections.h"
#include "WinExceptions.h"
#include "WinModules.h"
#include "WinSync.h"
#include "WinThreads.h"
#include "WinTime.h"
#include "WinSystemInfo.h"
#include "WinVersionInfo.h"
#include "WinRegistry.h"
#include "WinEnvironment.h"
#include "evntrace.h"
#include "WinDeviceIo.h"
