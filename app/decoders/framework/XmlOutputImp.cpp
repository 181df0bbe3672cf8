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

void XmlOutputImp::EnterRecord() {
    Document().EnterElement();
}

void XmlOutputImp::BeginSection(const CString& name, const CString& attributeName, const CString& attributeValue) {
    if (!AddNamedElement(name))
        return;
    if (!attributeName.IsEmpty())
        SetCurrentAttribute(attributeName, attributeValue);
    Document().EnterElement();
}

void XmlOutputImp::BeginElement(const CString& name) {
    if (AddNamedElement(name))
        Document().EnterElement();
}

void XmlOutputImp::BeginElementWithAttribute(const CString& name, const CString& attributeName,
                                             const CString& attributeValue) {
    if (!AddNamedElement(name))
        return;
    SetCurrentAttribute(attributeName, attributeValue);
    Document().EnterElement();
}

void XmlOutputImp::AddElement(const CString& name) {
    AddNamedElement(name);
}

void XmlOutputImp::AddAttribute(const CString& name, const CString& value) {
    SetCurrentAttribute(name, value);
}

void XmlOutputImp::EndElement() {
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
