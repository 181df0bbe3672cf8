// Outputer: the root of every decoder and report writer. It holds the emit back-end it writes through and the
// capture document it decodes for (null is allowed: every object look-up then finds nothing and the objects
// show "???"). It owns neither.
#pragma once

#include <afx.h>

class CUSBLog;
class OutputerImp;

// The medium a decoder writes for; decoders choose their operations, labels and value formats by it.
enum OutputMode : int {
    OUTPUT_MODE_XML = 0,  // XML device report: elements, bare hexadecimal values
    OUTPUT_MODE_GRID = 1, // a pane's property grid: items, values with "0x"
    OUTPUT_MODE_HTML = 2, // HTML device report: table rows, bare hexadecimal values
};

class Outputer {
public:
    Outputer(OutputerImp* pImp, CUSBLog* pContext) : m_pImp(pImp), m_pContext(pContext) {}
    virtual ~Outputer() = 0;
    Outputer(const Outputer&) = delete;
    Outputer& operator=(const Outputer&) = delete;

    OutputerImp* GetImp() const { return m_pImp; }
    CUSBLog* GetContext() const { return m_pContext; }

    // Marks input that is short or malformed, where the field it spoils would stand: a red read-only item in
    // the grid, a field of its own in the mark-up media.
    void OutputDefect(int mode, const CString& caption, const CString& text);

protected:
    OutputerImp* const m_pImp;
    CUSBLog* const m_pContext;
};
