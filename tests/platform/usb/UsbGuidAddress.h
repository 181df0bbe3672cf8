// The address of a GUID constant as a second translation unit sees it.
#pragma once

#include "guiddef.h"

const GUID* UsbHubGuidAddressFromOtherUnit();
