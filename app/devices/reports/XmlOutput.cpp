#include "XmlOutput.h"

#include <cstring>

#include "ReportFile.h"
#include "app/decoders/framework/SaveAsFile.h"

const char CXmlOutput::kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

CXmlOutput::CXmlOutput() : m_WriteError(false) {
    m_Markup.SetDocument("");
}

CXmlOutput::~CXmlOutput() {
    Close();
}

BOOL CXmlOutput::OpenByName(LPCTSTR fileName) {
    return report_file::OpenNamed(m_File, fileName, m_FileName, m_WriteError);
}

BOOL CXmlOutput::Open() {
    return save_as::ChooseAndOpen(m_File, m_FileName, m_WriteError, "xml",
                                  "XML Files (*.xml)|*.xml|All Files (*.*)|*.*||")
               ? TRUE
               : FALSE;
}

void CXmlOutput::Close() {
    report_file::Close(m_File, m_WriteError);
}

bool CXmlOutput::BeginDocument(LPCSTR rootName) {
    m_Markup.SetDocument(kDeclaration); // holds no element: the result says nothing here
    return m_Markup.AddElement(rootName) && m_Markup.EnterElement();
}

bool CXmlOutput::WriteString(LPCSTR text) {
    if (text == nullptr)
        text = "";
    return report_file::Write(m_File, text, static_cast<UINT>(std::strlen(text)), m_WriteError);
}

bool CXmlOutput::WriteDocument() {
    CString document = report_file::AnsiToUtf8(m_Markup.GetDocument());
    return WriteString(document);
}
