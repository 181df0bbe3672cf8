// The help topics of captured requests: a request's group and code to the context id of its topic.
#pragma once

#include "windows.h"

// Groups the record list asks help for.
constexpr UINT HELP_GROUP_URB = 1000;            // URB function codes
constexpr UINT HELP_GROUP_INTERNAL_IOCTL = 1400; // internal USB IOCTL codes
constexpr UINT HELP_GROUP_HUB_INTERFACE = 1800;  // hub interface function indices
constexpr UINT HELP_GROUP_HOOK = 1900;           // port-driver hook function indices

// The context id, or 0 for a group that has no topics.
DWORD HelpContextForCode(UINT nGroup, ULONG nCode);
