// OutputerImp: the one interface every decoder and report writer emits through. It is the union of three
// vocabularies — property-grid items, XML elements and HTML table rows — and each back-end implements the
// operations of its own medium and answers every other one by doing nothing, so a decoder calls what its
// output mode needs and never asks which back-end it holds.
//
// The order of the operations is fixed: it is the order of the virtual table the decoders are built against.
// Values arrive as finished text; no back-end formats a number. The operations that add grid items take plain
// character pointers, where null means "none"; the others take strings.
#pragma once

#include <afx.h>

#include "windows.h"

class OutputerImp {
public:
    OutputerImp() = default;
    virtual ~OutputerImp() = default;
    OutputerImp(const OutputerImp&) = delete;
    OutputerImp& operator=(const OutputerImp&) = delete;

    // HTML layout.
    virtual void BeginIndent() = 0;                         // 1
    virtual void EndIndent() = 0;                           // 2
    virtual void WriteSubHeading(const CString& title) = 0; // 3
    virtual void BeginTable(bool bordered) = 0;             // 4
    virtual void EndTable(bool bordered) = 0;               // 5
    // Starts a record's body: the grid forgets its position, XML enters the element just added.
    virtual void EnterRecord() = 0;                                                                    // 6
    virtual void WriteHeaderRow(const CString& first, const CString& second) = 0;                      // 7
    virtual void BeginSection(const CString& name, const CString& itemName, const CString& value) = 0; // 8

    // XML elements.
    virtual void BeginElement(const CString& name) = 0; // 9
    virtual void BeginElementWithAttribute(const CString& name, const CString& attributeName,
                                           const CString& attributeValue) = 0; // 10
    virtual void AddElement(const CString& name) = 0;                          // 11
    virtual void AddAttribute(const CString& name, const CString& value) = 0;  // 12

    // The grid's prepared categories and items, found by caption or id.
    virtual void ShowCategoryById(UINT id, const char* caption) = 0;                                    // 13
    virtual void ShowCategory(const CString& caption) = 0;                                              // 14
    virtual void HideCategory(const CString& caption) = 0;                                              // 15
    virtual void SetItemValueById(UINT id, const CString& value) = 0;                                   // 16
    virtual void SetItemValue(const CString& caption, const CString& value) = 0;                        // 17
    virtual void SetItemValueColour(const CString& caption, const CString& value, COLORREF colour) = 0; // 18
    // The colour the medium draws an ordinary value in (0 where values have no colour).
    virtual COLORREF GetValueColour() = 0;                                                   // 19
    virtual void HideItem(const CString& caption) = 0;                                       // 20
    virtual void SetItemDescription(const CString& caption, const CString& description) = 0; // 21

    // Grid items added under the current item.
    virtual void AddDescribedItem(const char* caption, const char* value, const char* description,
                                  bool clearFirst) = 0;                                        // 22
    virtual void BeginValueGroup(const char* caption, const char* value) = 0;                  // 23
    virtual void BeginGroup(const char* caption, const char* value) = 0;                       // 24
    virtual void BeginCategory(const char* caption) = 0;                                       // 25
    virtual void AddDataBufferItem(const char* caption) = 0;                                   // 26
    virtual void AddItem(const char* caption, const char* value, const char* description) = 0; // 27
    virtual void AddReadOnlyItem(const char* caption, const char* value) = 0;                  // 28
    virtual void ExpandCurrent() = 0;                                                          // 29
    virtual void EndGroup() = 0;                                                               // 30

    // Fields of the mark-up media.
    virtual void EndElement() = 0;                                                                         // 31
    virtual void WriteValue(const CString& name, const CString& value) = 0;                                // 32
    virtual void WriteMeaningValue(const CString& name, const CString& value, const CString& meaning) = 0; // 33
    virtual void WriteValueWithAttribute(const CString& name, const CString& value, const CString& attributeName,
                                         const CString& attributeValue) = 0;                               // 34
    virtual void WriteValueMeaning(const CString& name, const CString& value, const CString& meaning) = 0; // 35
};
