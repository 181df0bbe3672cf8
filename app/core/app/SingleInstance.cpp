#include "app/core/app/SingleInstance.h"

HANDLE g_hSingleInstanceMutex = nullptr;
DWORD g_dwSingleInstanceError = 0;

void CreateSingleInstanceMutex() {
    HANDLE hMutex = ::CreateMutexA(nullptr, FALSE, kSingleInstanceMutexName);
    g_dwSingleInstanceError = ::GetLastError();
    if (g_hSingleInstanceMutex == nullptr) {
        g_hSingleInstanceMutex = hMutex;
    } else if (hMutex != nullptr) {
        // The first handle keeps the mutex; this one only learnt whether it existed.
        ::CloseHandle(hMutex);
    }
}

void CloseSingleInstanceMutex() {
    if (g_hSingleInstanceMutex != nullptr) {
        ::CloseHandle(g_hSingleInstanceMutex);
        g_hSingleInstanceMutex = nullptr;
    }
    g_dwSingleInstanceError = 0;
}
