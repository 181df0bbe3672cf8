#include "AfxWinThread.h"

#include "AfxWinApp.h"
#include "WinHandles.h"

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

namespace {

thread_local CWinThread* t_pCurrentThread = nullptr;

} // namespace

CWinThread::CWinThread() = default;

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
    if (m_hThread != nullptr)
        CloseHandle(m_hThread);
}

DWORD WINAPI CWinThread::ThreadEntry(LPVOID pParam) {
    auto* pThread = static_cast<CWinThread*>(pParam);
    t_pCurrentThread = pThread;
    UINT nResult = 0;
    if (pThread->m_pfnThreadProc != nullptr)
        nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    else
        nResult = static_cast<UINT>(pThread->ExitInstance());
    t_pCurrentThread = nullptr;
    // Without auto-delete the owner waits on the handle and deletes the object: nothing here may touch it then.
    if (pThread->m_bAutoDelete)
        pThread->Delete();
    return nResult;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    // Started suspended, so the object is complete (handle and id) before the thread can end and delete it.
    DWORD id = 0;
    HANDLE h = ::CreateThread(lpSecurityAttrs, nStackSize, &CWinThread::ThreadEntry, this,
                              dwCreateFlags | CREATE_SUSPENDED, &id);
    if (h == nullptr)
        return FALSE;
    m_hThread = h;
    m_nThreadID = id;
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ::ResumeThread(h);
    return TRUE;
}

DWORD CWinThread::ResumeThread() {
    return ::ResumeThread(m_hThread);
}

int CWinThread::GetThreadPriority() {
    return ::GetThreadPriority(m_hThread);
}

BOOL CWinThread::SetThreadPriority(int nPriority) {
    return ::SetThreadPriority(m_hThread, nPriority);
}

CWnd* CWinThread::GetMainWnd() {
    return m_pMainWnd;
}

BOOL CWinThread::InitInstance() {
    return FALSE;
}

int CWinThread::ExitInstance() {
    return static_cast<int>(m_msgCur.wParam);
}

void CWinThread::Delete() {
    if (m_bAutoDelete)
        delete this;
}

CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                                  DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    if (pfnThreadProc == nullptr)
        return nullptr;
    auto* pThread = new CWinThread(pfnThreadProc, pParam);
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        pThread->m_bAutoDelete = TRUE;
        pThread->Delete();
        return nullptr;
    }
    pThread->SetThreadPriority(nPriority);
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ::ResumeThread(pThread->m_hThread);
    return pThread;
}

CWinThread* AFXAPI AfxGetThread() {
    if (t_pCurrentThread != nullptr)
        return t_pCurrentThread;
    return AfxGetApp();
}
