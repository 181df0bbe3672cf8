#include "XmlOutputImp.h"

#include "app/devices/reports/Markup.h"
#include "app/devices/reports/XmlOutput.h"

CMarkup& XmlOutputImp::Document() {
    return m_Writer->GetMarkup();
}

void XmlOutputImp::SetCurrentAttribute(const CString& name, const CString& value) {
    CMarkup& document = Document();
    document.SetAttribute(document.GetCurrentIndex(), name, name.GetLength(), value, value.GetLength());
}

bool XmlOutputImp::AddNamedElement(const CString& name) {
    return Document().AddElement(name, name.GetLength(), nullptr, 0);
}

void XmlOutputImp::EnterIf(bool added) {
    m_Entered.push_back(added && Document().EnterElement());
}

void XmlOutputImp::EnterRecord() {
    EnterIf(true);
}

void XmlOutputImp::BeginSection(const CString& name, const CString& attributeName, const CString& attributeValue) {
    const bool added = AddNamedElement(name);
    if (added && !attributeName.IsEmpty())
        SetCurrentAttribute(attributeName, attributeValue);
    EnterIf(added);
}

void XmlOutputImp::BeginElement(const CString& name) {
    EnterIf(AddNamedElement(name));
}

void XmlOutputImp::BeginElementWithAttribute(const CString& name, const CString& attributeName,
                                             const CString& attributeValue) {
    const bool added = AddNamedElement(name);
    if (added)
        SetCurrentAttribute(attributeName, attributeValue);
    EnterIf(added);
}

void XmlOutputImp::AddElement(const CString& name) {
    AddNamedElement(name);
}

void XmlOutputImp::AddAttribute(const CString& name, const CString& value) {
    SetCurrentAttribute(name, value);
}

void XmlOutputImp::EndElement() {
    // An end with no begin of this back-end's before it leaves the element its caller entered.
    bool entered = true;
    if (!m_Entered.empty()) {
        entered = m_Entered.back();
        m_Entered.pop_back();
    }
    if (entered)
        Document().LeaveElement();
}

void XmlOutputImp::WriteValue(const CString& name, const CString& value) {
    // An empty value gives the empty-element form.
    Document().AddElement(name, name.GetLength(), value, value.GetLength());
}

void XmlOutputImp::WriteValueWithAttribute(const CString& name, const CString& value, const CString& attributeName,
                                           const CString& attributeValue) {
    if (Document().AddElement(name, name.GetLength(), value, value.GetLength()))
        SetCurrentAttribute(attributeName, attributeValue);
}
