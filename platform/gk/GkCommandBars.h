// CGkCommandBars: the command bars of a frame (its menu bar and toolbars), their images (CGkImageManager) and
// their state kept in the profile; CGkPaintManager holds the look they are painted in.
#pragma once

#include <vector>

#include "afxwin.h"

#include "GkImageManager.h"
#include "GkToolBar.h"

class CGkMenuBar;

#define GK_COMMANDBARS_ROW_EDGE 2

class CGkPaintManager {
public:
    static void SetTheme(int nTheme) { s_nTheme = nTheme; }
    static int GetCurrentTheme() { return s_nTheme; }

private:
    static inline int s_nTheme = 0;
};

class CGkCommandBars {
public:
    explicit CGkCommandBars(CFrameWnd* pFrame);
    ~CGkCommandBars();
    CGkCommandBars(const CGkCommandBars&) = delete;
    CGkCommandBars& operator=(const CGkCommandBars&) = delete;

    // The menu bar showing the frame's current menu; null when the menu resource is missing.
    CGkMenuBar* SetMenu(LPCTSTR lpszTitle, UINT nIDMenu);
    CGkMenuBar* GetMenuBar() const { return m_pMenuBar; }
    // A new toolbar along the edge named by the position's CBRS_ALIGN_* bits (the top for any other value);
    // null when its window cannot be made.
    CGkToolBar* Add(LPCTSTR lpszTitle, UINT nPosition);
    int GetCount() const { return static_cast<int>(m_bars.size()); }
    CGkToolBar* GetAt(int nIndex) const;
    // The first control of the command on any bar.
    CGkControl* FindControl(UINT nID) const;
    CGkImageManager* GetImageManager() { return &m_images; }

    // The bars' visibility and place (edge, row, offset), per bar id, under the section; Load is FALSE, and
    // nothing changed, when nothing valid is stored.
    void SaveCommandBars(LPCTSTR lpszSection) const;
    BOOL LoadCommandBars(LPCTSTR lpszSection);

    // Places the visible bars along their edges, row by row from the frame's edge inwards (the top and bottom
    // spanning the frame, the sides between them), each row followed by an etched line GK_COMMANDBARS_ROW_EDGE
    // thick on its inner side, and takes their room out of rcClient.
    void LayoutBars(CRect& rcClient);
    // Draws those etched lines (frame client coordinates): between the rows and between them and the client.
    void DrawRowEdges(CDC* pDC) const;
    // A bar's gripper let go at ptDrop (frame client coordinates): the bar moves to the nearest edge the frame
    // allows, into the row under the point (or a new row beyond the last), at the point's offset along it.
    // FALSE when no edge is allowed.
    BOOL DropBar(CGkToolBar* pBar, CPoint ptDrop);

private:
    struct Row {
        DWORD dwEdge;
        int nRow;
        CRect rc; // in the frame's client coordinates
    };
    // Rows of each edge numbered 0, 1, ... in their order, so that emptied rows close up.
    void RenumberRows();
    DWORD AllowedEdges() const;

    CFrameWnd* m_pFrame;
    CGkMenuBar* m_pMenuBar = nullptr;
    std::vector<CGkToolBar*> m_bars; // the menu bar first when there is one; owned
    CGkImageManager m_images;
    std::vector<Row> m_rows; // as the last layout placed them
};
