#include "app/ui/find/FindSearch.h"

#include <algorithm>

void CFindSearch::Reset() {
    m_nLastFound = -1;
    m_nStart = -1;
    m_bFound = FALSE;
    m_bWrappedForward = FALSE;
    m_bWrappedBackward = FALSE;
}

int CFindSearch::FirstRow(Context& context, int nCount, bool bForward) {
    const int selected = context.GetSelectedItem();
    if (selected >= 0 && selected < nCount) {
        int from = m_nLastFound;
        if (!m_bFound || selected != m_nLastFound) {
            // A row picked by hand (or the first search): it is where this search starts and ends.
            from = selected;
            m_nStart = selected;
            (bForward ? m_bWrappedForward : m_bWrappedBackward) = FALSE;
        }
        return bForward ? from + 1 : from - 1;
    }
    // Nothing selected: the search starts with the rows the user sees, the first of the page going forward,
    // the last going backward.
    const int top = std::clamp(context.GetTopIndex(), 0, nCount - 1);
    const int from = bForward ? top : std::min(top + std::max(context.GetCountPerPage(), 0), nCount - 1);
    m_nStart = from;
    m_nLastFound = -1;
    m_bWrappedForward = FALSE;
    m_bWrappedBackward = FALSE;
    return from;
}

void CFindSearch::Found(Context& context, int nItem) {
    m_nLastFound = nItem;
    m_bFound = TRUE;
    context.SelectItem(nItem);
    context.Tell(kSuccessful, false);
}

void CFindSearch::Next(Context& context) {
    const int count = context.GetItemCount();
    if (count <= 0)
        return;
    const int last = count - 1;
    int row = FirstRow(context, count, true);
    int limit = m_bWrappedForward ? std::min(m_nStart, last) : last;
    for (;;) {
        const int found = row <= limit ? context.FindMatch(row, limit) : -1;
        if (found >= 0) {
            Found(context, found);
            return;
        }
        if (!m_bWrap || m_bWrappedForward)
            break;
        context.Tell(kPassedEnd, false);
        m_bWrappedForward = TRUE;
        limit = std::min(m_nStart, last);
        row = 0;
    }
    const bool backAtStart = m_bWrappedForward && m_nStart != 0;
    // The last act: the box may outlive the dialog.
    context.Tell(!m_bFound ? kFailed : backAtStart ? kWrappedForward : kFinishedAtEnd, true);
}

void CFindSearch::Prev(Context& context) {
    const int count = context.GetItemCount();
    if (count <= 0)
        return;
    const int last = count - 1;
    int row = FirstRow(context, count, false);
    int limit = m_bWrappedBackward ? std::max(m_nStart, 0) : 0;
    for (;;) {
        const int found = row >= limit ? context.FindMatch(row, limit) : -1;
        if (found >= 0) {
            Found(context, found);
            return;
        }
        if (!m_bWrap || m_bWrappedBackward)
            break;
        context.Tell(kPassedBeginning, false);
        m_bWrappedBackward = TRUE;
        limit = std::max(m_nStart, 0);
        row = last;
    }
    const bool backAtStart = m_bWrappedBackward && m_nStart != last;
    // The last act: the box may outlive the dialog.
    context.Tell(!m_bFound ? kFailed : backAtStart ? kWrappedBack : kFinishedAtBeginning, true);
}
