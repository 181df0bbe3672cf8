// XmlOutputImp: the emit back-end of the XML device report. Its operations are edits of the report writer's
// mark-up document — add an element, set an attribute, enter, leave — and the position lives in the
// document. Where the document refuses an element, the rest of that operation is skipped: an attribute or an
// enter would otherwise land on the element current before. The back-end remembers only, per open begin,
// whether it entered an element, so that the end that goes with a refused one leaves none of the elements
// around it.
#pragma once

#include <vector>

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
    // Enters the element just added when it was, and notes for the end that goes with it whether it did.
    void EnterIf(bool added);

    CXmlOutput* m_Writer;
    // One entry per begin not yet ended: whether it entered an element.
    std::vector<bool> m_Entered;
};
