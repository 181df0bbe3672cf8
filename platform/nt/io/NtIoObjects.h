// The objects of the I/O manager in their x64 layouts: driver objects, device objects, file objects, IRPs and
// their stack locations, and memory descriptor lists. Drivers read these fields directly (dispatch tables,
// stack-location parameters, the IRP's driver context), so every offset a driver may use is asserted.
#pragma once

#include "NtEvent.h"
#include "NtIoTypes.h"
#include "NtIrql.h"

typedef ULONG LCID;
typedef CHAR CCHAR;

struct _KEVENT;
struct _ETHREAD;
struct _EPROCESS;
struct _VPB;
struct _IO_TIMER;
struct _CM_RESOURCE_LIST;
struct _IO_RESOURCE_REQUIREMENTS_LIST;
struct _SCSI_REQUEST_BLOCK;
struct _FAST_IO_DISPATCH;
struct _SECURITY_QUALITY_OF_SERVICE;
struct _ACCESS_STATE;
struct _SECTION_OBJECT_POINTERS;
struct _IO_COMPLETION_CONTEXT;

typedef struct _DEVICE_OBJECT DEVICE_OBJECT, *PDEVICE_OBJECT;
typedef struct _DRIVER_OBJECT DRIVER_OBJECT, *PDRIVER_OBJECT;
typedef struct _FILE_OBJECT FILE_OBJECT, *PFILE_OBJECT;
typedef struct _IRP IRP, *PIRP;
typedef struct _IO_STACK_LOCATION IO_STACK_LOCATION, *PIO_STACK_LOCATION;
typedef struct _MDL MDL, *PMDL;
typedef struct _CM_RESOURCE_LIST* PCM_RESOURCE_LIST;
typedef struct _IO_RESOURCE_REQUIREMENTS_LIST* PIO_RESOURCE_REQUIREMENTS_LIST;

// Routine types, as function types (for declarations such as `DRIVER_DISPATCH MyDispatch;`) and pointers.
typedef NTSTATUS DRIVER_INITIALIZE(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);
typedef DRIVER_INITIALIZE* PDRIVER_INITIALIZE;
typedef NTSTATUS DRIVER_DISPATCH(PDEVICE_OBJECT DeviceObject, PIRP Irp);
typedef DRIVER_DISPATCH* PDRIVER_DISPATCH;
typedef NTSTATUS DRIVER_ADD_DEVICE(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject);
typedef DRIVER_ADD_DEVICE* PDRIVER_ADD_DEVICE;
typedef VOID DRIVER_UNLOAD(PDRIVER_OBJECT DriverObject);
typedef DRIVER_UNLOAD* PDRIVER_UNLOAD;
typedef VOID DRIVER_STARTIO(PDEVICE_OBJECT DeviceObject, PIRP Irp);
typedef DRIVER_STARTIO* PDRIVER_STARTIO;
typedef VOID DRIVER_CANCEL(PDEVICE_OBJECT DeviceObject, PIRP Irp);
typedef DRIVER_CANCEL* PDRIVER_CANCEL;
typedef NTSTATUS IO_COMPLETION_ROUTINE(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
typedef IO_COMPLETION_ROUTINE* PIO_COMPLETION_ROUTINE;
typedef VOID IO_APC_ROUTINE(PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock, ULONG Reserved);
typedef IO_APC_ROUTINE* PIO_APC_ROUTINE;

typedef struct _KDEVICE_QUEUE_ENTRY {
    LIST_ENTRY DeviceListEntry;
    ULONG SortKey;
    BOOLEAN Inserted;
} KDEVICE_QUEUE_ENTRY, *PKDEVICE_QUEUE_ENTRY;
static_assert(sizeof(KDEVICE_QUEUE_ENTRY) == 24);

typedef struct _KDEVICE_QUEUE {
    CSHORT Type;
    CSHORT Size;
    LIST_ENTRY DeviceListHead;
    KSPIN_LOCK Lock;
    BOOLEAN Busy;
} KDEVICE_QUEUE, *PKDEVICE_QUEUE;
static_assert(sizeof(KDEVICE_QUEUE) == 40);

typedef struct _DRIVER_EXTENSION {
    PDRIVER_OBJECT DriverObject;
    PDRIVER_ADD_DEVICE AddDevice;
    ULONG Count;
    UNICODE_STRING ServiceKeyName;
} DRIVER_EXTENSION, *PDRIVER_EXTENSION;
static_assert(sizeof(DRIVER_EXTENSION) == 40 && offsetof(DRIVER_EXTENSION, ServiceKeyName) == 24);

struct _DRIVER_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject; // the driver's devices, newest first, linked through NextDevice
    ULONG Flags;
    PVOID DriverStart;
    ULONG DriverSize;
    PVOID DriverSection;
    PDRIVER_EXTENSION DriverExtension;
    UNICODE_STRING DriverName; // "\Driver\<service>"
    PUNICODE_STRING HardwareDatabase;
    struct _FAST_IO_DISPATCH* FastIoDispatch;
    PDRIVER_INITIALIZE DriverInit;
    PDRIVER_STARTIO DriverStartIo;
    PDRIVER_UNLOAD DriverUnload;
    PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};
static_assert(sizeof(DRIVER_OBJECT) == 0x150);
static_assert(offsetof(DRIVER_OBJECT, DeviceObject) == 0x08 && offsetof(DRIVER_OBJECT, DriverExtension) == 0x30 &&
              offsetof(DRIVER_OBJECT, DriverName) == 0x38 && offsetof(DRIVER_OBJECT, DriverUnload) == 0x68 &&
              offsetof(DRIVER_OBJECT, MajorFunction) == 0x70);

#define DRVO_UNLOAD_INVOKED 0x00000001
#define DRVO_LEGACY_DRIVER 0x00000002
#define DRVO_BUILTIN_DRIVER 0x00000004

// The I/O manager's per-device bookkeeping; drivers see Type, Size and DeviceObject, the rest is the system's.
typedef struct _DEVOBJ_EXTENSION {
    CSHORT Type;
    USHORT Size;
    PDEVICE_OBJECT DeviceObject;
    ULONG PowerFlags;
    PVOID Dope;
    ULONG ExtensionFlags;
    PVOID DeviceNode;          // the Plug and Play device node of a physical device object, else null
    PDEVICE_OBJECT AttachedTo; // the device this one is attached to, null at the bottom of a stack
    LONG StartIoCount;
    LONG StartIoKey;
    ULONG StartIoFlags;
    struct _VPB* Vpb;
} DEVOBJ_EXTENSION, *PDEVOBJ_EXTENSION;
static_assert(offsetof(DEVOBJ_EXTENSION, DeviceNode) == 0x28 && offsetof(DEVOBJ_EXTENSION, AttachedTo) == 0x30 &&
              sizeof(DEVOBJ_EXTENSION) == 0x50);

struct alignas(16) _DEVICE_OBJECT {
    CSHORT Type;
    USHORT Size;
    LONG ReferenceCount; // open file objects on the device
    PDRIVER_OBJECT DriverObject;
    PDEVICE_OBJECT NextDevice;
    PDEVICE_OBJECT AttachedDevice; // the device attached above this one
    PIRP CurrentIrp;
    struct _IO_TIMER* Timer;
    ULONG Flags;
    ULONG Characteristics;
    struct _VPB* Vpb;
    PVOID DeviceExtension;
    ULONG DeviceType;
    CCHAR StackSize;
    union {
        LIST_ENTRY ListEntry;
        UCHAR Wcb[0x48];
    } Queue;
    ULONG AlignmentRequirement;
    KDEVICE_QUEUE DeviceQueue;
    alignas(8) UCHAR Dpc[0x40];
    ULONG ActiveThreadCount;
    PVOID SecurityDescriptor;
    alignas(8) UCHAR DeviceLock[0x18];
    USHORT SectorSize;
    USHORT Spare1;
    PDEVOBJ_EXTENSION DeviceObjectExtension;
    PVOID Reserved;
};
static_assert(sizeof(DEVICE_OBJECT) == 0x150);
static_assert(offsetof(DEVICE_OBJECT, DriverObject) == 0x08 && offsetof(DEVICE_OBJECT, NextDevice) == 0x10 &&
              offsetof(DEVICE_OBJECT, AttachedDevice) == 0x18 && offsetof(DEVICE_OBJECT, Flags) == 0x30 &&
              offsetof(DEVICE_OBJECT, DeviceExtension) == 0x40 && offsetof(DEVICE_OBJECT, DeviceType) == 0x48 &&
              offsetof(DEVICE_OBJECT, StackSize) == 0x4c && offsetof(DEVICE_OBJECT, AlignmentRequirement) == 0x98 &&
              offsetof(DEVICE_OBJECT, DeviceQueue) == 0xa0 && offsetof(DEVICE_OBJECT, Dpc) == 0xc8 &&
              offsetof(DEVICE_OBJECT, DeviceLock) == 0x118 && offsetof(DEVICE_OBJECT, DeviceObjectExtension) == 0x138);

typedef struct _IO_SECURITY_CONTEXT {
    struct _SECURITY_QUALITY_OF_SERVICE* SecurityQos;
    struct _ACCESS_STATE* AccessState;
    ACCESS_MASK DesiredAccess;
    ULONG FullCreateOptions;
} IO_SECURITY_CONTEXT, *PIO_SECURITY_CONTEXT;
static_assert(sizeof(IO_SECURITY_CONTEXT) == 24);

struct _FILE_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject;
    struct _VPB* Vpb;
    PVOID FsContext;
    PVOID FsContext2;
    struct _SECTION_OBJECT_POINTERS* SectionObjectPointer;
    PVOID PrivateCacheMap;
    NTSTATUS FinalStatus;
    struct _FILE_OBJECT* RelatedFileObject;
    BOOLEAN LockOperation;
    BOOLEAN DeletePending;
    BOOLEAN ReadAccess;
    BOOLEAN WriteAccess;
    BOOLEAN DeleteAccess;
    BOOLEAN SharedRead;
    BOOLEAN SharedWrite;
    BOOLEAN SharedDelete;
    ULONG Flags;
    UNICODE_STRING FileName;
    LARGE_INTEGER CurrentByteOffset;
    ULONG Waiters;
    ULONG Busy;
    PVOID LastLock;
    alignas(8) UCHAR Lock[0x18];
    alignas(8) UCHAR Event[0x18];
    struct _IO_COMPLETION_CONTEXT* CompletionContext;
    KSPIN_LOCK IrpListLock;
    LIST_ENTRY IrpList;
    PVOID FileObjectExtension;
};
static_assert(sizeof(FILE_OBJECT) == 0xd8 && offsetof(FILE_OBJECT, FsContext) == 0x18 &&
              offsetof(FILE_OBJECT, ReadAccess) == 0x4a && offsetof(FILE_OBJECT, FileName) == 0x58 &&
              offsetof(FILE_OBJECT, FileObjectExtension) == 0xd0);

// A memory descriptor list: the header below, followed by one page frame number per page the buffer touches.
struct _MDL {
    struct _MDL* Next;
    CSHORT Size;
    CSHORT MdlFlags;
    struct _EPROCESS* Process;
    PVOID MappedSystemVa;
    PVOID StartVa; // page-aligned start of the buffer
    ULONG ByteCount;
    ULONG ByteOffset; // offset of the buffer within its first page
};
static_assert(sizeof(MDL) == 48 && offsetof(MDL, MappedSystemVa) == 24 && offsetof(MDL, ByteCount) == 40);

struct _IO_STACK_LOCATION {
    UCHAR MajorFunction;
    UCHAR MinorFunction;
    UCHAR Flags;
    UCHAR Control;
    union {
        struct {
            PIO_SECURITY_CONTEXT SecurityContext;
            ULONG Options;
            alignas(8) USHORT FileAttributes;
            USHORT ShareAccess;
            alignas(8) ULONG EaLength;
        } Create;
        struct {
            ULONG Length;
            alignas(8) ULONG Key;
            ULONG Flags;
            LARGE_INTEGER ByteOffset;
        } Read;
        struct {
            ULONG Length;
            alignas(8) ULONG Key;
            ULONG Flags;
            LARGE_INTEGER ByteOffset;
        } Write;
        struct {
            ULONG OutputBufferLength;
            alignas(8) ULONG InputBufferLength;
            alignas(8) ULONG FsControlCode;
            PVOID Type3InputBuffer;
        } FileSystemControl;
        struct {
            ULONG OutputBufferLength;
            alignas(8) ULONG InputBufferLength;
            alignas(8) ULONG IoControlCode;
            PVOID Type3InputBuffer;
        } DeviceIoControl;
        struct {
            struct _SCSI_REQUEST_BLOCK* Srb;
        } Scsi;
        struct {
            DEVICE_RELATION_TYPE Type;
        } QueryDeviceRelations;
        struct {
            const GUID* InterfaceType;
            USHORT Size;
            USHORT Version;
            PINTERFACE Interface;
            PVOID InterfaceSpecificData;
        } QueryInterface;
        struct {
            PDEVICE_CAPABILITIES Capabilities;
        } DeviceCapabilities;
        struct {
            PIO_RESOURCE_REQUIREMENTS_LIST IoResourceRequirementList;
        } FilterResourceRequirements;
        struct {
            ULONG WhichSpace;
            PVOID Buffer;
            ULONG Offset;
            alignas(8) ULONG Length;
        } ReadWriteConfig;
        struct {
            BOOLEAN Lock;
        } SetLock;
        struct {
            BUS_QUERY_ID_TYPE IdType;
        } QueryId;
        struct {
            DEVICE_TEXT_TYPE DeviceTextType;
            alignas(8) LCID LocaleId;
        } QueryDeviceText;
        struct {
            BOOLEAN InPath;
            BOOLEAN Reserved[3];
            alignas(8) DEVICE_USAGE_NOTIFICATION_TYPE Type;
        } UsageNotification;
        struct {
            SYSTEM_POWER_STATE PowerState;
        } WaitWake;
        struct {
            PPOWER_SEQUENCE PowerSequence;
        } PowerSequence;
        struct {
            union {
                ULONG SystemContext;
                SYSTEM_POWER_STATE_CONTEXT SystemPowerStateContext;
            };
            alignas(8) POWER_STATE_TYPE Type;
            alignas(8) POWER_STATE State;
            alignas(8) POWER_ACTION ShutdownType;
        } Power;
        struct {
            PCM_RESOURCE_LIST AllocatedResources;
            PCM_RESOURCE_LIST AllocatedResourcesTranslated;
        } StartDevice;
        struct {
            ULONG_PTR ProviderId;
            PVOID DataPath;
            ULONG BufferSize;
            PVOID Buffer;
        } WMI;
        struct {
            PVOID Argument1;
            PVOID Argument2;
            PVOID Argument3;
            PVOID Argument4;
        } Others;
    } Parameters;
    PDEVICE_OBJECT DeviceObject;
    PFILE_OBJECT FileObject;
    PIO_COMPLETION_ROUTINE CompletionRoutine;
    PVOID Context;
};
static_assert(sizeof(IO_STACK_LOCATION) == 72);
static_assert(offsetof(IO_STACK_LOCATION, Control) == 3 && offsetof(IO_STACK_LOCATION, Parameters) == 8 &&
              offsetof(IO_STACK_LOCATION, DeviceObject) == 0x28 && offsetof(IO_STACK_LOCATION, FileObject) == 0x30 &&
              offsetof(IO_STACK_LOCATION, CompletionRoutine) == 0x38 && offsetof(IO_STACK_LOCATION, Context) == 0x40);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.OutputBufferLength) == 8 &&
              offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.InputBufferLength) == 16 &&
              offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode) == 24 &&
              offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.Type3InputBuffer) == 32);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.Others.Argument2) == 16 &&
              offsetof(IO_STACK_LOCATION, Parameters.Others.Argument4) == 32);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.Power.Type) == 16 &&
              offsetof(IO_STACK_LOCATION, Parameters.Power.State) == 24 &&
              offsetof(IO_STACK_LOCATION, Parameters.Power.ShutdownType) == 32);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.QueryInterface.Size) == 16 &&
              offsetof(IO_STACK_LOCATION, Parameters.QueryInterface.Version) == 18 &&
              offsetof(IO_STACK_LOCATION, Parameters.QueryInterface.Interface) == 24 &&
              offsetof(IO_STACK_LOCATION, Parameters.QueryInterface.InterfaceSpecificData) == 32);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.Create.FileAttributes) == 24 &&
              offsetof(IO_STACK_LOCATION, Parameters.Create.EaLength) == 32 &&
              offsetof(IO_STACK_LOCATION, Parameters.Read.ByteOffset) == 24 &&
              offsetof(IO_STACK_LOCATION, Parameters.QueryDeviceText.LocaleId) == 16 &&
              offsetof(IO_STACK_LOCATION, Parameters.UsageNotification.Type) == 16 &&
              offsetof(IO_STACK_LOCATION, Parameters.ReadWriteConfig.Length) == 32 &&
              offsetof(IO_STACK_LOCATION, Parameters.WMI.BufferSize) == 24 &&
              offsetof(IO_STACK_LOCATION, Parameters.WMI.Buffer) == 32);

struct _IRP {
    CSHORT Type;
    USHORT Size;
    USHORT AllocationProcessorNumber;
    USHORT Reserved;
    PMDL MdlAddress;
    ULONG Flags;
    union {
        struct _IRP* MasterIrp;
        LONG IrpCount;
        PVOID SystemBuffer;
    } AssociatedIrp;
    LIST_ENTRY ThreadListEntry;
    IO_STATUS_BLOCK IoStatus;
    KPROCESSOR_MODE RequestorMode;
    BOOLEAN PendingReturned;
    CHAR StackCount;
    CHAR CurrentLocation;
    BOOLEAN Cancel;
    KIRQL CancelIrql;
    CCHAR ApcEnvironment;
    UCHAR AllocationFlags;
    PIO_STATUS_BLOCK UserIosb;
    struct _KEVENT* UserEvent;
    union {
        struct {
            PIO_APC_ROUTINE UserApcRoutine;
            PVOID UserApcContext;
        } AsynchronousParameters;
        LARGE_INTEGER AllocationSize;
    } Overlay;
    PDRIVER_CANCEL CancelRoutine;
    PVOID UserBuffer;
    union {
        struct {
            union {
                KDEVICE_QUEUE_ENTRY DeviceQueueEntry;
                struct {
                    PVOID DriverContext[4];
                };
            };
            struct _ETHREAD* Thread;
            PCHAR AuxiliaryBuffer;
            struct {
                LIST_ENTRY ListEntry;
                union {
                    struct _IO_STACK_LOCATION* CurrentStackLocation;
                    ULONG PacketType;
                };
            };
            PFILE_OBJECT OriginalFileObject;
        } Overlay;
        struct {
            UCHAR Opaque[0x58];
        } Apc;
        PVOID CompletionKey;
    } Tail;
};
static_assert(sizeof(IRP) == 0xd0);
static_assert(offsetof(IRP, MdlAddress) == 0x08 && offsetof(IRP, Flags) == 0x10 &&
              offsetof(IRP, AssociatedIrp) == 0x18 && offsetof(IRP, IoStatus) == 0x30 &&
              offsetof(IRP, RequestorMode) == 0x40 && offsetof(IRP, PendingReturned) == 0x41 &&
              offsetof(IRP, StackCount) == 0x42 && offsetof(IRP, CurrentLocation) == 0x43 &&
              offsetof(IRP, Cancel) == 0x44 && offsetof(IRP, UserIosb) == 0x48 && offsetof(IRP, UserEvent) == 0x50 &&
              offsetof(IRP, CancelRoutine) == 0x68 && offsetof(IRP, UserBuffer) == 0x70 && offsetof(IRP, Tail) == 0x78);
static_assert(offsetof(IRP, Tail.Overlay.DriverContext) == 0x78 && offsetof(IRP, Tail.Overlay.Thread) == 0x98 &&
              offsetof(IRP, Tail.Overlay.ListEntry) == 0xa8 &&
              offsetof(IRP, Tail.Overlay.CurrentStackLocation) == 0xb8 &&
              offsetof(IRP, Tail.Overlay.OriginalFileObject) == 0xc0);
