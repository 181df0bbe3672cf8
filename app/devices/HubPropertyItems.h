// Property-pane items the hub and hub-port pages share: a device stack's identity and the device-interface
// sub-categories of a device class.
#pragma once

#include "afx.h"

class CDeviceClass;
class CDeviceStack;
class CGkPropertyGridItem;

// "Description", "Setup Class", "Class GUID", "Enumerator" and "Hardware ID" of the stack.
void AddStackPropertyItems(const CDeviceStack& stack, CGkPropertyGridItem* pCategory);

// An expanded "Device Interface : <name>" sub-category for interface entry i of the class: "Interface GUID",
// "Symbolic Link" (link i) and, when the class has device names, "Device Name" (name i). Entries the class
// does not hold read as empty.
void AddDeviceInterfaceCategory(const CDeviceClass& deviceClass, INT_PTR i, LPCSTR lpszName, LPCSTR lpszGuidText,
                                CGkPropertyGridItem* pCategory);

// The sub-category of every hub interface entry of the class (the USB hub class or the vendor's USB 3 hub
// class) that has a symbolic link; other interface classes are skipped.
void AddHubInterfaceCategories(const CDeviceClass& deviceClass, CGkPropertyGridItem* pCategory);

// The lower-case registry text of an interface entry's GUID, empty when the class has no such entry.
CString InterfaceGuidText(const CDeviceClass& deviceClass, INT_PTR i);
