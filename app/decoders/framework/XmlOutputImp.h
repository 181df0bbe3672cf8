// XmlOutputImp: the emit back-end of the XML device report. Its operations are edits of the report writer's
// mark-up document — add an element, set an attribute, enter, leave — and the position lives in the
// document, so the back-end keeps no state of its own. Where the document refuses an element, the rest of
// that operation is skipped: an attribute or an enter would otherwise land on the element current before.
#pragma once

#include "SilentOutputImp.h"

class CMarkup;
class CXmlOutput;

class XmlOutputImp : public SilentOutputImp {
public:
    explicit XmlOutputImp(CXmlOutput* writer) : m_Writer(writer) {}

    void EnterRecord() override;
    void BeginSection(const CString& name, const CString& attributeName, const CString& attributeValue) override;
    void BeginElement(const CString& name) override;
    void BeginElementWithAttribute(const CString& name, const CString& attributeName,
                                   const CString& attributeValue) override;
    void AddElement(const CString& name) override;
    void AddAttribute(const CString& name, const CString& value) override;
    void EndElement() override;
    void WriteValue(const CString& name, const CString& value) override;
    void WriteValueWithAttribute(const CString& name, const CString& value, const CString& attributeName,
                                 const CString& attributeValue) override;

private:
    CMarkup& Document();
    // Sets the attribute on the current element, the one an AddElement has just made.
    void SetCurrentAttribute(const CString& name, const CString& value);
    // Adds an element without text.
    bool AddNamedElement(const CString& name);

    CXmlOutput* m_Writer;
};
