// SilentOutputImp: every emit operation answered by doing nothing, and 0 as the value colour. Each back-end
// derives from it and implements only its own medium's operations, so a decoder may call any operation of
// another medium without harm.
#pragma once

#include "OutputerImp.h"

class SilentOutputImp : public OutputerImp {
public:
    void BeginIndent() override {}
    void EndIndent() override {}
    void WriteSubHeading(const CString&) override {}
    void BeginTable(bool) override {}
    void EndTable(bool) override {}
    void EnterRecord() override {}
    void WriteHeaderRow(const CString&, const CString&) override {}
    void BeginSection(const CString&, const CString&, const CString&) override {}
    void BeginElement(const CString&) override {}
    void BeginElementWithAttribute(const CString&, const CString&, const CString&) override {}
    void AddElement(const CString&) override {}
    void AddAttribute(const CString&, const CString&) override {}
    void ShowCategoryById(UINT, const char*) override {}
    void ShowCategory(const CString&) override {}
    void HideCategory(const CString&) override {}
    void SetItemValueById(UINT, const CString&) override {}
    void SetItemValue(const CString&, const CString&) override {}
    void SetItemValueColour(const CString&, const CString&, COLORREF) override {}
    COLORREF GetValueColour() override { return 0; }
    void HideItem(const CString&) override {}
    void SetItemDescription(const CString&, const CString&) override {}
    void AddDescribedItem(const char*, const char*, const char*, bool) override {}
    void BeginValueGroup(const char*, const char*) override {}
    void BeginGroup(const char*, const char*) override {}
    void BeginCategory(const char*) override {}
    void AddDataBufferItem(const char*) override {}
    void AddItem(const char*, const char*, const char*) override {}
    void AddReadOnlyItem(const char*, const char*) override {}
    void ExpandCurrent() override {}
    void EndGroup() override {}
    void EndElement() override {}
    void WriteValue(const CString&, const CString&) override {}
    void WriteMeaningValue(const CString&, const CString&, const CString&) override {}
    void WriteValueWithAttribute(const CString&, const CString&, const CString&, const CString&) override {}
    void WriteValueMeaning(const CString&, const CString&, const CString&) override {}
};
