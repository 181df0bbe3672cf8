// CWinThread: a thread of the program as the framework sees it. The application object is the main thread's;
// AfxBeginThread starts a worker that runs a function and ends with it.
#pragma once

#include "AfxCmdTarget.h"
#include "WinThreads.h"
#include "WinUserTypes.h"

class CWnd;

typedef UINT(AFX_CDECL* AFX_THREADPROC)(LPVOID);

class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread();
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override; // closes the thread handle

    // Starts the host thread; CREATE_SUSPENDED holds it until ResumeThread. FALSE when it cannot be started.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
    DWORD ResumeThread();
    int GetThreadPriority();
    BOOL SetThreadPriority(int nPriority);
    operator HANDLE() const { return m_hThread; }

    virtual CWnd* GetMainWnd();
    virtual BOOL InitInstance();
    // The message loop: OnIdle with a growing count while the queue is empty, until WM_QUIT; then
    // ExitInstance, whose result it returns.
    virtual int Run();
    // One message: FALSE at WM_QUIT.
    virtual BOOL PumpMessage();
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Idle work; count 0 updates the main window's bars. TRUE asks for more idle calls.
    virtual BOOL OnIdle(LONG lCount);
    virtual int ExitInstance();
    // Ends the object after its thread ended: deletes it when m_bAutoDelete is set.
    virtual void Delete();

    CWnd* m_pMainWnd = nullptr;
    CWnd* m_pActiveWnd = nullptr;
    BOOL m_bAutoDelete = TRUE; // the object deletes itself when its thread ends
    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    MSG m_msgCur{}; // the message being handled; WM_QUIT's wParam is the exit code

protected:
    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;

private:
    static DWORD WINAPI ThreadEntry(LPVOID pThread);
};

// Starts a worker thread running pfnThreadProc(pParam). nullptr when the thread cannot be started. With
// CREATE_SUSPENDED the caller may set m_bAutoDelete to FALSE before ResumeThread, to wait on m_hThread and
// read the exit code after the thread ended, and then deletes the object itself.
CWinThread* AFXAPI AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                                  UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// The framework object of the calling thread: the worker's CWinThread, or the application object.
CWinThread* AFXAPI AfxGetThread();
