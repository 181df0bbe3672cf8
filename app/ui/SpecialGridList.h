// CSpecialGridList: the stack inspector's list of the device objects of one device stack, each row with a
// capture check box, and a writeable flag that the pane holder clears while a capture runs (user clicks then
// change no check).
//
// For now the list holds only its flag and the operations the pane holder forwards, which leave it empty: the
// rows come with the stack inspector, which keeps this interface.
#pragma once

#include "afxwin.h"
#include "app/widgets/OXGridList.h"

class CDeviceStack;
class CUSBLog;

class CSpecialGridList : public COXGridList {
    DECLARE_DYNAMIC(CSpecialGridList)
public:
    CSpecialGridList() = default;
    ~CSpecialGridList() override = default;

    // The list emptied and filled with the stack's device objects; nothing for no stack.
    void OnPopulateList(CDeviceStack* pStack);
    void OnClearList();
    // Every row whose device object can be captured checked, or unchecked, with its object.
    void OnCheckAll();
    void OnUnCheckAll();
    // The document is about to delete its device model: no row may keep pointing into it.
    void DeviceModelChanging(CUSBLog* pDoc);

    BOOL IsWriteable() const { return m_bWriteable; }
    void SetWriteable(BOOL bWriteable) { m_bWriteable = bWriteable ? TRUE : FALSE; }

private:
    BOOL m_bWriteable = TRUE;
};
