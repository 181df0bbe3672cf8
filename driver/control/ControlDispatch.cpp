// The control device's request dispatcher: finds the code's entry, applies its buffer rule and minimum
// length, calls its handler and completes the request. Every request completes here, synchronously.
//
// Locks: none of its own; handlers take the locks of what they touch (ControlHandlers.h).
#include "driver/control/ControlHandlers.h"

#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "common/LoggingOptions.h"
#include "driver/core/Driver.h"

namespace {

// Where a handler's buffer comes from.
enum class BufferRule : UCHAR {
    None,   // the code carries no buffer
    Input,  // system buffer (buffered) or Type3InputBuffer (neither), with the input length
    Output, // system buffer (buffered) or the user buffer (neither), with the output length
};

struct ControlEntry {
    ULONG code;
    BufferRule rule;
    ULONG minimumLength; // shorter buffers fail with STATUS_INVALID_PARAMETER
    ULONG subject;       // three letters after the event-ring tag's first character
    PCONTROL_HANDLER handler;
};

constexpr ULONG Subject(const char (&s)[4]) {
    return FourCC(0, s[0], s[1], s[2]);
}

// Indexed by function number - 0x800. Codes whose subsystem is not built yet have no handler and complete as
// unknown codes.
constexpr ULONG FIRST_FUNCTION = 0x800;
const ControlEntry g_controlEntries[] = {
    {IOCTL_TINDALOFT_INFO, BufferRule::Output, sizeof(DRIVER_INFO), Subject("inf"), ControlInfo},
    {IOCTL_TINDALOFT_ENABLE_LOG, BufferRule::Input, sizeof(ULONG), Subject("enl"), ControlEnableLog},
    {IOCTL_TINDALOFT_DISABLE_LOG, BufferRule::None, 0, Subject("dsl"), ControlDisableLog},
    {IOCTL_TINDALOFT_CLEAR_LOG, BufferRule::None, 0, Subject("cll"), ControlClearLog},
    {IOCTL_TINDALOFT_READ_LOG, BufferRule::Output, 0, Subject("rdl"), ControlReadLog},
    {IOCTL_TINDALOFT_DRVOBJ_NODES, BufferRule::Output, 0, Subject("drn"), ControlDriverNodes},
    {IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, BufferRule::Input, 0, Subject("sdf"), ControlSetDevobjFlags},
    {IOCTL_TINDALOFT_CLR_REGNODES, BufferRule::None, 0, Subject("crn"), ControlClearRegNodes},
    {IOCTL_TINDALOFT_DEVSTK_NODES, BufferRule::Output, 0, Subject("dsn"), ControlDevstkNodes},
    {IOCTL_TINDALOFT_DEVSTK_NODES_EX, BufferRule::Output, 0, Subject("dsx"), ControlDevstkNodesEx},
    {IOCTL_TINDALOFT_DEVSTK_REFRESH, BufferRule::None, 0, Subject("dsr"), ControlDevstkRefresh},
    {IOCTL_TINDALOFT_SET_BOOTFLAG, BufferRule::Input, sizeof(ULONG), Subject("sbf"), ControlSetBootflag},
    {IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, BufferRule::Input, sizeof(LOGGING_OPTIONS), Subject("slo"),
     ControlSetLoggingOptions},
    {IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, BufferRule::Output, sizeof(LOGGING_OPTIONS), Subject("glo"),
     ControlGetLoggingOptions},
    {IOCTL_TINDALOFT_GET_DEVSTK_INFO, BufferRule::Output, 8, Subject("gsi"), ControlGetDevstkInfo},
    {IOCTL_TINDALOFT_ENABLE_CLOG, BufferRule::Input, sizeof(ULONG), Subject("enc"), ControlEnableClog},
    {IOCTL_TINDALOFT_DISABLE_CLOG, BufferRule::None, 0, Subject("dsc"), ControlDisableClog},
    {IOCTL_TINDALOFT_CLEAR_CLOG, BufferRule::None, 0, Subject("clc"), ControlClearClog},
    {IOCTL_TINDALOFT_READ_CLOG, BufferRule::Output, 0, Subject("rdc"), ControlReadClog},
    {IOCTL_TINDALOFT_NOP, BufferRule::Input, sizeof(ULONG), Subject("nop"), ControlNop},
    {IOCTL_TINDALOFT_GET_MEMLOG, BufferRule::Output, 0, Subject("gml"), ControlGetMemlog},
};

const ControlEntry* FindControlEntry(ULONG code) {
    ULONG function = (code >> 2) & 0xFFF;
    if (function < FIRST_FUNCTION ||
        function - FIRST_FUNCTION >= sizeof g_controlEntries / sizeof g_controlEntries[0]) {
        return nullptr;
    }
    const ControlEntry* entry = &g_controlEntries[function - FIRST_FUNCTION];
    return entry->code == code && entry->handler != nullptr ? entry : nullptr;
}

// Applies the entry's buffer rule and minimum length to the request; on failure nothing has been touched.
NTSTATUS ControlBufferTake(const ControlEntry* entry, PIRP irp, PIO_STACK_LOCATION stack, PCONTROL_REQUEST request) {
    if (entry->rule == BufferRule::None) {
        return STATUS_SUCCESS;
    }
    const bool neither = METHOD_FROM_CTL_CODE(entry->code) == METHOD_NEITHER;
    if (entry->rule == BufferRule::Input) {
        request->Buffer =
            neither ? stack->Parameters.DeviceIoControl.Type3InputBuffer : irp->AssociatedIrp.SystemBuffer;
        request->Length = stack->Parameters.DeviceIoControl.InputBufferLength;
    } else {
        request->Buffer = neither ? irp->UserBuffer : irp->AssociatedIrp.SystemBuffer;
        request->Length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    }
    if (request->Buffer == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    if (request->Length == 0) {
        return STATUS_INVALID_BUFFER_SIZE;
    }
    if (request->Length < entry->minimumLength) {
        return STATUS_INVALID_PARAMETER;
    }
    return STATUS_SUCCESS;
}

} // namespace

NTSTATUS ControlDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    (void)DeviceObject;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    CONTROL_REQUEST request = {};
    request.Irp = Irp;
    request.IoControlCode = stack->Parameters.DeviceIoControl.IoControlCode;

    NTSTATUS status = STATUS_NOT_IMPLEMENTED;
    const ControlEntry* entry = FindControlEntry(request.IoControlCode);
    if (entry != nullptr) {
        const BOOLEAN traced = MemlogWants(MEMLOG_FLAG_HANDLERS);
        if (traced) {
            MemlogWrite(entry->subject | 'I', request.IoControlCode, reinterpret_cast<ULONG_PTR>(Irp));
        }
        status = ControlBufferTake(entry, Irp, stack, &request);
        if (NT_SUCCESS(status)) {
            status = entry->handler(&request);
        }
        if (traced) {
            MemlogWrite(entry->subject | 'i', static_cast<ULONG>(status), request.Information);
        }
    }

    Irp->IoStatus.Status = status;
    Irp->IoStatus.Information = NT_SUCCESS(status) ? request.Information : 0;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}
