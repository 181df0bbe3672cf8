// A recording emit back-end for decoder tests: every call of the 35 operations becomes one line, the
// operation's name and its arguments joined by "|" (a null text "-", bools 0/1, ids in decimal, colours in
// hex as 0x%06x). GetValueColour is recorded too and answers the colour a test sets.
#pragma once

#include <string>
#include <vector>

#include "app/decoders/framework/OutputerImp.h"

namespace tdl::test {

class RecordingOutputImp : public OutputerImp {
public:
    void BeginIndent() override;
    void EndIndent() override;
    void WriteSubHeading(const CString& title) override;
    void BeginTable(bool bordered) override;
    void EndTable(bool bordered) override;
    void EnterRecord() override;
    void WriteHeaderRow(const CString& first, const CString& second) override;
    void BeginSection(const CString& name, const CString& itemName, const CString& value) override;
    void BeginElement(const CString& name) override;
    void BeginElementWithAttribute(const CString& name, const CString& attributeName,
                                   const CString& attributeValue) override;
    void AddElement(const CString& name) override;
    void AddAttribute(const CString& name, const CString& value) override;
    void ShowCategoryById(UINT id, const char* caption) override;
    void ShowCategory(const CString& caption) override;
    void HideCategory(const CString& caption) override;
    void SetItemValueById(UINT id, const CString& value) override;
    void SetItemValue(const CString& caption, const CString& value) override;
    void SetItemValueColour(const CString& caption, const CString& value, COLORREF colour) override;
    COLORREF GetValueColour() override;
    void HideItem(const CString& caption) override;
    void SetItemDescription(const CString& caption, const CString& description) override;
    void AddDescribedItem(const char* caption, const char* value, const char* description, bool clearFirst) override;
    void BeginValueGroup(const char* caption, const char* value) override;
    void BeginGroup(const char* caption, const char* value) override;
    void BeginCategory(const char* caption) override;
    void AddDataBufferItem(const char* caption) override;
    void AddItem(const char* caption, const char* value, const char* description) override;
    void AddReadOnlyItem(const char* caption, const char* value) override;
    void ExpandCurrent() override;
    void EndGroup() override;
    void EndElement() override;
    void WriteValue(const CString& name, const CString& value) override;
    void WriteMeaningValue(const CString& name, const CString& value, const CString& meaning) override;
    void WriteValueWithAttribute(const CString& name, const CString& value, const CString& attributeName,
                                 const CString& attributeValue) override;
    void WriteValueMeaning(const CString& name, const CString& value, const CString& meaning) override;

    void SetValueColour(COLORREF colour) { m_valueColour = colour; }
    const std::vector<std::string>& Lines() const { return m_lines; }
    // The lines, each ended by "\n".
    std::string Text() const;
    void Clear() { m_lines.clear(); }

private:
    // One argument as it is recorded.
    struct Arg {
        Arg(const CString& string) : text(string.GetString()) {}
        Arg(const char* string) : text(string == nullptr ? "-" : string) {}
        Arg(bool flag) : text(flag ? "1" : "0") {}
        Arg(UINT number) : text(std::to_string(number)) {}
        std::string text;
    };
    static Arg Colour(COLORREF colour);
    void Record(const char* operation, std::initializer_list<Arg> args = {});

    std::vector<std::string> m_lines;
    COLORREF m_valueColour = 0;
};

// Whether recorded mark-up calls close every element and section they open, and never one more.
bool MarkupBalanced(const std::string& calls);

} // namespace tdl::test
