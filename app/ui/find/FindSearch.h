// CFindSearch: the Find dialog's stepping through the rows of a record list, forward (Next) and backward
// (Prev), with its position kept between presses: the last row found, the row the search started from, whether
// anything was found since the search began, and per direction whether it has wrapped past the list's end.
//
// A search reads the list through a Context: its rows (count, first visible row, rows per page, selection),
// the test of a run of rows, and where the user is told what happened. Each step's text goes to the user as the scan
// passes it; the end of a search also shows its text in a box, as its very last act, so that a dialog closed
// while the box is up is never touched again.
#pragma once

#include "afxwin.h"

class CFindSearch {
public:
    class Context {
    public:
        virtual ~Context() = default;
        virtual int GetItemCount() const = 0;
        virtual int GetTopIndex() const = 0;
        virtual int GetCountPerPage() const = 0;
        // -1 when no row is selected.
        virtual int GetSelectedItem() const = 0;
        // The selection moves to the row, which is scrolled fully into view.
        virtual void SelectItem(int nItem) = 0;
        // The first row from nFrom to nTo (either way, both included) whose record matches; -1 when none does.
        virtual int FindMatch(int nFrom, int nTo) = 0;
        // The text in the status pane; with bBox also in a box.
        virtual void Tell(LPCTSTR lpszText, bool bBox) = 0;
    };

    static constexpr char kSuccessful[] = "Search successful";
    static constexpr char kFailed[] = "Search failed.";
    static constexpr char kPassedEnd[] = "Search has passed end of buffer";
    static constexpr char kWrappedForward[] = "Search has wrapped forward to starting point.";
    static constexpr char kFinishedAtEnd[] = "Search has finished at end of log buffer.";
    static constexpr char kPassedBeginning[] = "Search has passed beginning of buffer";
    static constexpr char kWrappedBack[] = "Search has wrapped back to starting point.";
    static constexpr char kFinishedAtBeginning[] = "Search has finished at beginning of log buffer.";

    // A new search: nothing found, no starting row, not wrapped.
    void Reset();
    BOOL IsWrap() const { return m_bWrap; }
    void SetWrap(BOOL bWrap) { m_bWrap = bWrap; }

    // Nothing happens on an empty list.
    void Next(Context& context);
    void Prev(Context& context);

    int GetLastFound() const { return m_nLastFound; }
    int GetStart() const { return m_nStart; }
    BOOL IsFound() const { return m_bFound; }

private:
    // The row the scan goes on from, given the selection; it sets the starting row when a search begins.
    int FirstRow(Context& context, int nCount, bool bForward);
    void Found(Context& context, int nItem);

    int m_nLastFound = -1;
    int m_nStart = -1;
    BOOL m_bFound = FALSE;
    BOOL m_bWrap = FALSE;
    BOOL m_bWrappedForward = FALSE;
    BOOL m_bWrappedBackward = FALSE;
};
