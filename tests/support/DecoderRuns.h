// Runs a record's decoder the ways the reports and the tests need, and gives back what it wrote: the whole
// mark-up record (mode 0) as XML text, or the emit calls of its body in one mode.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/support/RecordingOutputImp.h"

namespace tdl::test {

// The record as the XML report holds it: its "Record" element and all below, without the document's root.
inline std::string MarkupText(CUSBLog* document, const _LOGHDR* record) {
    CXmlOutput writer;
    if (!writer.BeginDocument("Records"))
        return std::string();
    XmlOutputImp xml(&writer);
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&xml, document, record));
    if (!decoder)
        return std::string();
    decoder->OutputMarkupRecord(OUTPUT_MODE_XML);
    const CString doc = writer.GetMarkup().GetDocument();
    const std::string text(doc.GetString(), static_cast<size_t>(doc.GetLength()));
    const size_t begin = text.find("<Record ");
    const size_t end = text.rfind("</Records>");
    return begin == std::string::npos ? std::string()
                                      : text.substr(begin, end == std::string::npos ? end : end - begin);
}
inline std::string MarkupText(CUSBLog* document, const std::vector<uint8_t>& record) {
    return MarkupText(document, reinterpret_cast<const _LOGHDR*>(record.data()));
}

// The emit calls of the decoder's body (OutputKindTitle) in `mode`, one a line as RecordingOutputImp writes
// them.
inline std::string BodyCalls(CUSBLog* document, const _LOGHDR* record, int mode) {
    RecordingOutputImp calls;
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&calls, document, record));
    if (!decoder)
        return std::string();
    decoder->OutputKindTitle(mode);
    return calls.Text();
}
inline std::string BodyCalls(CUSBLog* document, const std::vector<uint8_t>& record, int mode) {
    return BodyCalls(document, reinterpret_cast<const _LOGHDR*>(record.data()), mode);
}

} // namespace tdl::test
