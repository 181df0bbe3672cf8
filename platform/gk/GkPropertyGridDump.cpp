// The grid's text dumps: stable forms of the model and of the view that tests compare with expected text.
#include "GkPropertyGrid.h"

namespace {

void AppendIndent(CString& str, int nLevel) {
    for (int i = 0; i < nLevel; ++i)
        str += "  ";
}

// "caption = value"; a category shows its value only when it has one.
void AppendCaptionValue(CString& str, const CGkPropertyGridItem* pItem) {
    str += pItem->GetCaption();
    CString strValue = pItem->GetValue();
    if (!pItem->IsCategory() || !strValue.IsEmpty()) {
        str += " =";
        if (!strValue.IsEmpty()) {
            str += " ";
            str += strValue;
        }
    }
}

void AppendColor(CString& str, LPCTSTR lpszWhat, const CGkPaintManagerColor& clr) {
    if (clr.IsDefaultValue())
        return;
    CString strMarker;
    strMarker.Format(" [%s 0x%06X]", lpszWhat, static_cast<unsigned>(clr.GetCustomValue()));
    str += strMarker;
}

void AppendFlags(CString& str, LPCTSTR lpszWhat, DWORD dwFlags) {
    if (dwFlags == 0)
        return;
    CString strMarker;
    strMarker.Format(" [%s flags 0x%X]", lpszWhat, static_cast<unsigned>(dwFlags));
    str += strMarker;
}

void AppendMarkers(CString& str, const CGkPropertyGridItem* pItem, DWORD dwMarkers) {
    CString strMarker;
    if ((dwMarkers & gkDumpCategory) && pItem->IsCategory())
        str += " [category]";
    if ((dwMarkers & gkDumpID) && pItem->GetID() != 0) {
        strMarker.Format(" [id %u]", pItem->GetID());
        str += strMarker;
    }
    if ((dwMarkers & gkDumpDescription) && !pItem->GetDescription().IsEmpty()) {
        str += " [description \"";
        str += pItem->GetDescription();
        str += "\"]";
    }
    if ((dwMarkers & gkDumpHidden) && pItem->IsHidden())
        str += " [hidden]";
    if ((dwMarkers & gkDumpReadOnly) && pItem->GetReadOnly())
        str += " [read-only]";
    if ((dwMarkers & gkDumpExpanded) && pItem->IsExpanded())
        str += " [expanded]";
    const CGkPropertyGridItemMetrics* pCaption = pItem->GetCaptionMetrics();
    const CGkPropertyGridItemMetrics* pValue = pItem->GetValueMetrics();
    if (dwMarkers & gkDumpColors) {
        AppendColor(str, "caption text", pCaption->m_clrFore);
        AppendColor(str, "caption back", pCaption->m_clrBack);
        AppendColor(str, "value text", pValue->m_clrFore);
        AppendColor(str, "value back", pValue->m_clrBack);
    }
    if (dwMarkers & gkDumpFlags) {
        AppendFlags(str, "caption", pCaption->m_dwFlags);
        AppendFlags(str, "value", pValue->m_dwFlags);
    }
    if (dwMarkers & gkDumpButtons) {
        const CGkPropertyGridInplaceButtons* pButtons = pItem->GetInplaceButtons();
        for (int i = 0; i < pButtons->GetCount(); ++i) {
            const CGkPropertyGridInplaceButton* pButton = pButtons->GetAt(i);
            strMarker.Format(" {%u %s}", pButton->GetID(), pButton->GetCaption().GetString());
            str += strMarker;
        }
    }
}

} // namespace

CString CGkPropertyGrid::DumpItems(const CGkPropertyGridItems* pItems, DWORD dwMarkers, int nLevel) {
    CString str;
    for (int i = 0; i < pItems->GetCount(); ++i) {
        const CGkPropertyGridItem* pItem = pItems->GetAt(i);
        AppendIndent(str, nLevel);
        AppendCaptionValue(str, pItem);
        AppendMarkers(str, pItem, dwMarkers);
        str += "\n";
        str += DumpItems(pItem->GetChilds(), dwMarkers, nLevel + 1);
    }
    return str;
}

CString CGkPropertyGrid::DumpModel(DWORD dwMarkers) const {
    return DumpItems(m_pCategories, dwMarkers, 0);
}

CString CGkPropertyGrid::DumpView() const {
    CString str;
    for (const GkPropertyGridRow& row : GetShownRows()) {
        const CGkPropertyGridItem* pItem = row.pItem;
        AppendIndent(str, row.nLevel);
        if (HasExpandGlyph(pItem))
            str += pItem->IsExpanded() ? "[-] " : "[+] ";
        AppendCaptionValue(str, pItem);
        if (m_bShowInplaceButtonsAlways || pItem == m_pSelected) {
            const CGkPropertyGridInplaceButtons* pButtons = pItem->GetInplaceButtons();
            for (int i = 0; i < pButtons->GetCount(); ++i) {
                str += " [";
                str += pButtons->GetAt(i)->GetCaption();
                str += "]";
            }
        }
        if (pItem == m_pSelected)
            str += " <selected>";
        str += "\n";
    }
    return str;
}
