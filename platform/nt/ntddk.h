// Kernel-mode interface for drivers that use more than WDM: the WDM interface and the rest of the kernel's
// exports the system's drivers use.
#pragma once

#include "wdm.h"
