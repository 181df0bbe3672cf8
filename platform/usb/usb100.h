// USB 1.1 descriptors and requests. The definitions live in usbspec.h, which serves every USB version.
#pragma once

#include "usbspec.h"
