#include "app/core/UpdateCheck.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

std::mutex g_serverLock;
UpdateCheckServer g_server;

UpdateCheckServer CurrentServer() {
    std::lock_guard guard(g_serverLock);
    return g_server;
}

} // namespace

void SetUpdateCheckServer(UpdateCheckServer server) {
    std::lock_guard guard(g_serverLock);
    g_server = std::move(server);
}

UINT AFX_CDECL UpdateCheckThreadProc(LPVOID pParam) {
    std::unique_ptr<std::shared_ptr<CUpdateBlock>> owned(static_cast<std::shared_ptr<CUpdateBlock>*>(pParam));
    if (owned == nullptr || *owned == nullptr) {
        return 0;
    }
    CUpdateBlock& block = **owned;
    const UpdateCheckServer server = CurrentServer();
    std::optional<std::u16string> answer;
    if (server) {
        answer = server(std::u16string(block.m_szUpdateQuery));
    }
    if (answer.has_value()) {
        const size_t length = std::min(answer->size(), CUpdateBlock::ResponseLength - 1);
        std::copy_n(answer->data(), length, block.m_szUpdateResponse);
        block.m_szUpdateResponse[length] = u'\0';
        block.m_bUpdateResponseReceived.store(TRUE, std::memory_order_relaxed);
    }
    // Last: whoever sees the check ended sees its answer.
    block.m_bUpdateCheckRunning.store(FALSE, std::memory_order_release);
    return 0;
}
