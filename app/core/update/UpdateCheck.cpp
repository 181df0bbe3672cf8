#include "app/core/update/UpdateCheck.h"

#include <algorithm>
#include <string>

#include "app/core/update/UpdateServer.h"
#include "app/core/update/WinHttpClient.h"

namespace {

constexpr char kVersionFilePath[] = "/tdloft_ver.txt";

std::u16string VersionFileUrl() {
    const std::string url = std::string("http://") + kUpdateServerHost + kVersionFilePath;
    std::u16string wide(url.size(), u'\0');
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, url.data(), static_cast<int>(url.size()), wide.data(),
                                          static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(std::max(cch, 0)));
    return wide;
}

} // namespace

UINT AFX_CDECL UpdateCheckThreadProc(LPVOID pParam) {
    std::unique_ptr<std::shared_ptr<CUpdateBlock>> owned(static_cast<std::shared_ptr<CUpdateBlock>*>(pParam));
    if (owned == nullptr || *owned == nullptr) {
        return 0;
    }
    CUpdateBlock& block = **owned;
    {
        WinHttpClient client(VersionFileUrl());
        client.SetUserAgent(block.m_szUpdateQuery);
        if (client.IsLoaded() && client.SendHttpRequest(u"GET")) {
            const std::u16string content = client.GetResponseContent();
            const size_t length = std::min(content.size(), CUpdateBlock::ResponseLength - 1);
            std::copy_n(content.data(), length, block.m_szUpdateResponse);
            block.m_szUpdateResponse[length] = u'\0';
            block.m_bUpdateResponseReceived.store(TRUE, std::memory_order_relaxed);
        }
    }
    // Last, after the client let go of its library: whoever sees the check ended sees its answer.
    block.m_bUpdateCheckRunning.store(FALSE, std::memory_order_release);
    return 0;
}
