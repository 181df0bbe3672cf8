// The SCSI request block the disk class driver sends to the storage class driver's disk device
// (IRP_MJ_SCSI, Parameters.Scsi.Srb), in its x64 layout, with the functions, statuses and flags these two
// drivers use.
#pragma once

#include "devioctl.h"
#include "wdm.h"

#define SRB_FUNCTION_EXECUTE_SCSI 0x00
#define SRB_FUNCTION_CLAIM_DEVICE 0x01
#define SRB_FUNCTION_RELEASE_DEVICE 0x04
#define SRB_FUNCTION_SHUTDOWN 0x07
#define SRB_FUNCTION_FLUSH 0x08
#define SRB_FUNCTION_RESET_BUS 0x12

#define SRB_STATUS_PENDING 0x00
#define SRB_STATUS_SUCCESS 0x01
#define SRB_STATUS_ABORTED 0x02
#define SRB_STATUS_ERROR 0x04
#define SRB_STATUS_INVALID_REQUEST 0x06
#define SRB_STATUS_NO_DEVICE 0x08
#define SRB_STATUS_BUS_RESET 0x0E
#define SRB_STATUS_DATA_OVERRUN 0x12
#define SRB_STATUS_AUTOSENSE_VALID 0x80
#define SRB_STATUS(status) ((status)&0x3F)

#define SRB_FLAGS_DATA_IN 0x00000040
#define SRB_FLAGS_DATA_OUT 0x00000080
#define SRB_FLAGS_NO_DATA_TRANSFER 0x00000000
#define SRB_FLAGS_DISABLE_AUTOSENSE 0x00000020

#define SCSISTAT_GOOD 0x00
#define SCSISTAT_CHECK_CONDITION 0x02

// Requests to the disk class driver: the medium polled (TEST UNIT READY), and the disk's length in bytes.
#define IOCTL_STORAGE_CHECK_VERIFY CTL_CODE(FILE_DEVICE_MASS_STORAGE, 0x0200, METHOD_BUFFERED, FILE_READ_ACCESS)
#define IOCTL_DISK_GET_LENGTH_INFO CTL_CODE(FILE_DEVICE_DISK, 0x0017, METHOD_BUFFERED, FILE_READ_ACCESS)

typedef struct _SCSI_REQUEST_BLOCK {
    USHORT Length;
    UCHAR Function;
    UCHAR SrbStatus;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR QueueTag;
    UCHAR QueueAction;
    UCHAR CdbLength;
    UCHAR SenseInfoBufferLength;
    ULONG SrbFlags;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    PVOID DataBuffer; // within the IRP's MDL
    PVOID SenseInfoBuffer;
    struct _SCSI_REQUEST_BLOCK* NextSrb;
    PVOID OriginalRequest; // the IRP
    PVOID SrbExtension;
    ULONG InternalStatus;
    ULONG Reserved;
    UCHAR Cdb[16];
} SCSI_REQUEST_BLOCK, *PSCSI_REQUEST_BLOCK;

static_assert(sizeof(SCSI_REQUEST_BLOCK) == 88);
static_assert(offsetof(SCSI_REQUEST_BLOCK, SrbFlags) == 12 && offsetof(SCSI_REQUEST_BLOCK, DataTransferLength) == 16 &&
              offsetof(SCSI_REQUEST_BLOCK, DataBuffer) == 24 && offsetof(SCSI_REQUEST_BLOCK, SenseInfoBuffer) == 32 &&
              offsetof(SCSI_REQUEST_BLOCK, OriginalRequest) == 48 && offsetof(SCSI_REQUEST_BLOCK, Cdb) == 72);
