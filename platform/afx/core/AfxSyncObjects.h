// The framework's synchronisation objects: CSyncObject, CCriticalSection (a critical section of the
// platform, re-entrant for its owner) and CSingleLock, which holds one object's lock for a scope.
#pragma once

#include "AfxObject.h"
#include "windows.h"

class CSyncObject : public CObject {
    DECLARE_DYNAMIC(CSyncObject)
public:
    ~CSyncObject() override = default;

    virtual BOOL Lock(DWORD dwTimeout = INFINITE) = 0;
    virtual BOOL Unlock() = 0;

protected:
    CSyncObject() = default;
};

class CCriticalSection : public CSyncObject {
    DECLARE_DYNAMIC(CCriticalSection)
public:
    // Throws the framework's memory exception when the platform cannot make the section.
    CCriticalSection();
    ~CCriticalSection() override;

    operator CRITICAL_SECTION*() { return &m_sect; }

    // A critical section has no time-out: any dwTimeout waits until it is free.
    BOOL Lock(DWORD dwTimeout = INFINITE) override;
    BOOL Unlock() override;

    CRITICAL_SECTION m_sect;
};

class CSingleLock {
public:
    // Takes the lock at once when bInitialLock.
    explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
    // Releases the lock when it is still held.
    ~CSingleLock();
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    BOOL Lock(DWORD dwTimeout = INFINITE);
    BOOL Unlock();
    BOOL IsLocked() const { return m_bAcquired; }

private:
    CSyncObject* m_pObject;
    BOOL m_bAcquired = FALSE;
};
