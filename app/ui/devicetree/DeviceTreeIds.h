// The device tree's and the stack inspector's ids: the type codes their items' images stand for, their
// controls, their bitmaps and the commands their menus and pages send.
#pragma once

#include "afxwin.h"
#include "app/devices/DeviceStack.h" // DT_HOST_CONTROLLER ... DT_NONE, the codes the device model shares

// The codes only the trees use (the image of each item is its code).
enum DeviceTreeNodeType : int {
    DT_COMPUTER_SYSTEM = 0,
    DT_DRIVER_NODE = 6,
    DT_DEVICE_NODE = 7,
    DT_STACK_NODE = 8,
    DT_DEVICE_REMOVED_NODE = 9,
    DT_DRIVER_REMOVED_NODE = 10,
    DT_PDO_NODE = 12,
};

// The images: sixteen 16 x 16 images, one per type code 0 to 15; the check states: 13 pixels wide, state
// images 1 unchecked, 2 checked, 3 uncheckable. White is the mask colour of both.
constexpr UINT IDB_DEVICE_TREE_IMAGES = 197;
constexpr UINT IDB_DEVICE_TREE_STATES = 201;
constexpr int kDeviceTreeImageWidth = 16;
constexpr int kDeviceTreeStateWidth = 13;
constexpr COLORREF kDeviceTreeMask = RGB(255, 255, 255);

// The pages' trees, the tab container that holds them, and the stack inspector's list.
constexpr UINT IDC_DEVICES_TREE = 110;
constexpr UINT IDC_STACKS_TREE = 111;
constexpr UINT IDC_DRIVERS_TREE = 112;
constexpr UINT IDC_STACK_LIST = 114;
constexpr UINT IDC_DEVICE_TREE_TABS = 59648;

// The Device Properties pane's command that shows the selected device's Plug and Play properties.
constexpr UINT ID_DEVICEPROPS_PNP = 32914;
