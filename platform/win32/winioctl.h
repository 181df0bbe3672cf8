// File-system control codes that user mode sends to files with DeviceIoControl.
#pragma once

#include "devioctl.h"

#define FILE_DEVICE_FILE_SYSTEM 0x00000009

// Marks a file sparse; the optional input is a FILE_SET_SPARSE_BUFFER (absent: set).
#define FSCTL_SET_SPARSE CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 49, METHOD_BUFFERED, FILE_SPECIAL_ACCESS)
static_assert(FSCTL_SET_SPARSE == 0x000900C4);

typedef struct _FILE_SET_SPARSE_BUFFER {
    BOOLEAN SetSparse;
} FILE_SET_SPARSE_BUFFER, *PFILE_SET_SPARSE_BUFFER;
static_assert(sizeof(FILE_SET_SPARSE_BUFFER) == 1);
