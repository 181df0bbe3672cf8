#include "RecordingOutputImp.h"

#include <cstdio>

namespace tdl::test {

RecordingOutputImp::Arg RecordingOutputImp::Colour(COLORREF colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06x", static_cast<unsigned>(colour));
    return Arg(static_cast<const char*>(text));
}

void RecordingOutputImp::Record(const char* operation, std::initializer_list<Arg> args) {
    std::string line = operation;
    for (const Arg& arg : args)
        line += "|" + arg.text;
    m_lines.push_back(std::move(line));
}

std::string RecordingOutputImp::Text() const {
    std::string text;
    for (const std::string& line : m_lines)
        text += line + "\n";
    return text;
}

void RecordingOutputImp::BeginIndent() {
    Record("BeginIndent");
}
void RecordingOutputImp::EndIndent() {
    Record("EndIndent");
}
void RecordingOutputImp::WriteSubHeading(const CString& title) {
    Record("WriteSubHeading", {title});
}
void RecordingOutputImp::BeginTable(bool bordered) {
    Record("BeginTable", {bordered});
}
void RecordingOutputImp::EndTable(bool bordered) {
    Record("EndTable", {bordered});
}
void RecordingOutputImp::EnterRecord() {
    Record("EnterRecord");
}
void RecordingOutputImp::WriteHeaderRow(const CString& first, const CString& second) {
    Record("WriteHeaderRow", {first, second});
}
void RecordingOutputImp::BeginSection(const CString& name, const CString& itemName, const CString& value) {
    Record("BeginSection", {name, itemName, value});
}
void RecordingOutputImp::BeginElement(const CString& name) {
    Record("BeginElement", {name});
}
void RecordingOutputImp::BeginElementWithAttribute(const CString& name, const CString& attributeName,
                                                   const CString& attributeValue) {
    Record("BeginElementWithAttribute", {name, attributeName, attributeValue});
}
void RecordingOutputImp::AddElement(const CString& name) {
    Record("AddElement", {name});
}
void RecordingOutputImp::AddAttribute(const CString& name, const CString& value) {
    Record("AddAttribute", {name, value});
}
void RecordingOutputImp::ShowCategoryById(UINT id, const char* caption) {
    Record("ShowCategoryById", {id, caption});
}
void RecordingOutputImp::ShowCategory(const CString& caption) {
    Record("ShowCategory", {caption});
}
void RecordingOutputImp::HideCategory(const CString& caption) {
    Record("HideCategory", {caption});
}
void RecordingOutputImp::SetItemValueById(UINT id, const CString& value) {
    Record("SetItemValueById", {id, value});
}
void RecordingOutputImp::SetItemValue(const CString& caption, const CString& value) {
    Record("SetItemValue", {caption, value});
}
void RecordingOutputImp::SetItemValueColour(const CString& caption, const CString& value, COLORREF colour) {
    Record("SetItemValueColour", {caption, value, Colour(colour)});
}
COLORREF RecordingOutputImp::GetValueColour() {
    Record("GetValueColour");
    return m_valueColour;
}
void RecordingOutputImp::HideItem(const CString& caption) {
    Record("HideItem", {caption});
}
void RecordingOutputImp::SetItemDescription(const CString& caption, const CString& description) {
    Record("SetItemDescription", {caption, description});
}
void RecordingOutputImp::AddDescribedItem(const char* caption, const char* value, const char* description,
                                          bool clearFirst) {
    Record("AddDescribedItem", {caption, value, description, clearFirst});
}
void RecordingOutputImp::BeginValueGroup(const char* caption, const char* value) {
    Record("BeginValueGroup", {caption, value});
}
void RecordingOutputImp::BeginGroup(const char* caption, const char* value) {
    Record("BeginGroup", {caption, value});
}
void RecordingOutputImp::BeginCategory(const char* caption) {
    Record("BeginCategory", {caption});
}
void RecordingOutputImp::AddDataBufferItem(const char* caption) {
    Record("AddDataBufferItem", {caption});
}
void RecordingOutputImp::AddItem(const char* caption, const char* value, const char* description) {
    Record("AddItem", {caption, value, description});
}
void RecordingOutputImp::AddReadOnlyItem(const char* caption, const char* value) {
    Record("AddReadOnlyItem", {caption, value});
}
void RecordingOutputImp::ExpandCurrent() {
    Record("ExpandCurrent");
}
void RecordingOutputImp::EndGroup() {
    Record("EndGroup");
}
void RecordingOutputImp::EndElement() {
    Record("EndElement");
}
void RecordingOutputImp::WriteValue(const CString& name, const CString& value) {
    Record("WriteValue", {name, value});
}
void RecordingOutputImp::WriteMeaningValue(const CString& name, const CString& value, const CString& meaning) {
    Record("WriteMeaningValue", {name, value, meaning});
}
void RecordingOutputImp::WriteValueWithAttribute(const CString& name, const CString& value,
                                                 const CString& attributeName, const CString& attributeValue) {
    Record("WriteValueWithAttribute", {name, value, attributeName, attributeValue});
}
void RecordingOutputImp::WriteValueMeaning(const CString& name, const CString& value, const CString& meaning) {
    Record("WriteValueMeaning", {name, value, meaning});
}

bool MarkupBalanced(const std::string& calls) {
    int open = 0;
    size_t at = 0;
    while (at < calls.size()) {
        const size_t end = calls.find('\n', at);
        const std::string line = calls.substr(at, end - at);
        // A record's element is added, then entered.
        if (line.rfind("BeginElement", 0) == 0 || line.rfind("BeginSection", 0) == 0 || line == "EnterRecord")
            ++open;
        else if (line.rfind("EndElement", 0) == 0 && --open < 0)
            return false;
        at = end == std::string::npos ? calls.size() : end + 1;
    }
    return open == 0;
}

} // namespace tdl::test
