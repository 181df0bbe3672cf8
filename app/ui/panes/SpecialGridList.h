// CSpecialGridList: the stack inspector's list of the device objects of one device stack, a row each in stack
// order with its image, name, address and driver, and a capture check box: checked, unchecked, or uncheckable
// (state image 3) for an object that cannot be captured. It answers the stack-list messages any window sends to
// the main window's descendants, and keeps a writeable flag that the pane holder clears while a capture runs
// (the user's clicks then change no check; the program's own check-all still does).
#pragma once

#include "afxwin.h"
#include "app/devices/DeviceViews.h"
#include "app/widgets/OXGridList.h"

class CDeviceObject;
class CDeviceStack;
class CUSBLog;

class CSpecialGridList : public COXGridList, public IStackGridList {
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
    // The document is about to destroy objects of its device model: a list showing one of its stacks is
    // emptied.
    void DeviceModelChanging(CUSBLog* pDoc);
    // No row, and repainted.
    void ClearStackGridList();

    // The row of the object, for the stack that fills the list.
    BOOL InsertRow(int nRow, CDeviceObject* pDevice, int nImage, LPCSTR lpszName, LPCSTR lpszAddress, LPCSTR lpszDriver,
                   int nCheckImage) override;

    // The stack the rows show, or null.
    CDeviceStack* GetStack() const { return m_pStack; }
    CDeviceObject* GetRowObject(int nRow) const;

    BOOL IsWriteable() const { return m_bWriteable; }
    void SetWriteable(BOOL bWriteable) { m_bWriteable = bWriteable ? TRUE : FALSE; }
    // While the list itself changes checks (check-all), which a read-only list lets through.
    BOOL IsProgramChange() const { return m_nProgramChange != 0; }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct) override;
    // The list takes the keyboard focus, then the grid list handles the click.
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    // The columns share the width, once the list is as high as its header.
    void OnSize(UINT nType, int cx, int cy) override;
    LRESULT OnPopulateMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnClearMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnCheckAllMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnUnCheckAllMessage(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    // Each capturable row and its object take the state (2 checked, 1 unchecked).
    void CheckAllRows(UINT nState);

    CImageList m_ilImages;
    BOOL m_bWriteable = TRUE;
    CDeviceStack* m_pStack = nullptr;
    USHORT m_nStackID = 0;
    int m_nProgramChange = 0;
};
