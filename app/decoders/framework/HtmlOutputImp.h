// HtmlOutputImp: the emit back-end of the HTML device report. Each operation of its medium becomes one or two
// of the report writer's primitives; while it lives the writer gathers them and writes them on in large
// pieces (a record's rows are many short lines). It keeps no state of its own.
// Only WriteValue escapes its value: names, titles and meanings are mark-up the callers write on purpose
// ("&nbsp;" between the words of a label, red connection texts).
#pragma once

#include "SilentOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"

class HtmlOutputImp : public SilentOutputImp {
public:
    explicit HtmlOutputImp(CHtmlOutput* writer) : m_Writer(writer), m_Batch(writer) {}

    void BeginIndent() override;
    void EndIndent() override;
    void WriteSubHeading(const CString& title) override;
    void BeginTable(bool bordered) override;
    void EndTable(bool bordered) override;
    void WriteHeaderRow(const CString& first, const CString& second) override;
    void WriteValue(const CString& name, const CString& value) override;
    void WriteMeaningValue(const CString& name, const CString& value, const CString& meaning) override;
    void WriteValueMeaning(const CString& name, const CString& value, const CString& meaning) override;

private:
    // A value row whose cell reads "first (second)", or "&nbsp;" when the value itself is empty.
    void WriteCombinedRow(const CString& name, const CString& value, const CString& first, const CString& second);

    CHtmlOutput* m_Writer;
    CHtmlOutput::Batch m_Batch;
};
