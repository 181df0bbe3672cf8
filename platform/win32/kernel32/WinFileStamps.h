// What a program that writes files copied from elsewhere asks of them: the kind of file behind a handle, and
// the times it carries. Each call fails on request (WinFailureControl.h).
#pragma once

#include "windef.h"

#define FILE_TYPE_UNKNOWN 0x0000
#define FILE_TYPE_DISK 0x0001
#define FILE_TYPE_CHAR 0x0002
#define FILE_TYPE_PIPE 0x0003

// FILE_TYPE_DISK for files and folders, FILE_TYPE_CHAR for character devices, FILE_TYPE_PIPE for pipes and
// sockets; FILE_TYPE_UNKNOWN with ERROR_INVALID_HANDLE for what is not a file handle (and with ERROR_SUCCESS
// for a device of the simulated machine).
DWORD GetFileType(HANDLE file);
// Null times are left as they are. The host keeps no creation time: it is accepted and dropped. Times with the
// top bit set fail with ERROR_INVALID_PARAMETER; the handle needs write access.
BOOL SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime);
// An MS-DOS date (bits 0-4 day, 5-8 month, 9-15 years since 1980) and time (bits 0-4 seconds / 2, 5-10
// minutes, 11-15 hours) as a FILETIME; the machine keeps UTC, so the local time they describe is UTC. A field
// out of range (month 0, 31 April, hour 24, 60 seconds...) fails with ERROR_INVALID_PARAMETER.
BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, LPFILETIME fileTime);
