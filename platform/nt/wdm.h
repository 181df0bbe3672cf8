// Kernel-mode interface for drivers: everything a WDM driver includes. A list of includes only: each part of
// the kernel stand-in has its own header.
#pragma once

#include "devioctl.h"
#include "ntdef.h"
#include "ntstatus.h"

#include "NtBugCheck.h"
#include "NtDebug.h"
#include "NtErrorLog.h"
#include "NtEvent.h"
#include "NtInterlocked.h"
#include "NtIoManager.h"
#include "NtIrql.h"
#include "NtList.h"
#include "NtLookaside.h"
#include "NtMdl.h"
#include "NtObject.h"
#include "NtPnp.h"
#include "NtPool.h"
#include "NtRegistry.h"
#include "NtRtlString.h"
#include "NtSeh.h"
#include "NtTime.h"
#include "NtVersion.h"
