#include "tools/run-capture/RecordsPage.h"

#include <memory>

#include "app/core/LogRecords.h"
#include "app/core/USBLog.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/LogOutputer.h"
#include "app/devices/HtmlOutput.h"

namespace tdl::session {

INT_PTR WriteRecordsPage(CUSBLog& document, LPCSTR lpszPath, INT_PTR nMaxRecords) {
    CHtmlOutput writer;
    if (!writer.OpenByName(lpszPath))
        return -1;
    writer.WriteHeader("Tindaloft - Decoded Records");
    writer.WritePageTitle("Decoded Records");
    HtmlOutputImp html(&writer);
    LogRecords::CLogRecords* pRecords = document.GetLogRecords();
    const INT_PTR nCount = pRecords != nullptr ? pRecords->GetDisplayCount(&document) : 0;
    INT_PTR nWritten = 0;
    for (; nWritten < nCount && nWritten < nMaxRecords; ++nWritten) {
        const _LOGHDR* pRecord = pRecords->GetRecordAt(&document, nWritten);
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&html, &document, pRecord));
        if (decoder == nullptr)
            break;
        decoder->OutputMarkupRecord(OUTPUT_MODE_HTML);
    }
    writer.WriteFooter();
    writer.Close();
    return writer.HasWriteError() ? -1 : nWritten;
}

} // namespace tdl::session
