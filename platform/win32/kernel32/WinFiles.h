// Files on the host's file system with the platform's semantics: creation dispositions, the file pointer,
// end-of-file, attributes and the platform's error codes. Paths may use "\" or "/"; the paths this layer
// hands out (temporary folder, module file names) use "\" as the platform does. Share modes are accepted and
// not enforced. Names beginning with "\\.\" open a device of the simulated machine.
#pragma once

#include "windef.h"

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004
#define MOVEFILE_WRITE_THROUGH 0x00000008

typedef struct _BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;
static_assert(sizeof(BY_HANDLE_FILE_INFORMATION) == 52);

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
inline HANDLE CreateFile(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                         DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
    return CreateFileA(fileName, desiredAccess, shareMode, security, creationDisposition, flagsAndAttributes,
                       templateFile);
}

// With an OVERLAPPED block the transfer starts at its Offset/OffsetHigh and completes before the call returns.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime, LPFILETIME lastWriteTime);
BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);

BOOL DeleteFileA(LPCSTR fileName);
// Fails on request (WinFailureControl.h, name "MoveFileExA").
BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);
BOOL MoveFileA(LPCSTR existingFileName, LPCSTR newFileName);
BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists);
BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryA(LPCSTR pathName);
DWORD GetFileAttributesA(LPCSTR fileName);
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName);
DWORD GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart);
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
// The module's file: the program itself for a null module, the registered path of a stand-in module.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

inline BOOL DeleteFile(LPCSTR fileName) {
    return DeleteFileA(fileName);
}
inline BOOL MoveFileEx(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    return MoveFileExA(existingFileName, newFileName, flags);
}
inline BOOL MoveFile(LPCSTR existingFileName, LPCSTR newFileName) {
    return MoveFileA(existingFileName, newFileName);
}
inline BOOL CopyFile(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
    return CopyFileA(existingFileName, newFileName, failIfExists);
}
inline BOOL CreateDirectory(LPCSTR pathName, LPSECURITY_ATTRIBUTES security) {
    return CreateDirectoryA(pathName, security);
}
inline BOOL RemoveDirectory(LPCSTR pathName) {
    return RemoveDirectoryA(pathName);
}
inline DWORD GetFileAttributes(LPCSTR fileName) {
    return GetFileAttributesA(fileName);
}
inline DWORD GetTempPath(DWORD bufferLength, LPSTR buffer) {
    return GetTempPathA(bufferLength, buffer);
}
inline UINT GetTempFileName(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName) {
    return GetTempFileNameA(pathName, prefixString, unique, tempFileName);
}
inline DWORD GetFullPathName(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
    return GetFullPathNameA(fileName, bufferLength, buffer, filePart);
}
inline DWORD GetCurrentDirectory(DWORD bufferLength, LPSTR buffer) {
    return GetCurrentDirectoryA(bufferLength, buffer);
}
inline DWORD GetModuleFileName(HMODULE module, LPSTR fileName, DWORD size) {
    return GetModuleFileNameA(module, fileName, size);
}
