#include "CSVOutput.h"

#include <climits>

#include "SaveAsFile.h"
#include "app/devices/reports/ReportFile.h"

namespace {

constexpr char kDefaultExtension[] = "csv";
constexpr char kFilter[] = "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||";

} // namespace

CCSVOutput::CCSVOutput() : m_WriteError(false) {}

CCSVOutput::~CCSVOutput() {
    Close();
}

BOOL CCSVOutput::OpenPath(LPCTSTR path) {
    return report_file::OpenNamed(m_File, path, m_Path, m_WriteError);
}

BOOL CCSVOutput::Open() {
    return save_as::ChooseAndOpen(m_File, m_Path, m_WriteError, kDefaultExtension, kFilter);
}

void CCSVOutput::Close() {
    report_file::Close(m_File, m_WriteError);
}

bool CCSVOutput::WriteBytes(const BYTE* bytes, UINT count) {
    // A line longer than a string can hold is refused whole rather than cut short.
    if (bytes == nullptr || count == 0 || count > (INT_MAX - 1) / 3)
        return false;
    static const char kDigits[] = "0123456789abcdef";
    // Three characters a byte: two digits and a comma, the last byte's comma taken by CR LF.
    const UINT length = count * 3 + 1;
    CString line;
    char* out = line.GetBufferSetLength(static_cast<int>(length));
    for (UINT i = 0; i < count; ++i) {
        *out++ = kDigits[bytes[i] >> 4];
        *out++ = kDigits[bytes[i] & 0x0F];
        *out++ = ',';
    }
    out[-1] = '\r';
    *out = '\n';
    line.ReleaseBufferSetLength(static_cast<int>(length));
    return report_file::Write(m_File, line.GetString(), length, m_WriteError);
}
