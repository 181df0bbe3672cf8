// What the hub and hub-port records of a capture file share: reaching the loading document's stacks.
#pragma once

#include "afx.h"

class CDeviceStack;
class CUSBLog;

// The capture document the archive loads into, or null.
CUSBLog* ArchiveDocument(const CArchive& ar);
// The document's stack of that id; null for id 0, no document or no such stack.
CDeviceStack* ArchiveStack(const CArchive& ar, USHORT stackId);
