// USB 2.0 descriptors and requests (device qualifier, other-speed configuration, interface association,
// hub class). The definitions live in usbspec.h, which serves every USB version.
#pragma once

#include "usbspec.h"
