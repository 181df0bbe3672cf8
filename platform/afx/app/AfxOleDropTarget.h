// COleDropTarget: a window that accepts OLE drags. The drag loop (a test or the display host) finds a window's
// target with AfxDropTargetOf and calls its operations; COleDataObject carries what is dragged, by clipboard
// format.
#pragma once

#include <map>
#include <vector>

#include "AfxCmdTarget.h"
#include "AfxGeometry.h"

class CWnd;

typedef DWORD DROPEFFECT;
#define DROPEFFECT_NONE 0
#define DROPEFFECT_COPY 1
#define DROPEFFECT_MOVE 2
#define DROPEFFECT_LINK 4
#define DROPEFFECT_SCROLL 0x80000000

class COleDataObject {
public:
    void SetData(UINT cfFormat, std::vector<BYTE> bytes) { m_data[cfFormat] = std::move(bytes); }
    BOOL IsDataAvailable(UINT cfFormat) const { return m_data.count(cfFormat) != 0; }
    // The bytes of a format; empty when the format is not there.
    std::vector<BYTE> GetData(UINT cfFormat) const;

private:
    std::map<UINT, std::vector<BYTE>> m_data;
};

class COleDropTarget : public CCmdTarget {
public:
    COleDropTarget() = default;
    ~COleDropTarget() override; // revokes

    // Makes this the drop target of pWnd; FALSE when pWnd has no window or already has a target.
    BOOL Register(CWnd* pWnd);
    void Revoke();

    // By default nothing may be dropped.
    virtual DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual void OnDragLeave(CWnd* pWnd);
    virtual BOOL OnDrop(CWnd* pWnd, COleDataObject* pDataObject, DROPEFFECT dropEffect, CPoint point);

    HWND m_hWnd = nullptr;
};

// The drop target registered for a window, nullptr when it has none.
COleDropTarget* AFXAPI AfxDropTargetOf(HWND hWnd);
