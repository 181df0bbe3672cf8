// CHeaderCtrl: the framework object of a header control, made by Create or attached to a list view's header
// child with SubclassWindow. Owner-drawn items reach DrawItem through the parent's reflected WM_DRAWITEM.
#pragma once

#include "AfxWnd.h"

class CImageList;

class CHeaderCtrl : public CWnd {
    DECLARE_DYNAMIC(CHeaderCtrl)
public:
    // A window it made and still holds is given back its own procedure before it is destroyed, so the control
    // frees its state.
    ~CHeaderCtrl() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    int GetItemCount() const { return static_cast<int>(::SendMessageA(m_hWnd, HDM_GETITEMCOUNT, 0, 0)); }
    int InsertItem(int nPos, HDITEM* phdi) {
        return static_cast<int>(
            ::SendMessageA(m_hWnd, HDM_INSERTITEMA, static_cast<WPARAM>(nPos), reinterpret_cast<LPARAM>(phdi)));
    }
    BOOL DeleteItem(int nPos) {
        return static_cast<BOOL>(::SendMessageA(m_hWnd, HDM_DELETEITEM, static_cast<WPARAM>(nPos), 0));
    }
    BOOL GetItem(int nPos, HDITEM* pHeaderItem) const {
        return static_cast<BOOL>(
            ::SendMessageA(m_hWnd, HDM_GETITEMA, static_cast<WPARAM>(nPos), reinterpret_cast<LPARAM>(pHeaderItem)));
    }
    BOOL SetItem(int nPos, HDITEM* pHeaderItem) {
        return static_cast<BOOL>(
            ::SendMessageA(m_hWnd, HDM_SETITEMA, static_cast<WPARAM>(nPos), reinterpret_cast<LPARAM>(pHeaderItem)));
    }
    BOOL GetItemRect(int nIndex, LPRECT lpRect) const {
        return static_cast<BOOL>(
            ::SendMessageA(m_hWnd, HDM_GETITEMRECT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpRect)));
    }
    BOOL Layout(HDLAYOUT* pHeaderLayout) {
        return static_cast<BOOL>(::SendMessageA(m_hWnd, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(pHeaderLayout)));
    }
    int HitTest(LPHDHITTESTINFO pHeaderHitTestInfo) {
        return static_cast<int>(::SendMessageA(m_hWnd, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(pHeaderHitTestInfo)));
    }
    int OrderToIndex(int nOrder) const {
        return static_cast<int>(::SendMessageA(m_hWnd, HDM_ORDERTOINDEX, static_cast<WPARAM>(nOrder), 0));
    }
    // nCount -1: as many as the header has items.
    BOOL GetOrderArray(LPINT piArray, int iCount = -1) const;
    BOOL SetOrderArray(int iCount, LPINT piArray) {
        return static_cast<BOOL>(
            ::SendMessageA(m_hWnd, HDM_SETORDERARRAY, static_cast<WPARAM>(iCount), reinterpret_cast<LPARAM>(piArray)));
    }
    HIMAGELIST SetImageList(CImageList* pImageList);

    // Owner-drawn items: the header's WM_DRAWITEM, reflected from its parent.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
