// Payloads of HID device-control records ("hid"), laid out as the HID IOCTL decoder reads them: most codes
// carry a 16-byte buffer block (length, a second value, the buffer's address) and then the data. On the
// request side the second value is the buffer's first byte (the report ID); on the completion side it is
// the byte count returned (IoStatus.Information), except for the two report requests, which keep the
// report ID. Data that comes back is recorded on the completion side, from the buffer the code uses:
// the system buffer (buffered), the MDL (direct) or the caller's own buffer (METHOD_NEITHER).
//
// Locks: none; a payload is built in the record before the record is written under the capture log's lock
// (CaptureIoctlRecord.cpp). Up to DISPATCH_LEVEL.
#include "driver/capture/CaptureIoctl.h"

#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "hidclass.h"

static_assert(IOCTL_HID_GET_DRIVER_CONFIG == 0xB0190 && IOCTL_HID_SET_FEATURE == 0xB0191 &&
              IOCTL_HID_GET_FEATURE == 0xB0192 && IOCTL_HID_GET_COLLECTION_DESCRIPTOR == 0xB0193 &&
              IOCTL_HID_SET_DRIVER_CONFIG == 0xB0194 && IOCTL_HID_SET_OUTPUT_REPORT == 0xB0195 &&
              IOCTL_HID_GET_POLL_FREQUENCY_MSEC == 0xB0198 && IOCTL_GET_PHYSICAL_DESCRIPTOR == 0xB019A &&
              IOCTL_HID_SET_POLL_FREQUENCY_MSEC == 0xB019C && IOCTL_HID_GET_HARDWARE_ID == 0xB019E &&
              IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS == 0xB01A0 && IOCTL_HID_GET_INPUT_REPORT == 0xB01A2 &&
              IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS == 0xB01A4 && IOCTL_HID_GET_COLLECTION_INFORMATION == 0xB01A8 &&
              IOCTL_HID_GET_MANUFACTURER_STRING == 0xB01BA && IOCTL_HID_GET_PRODUCT_STRING == 0xB01BE &&
              IOCTL_HID_GET_SERIALNUMBER_STRING == 0xB01C2 && IOCTL_HID_GET_INDEXED_STRING == 0xB01E2);

namespace {

// The 16-byte buffer block: the buffer's length, the second value, the buffer's address as recorded.
VOID BufferBlock(PIOCTL_RECORD record, ULONG length, ULONG second, const VOID* address) {
    HID_RECORD_BUFFER block;
    block.BufferLength = length;
    block.FirstByte = second;
    block.Buffer = reinterpret_cast<ULONG64>(address);
    IoctlRecordPart1Is(record, block);
}

ULONG FirstByte(IOCTL_BUFFER buffer) {
    UCHAR first;
    return IoctlBufferRead(buffer, 0, &first, sizeof first) ? first : 0;
}

// The request's own address of the buffer a code uses: the system buffer, the MDL or the caller's buffer.
const VOID* RecordedAddress(const IOCTL_REQUEST* request, ULONG method) {
    switch (method) {
    case METHOD_BUFFERED: return request->Irp->AssociatedIrp.SystemBuffer;
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT: return request->Irp->MdlAddress;
    }
    return request->Irp->UserBuffer;
}

// Codes whose output comes back in their buffer: the block (on the completion side with the byte count, or
// with the report ID for the report requests), then on success the bytes returned.
VOID OutputWithBlock(const IOCTL_REQUEST* request, PIOCTL_RECORD record, bool reportId) {
    const IOCTL_BUFFER output = IoctlOutputBuffer(request);
    const ULONG outputLength = request->Location->Parameters.DeviceIoControl.OutputBufferLength;
    const ULONG second =
        request->Completion && !reportId ? static_cast<ULONG>(request->Information) : FirstByte(output);
    BufferBlock(record, outputLength, second, RecordedAddress(request, METHOD_FROM_CTL_CODE(IoctlCode(request))));
    if (IoctlSucceeded(request)) {
        IoctlRecordAppendBuffer(record, IoctlReturned(request, output, outputLength));
    }
}

// Fixed values at the start of a buffer: in part 1, zeros where the buffer (at completion: what came back)
// has none.
VOID Values(const IOCTL_REQUEST* request, PIOCTL_RECORD record, IOCTL_BUFFER buffer, ULONG size) {
    UCHAR values[8];
    IoctlBufferRead(IoctlReturned(request, buffer, size), 0, values, size);
    IoctlRecordPart1(record, size);
    IoctlRecordPut(record, 0, values, size);
}

// IOCTL_HID_GET_INDEXED_STRING: both lengths, both buffers and the string index from the input.
VOID IndexedString(const IOCTL_REQUEST* request, PIOCTL_RECORD record) {
    const auto& parameters = request->Location->Parameters.DeviceIoControl;
    HID_RECORD_INDEXED_STRING block;
    block.OutputBufferLength = parameters.OutputBufferLength;
    block.InputBufferLength = parameters.InputBufferLength;
    block.Mdl = reinterpret_cast<ULONG64>(request->Irp->MdlAddress);
    block.SystemBuffer = reinterpret_cast<ULONG64>(request->Irp->AssociatedIrp.SystemBuffer);
    block.FirstWord = IoctlBufferFirstUlong(IoctlSystemBuffer(request), 0);
    IoctlRecordPart1Is(record, block);
    if (IoctlSucceeded(request)) {
        IoctlRecordAppendBuffer(record,
                                IoctlReturned(request, IoctlOutputBuffer(request), parameters.OutputBufferLength));
    }
}

} // namespace

VOID HidPayload(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record) {
    const ULONG code = IoctlCode(Request);
    switch (code) {
    case IOCTL_HID_GET_DRIVER_CONFIG:
        if (IoctlSucceeded(Request)) {
            Values(Request, Record, IoctlOutputBuffer(Request), sizeof(HID_DRIVER_CONFIG));
        }
        break;
    case IOCTL_HID_SET_DRIVER_CONFIG:
        if (!Request->Completion) {
            Values(Request, Record, IoctlSystemBuffer(Request), sizeof(HID_DRIVER_CONFIG));
        }
        break;
    case IOCTL_HID_GET_POLL_FREQUENCY_MSEC:
    case IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS:
        if (IoctlSucceeded(Request)) {
            Values(Request, Record, IoctlOutputBuffer(Request), sizeof(ULONG));
        }
        break;
    case IOCTL_HID_SET_POLL_FREQUENCY_MSEC:
    case IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS:
        if (!Request->Completion) {
            Values(Request, Record, IoctlSystemBuffer(Request), sizeof(ULONG));
        }
        break;
    case IOCTL_HID_SET_FEATURE: // the report goes to the device in the system buffer
    case IOCTL_HID_SET_OUTPUT_REPORT:
        if (!Request->Completion) {
            const IOCTL_BUFFER input = IoctlSystemBuffer(Request);
            BufferBlock(Record, Request->Location->Parameters.DeviceIoControl.InputBufferLength, FirstByte(input),
                        Request->Irp->AssociatedIrp.SystemBuffer);
            IoctlRecordAppendBuffer(Record, input);
        }
        break;
    case IOCTL_HID_GET_FEATURE: // the caller's buffer holds the report ID going down, the report coming back
        if (!Request->Completion) {
            const IOCTL_BUFFER output = IoctlOutputBuffer(Request);
            BufferBlock(Record, Request->Location->Parameters.DeviceIoControl.OutputBufferLength, FirstByte(output),
                        Request->Irp->MdlAddress);
            IoctlRecordAppendBuffer(Record, output);
        } else {
            OutputWithBlock(Request, Record, true);
        }
        break;
    case IOCTL_HID_GET_INPUT_REPORT: OutputWithBlock(Request, Record, true); break;
    case IOCTL_HID_GET_COLLECTION_INFORMATION:
    case IOCTL_HID_GET_COLLECTION_DESCRIPTOR:
    case IOCTL_GET_PHYSICAL_DESCRIPTOR:
    case IOCTL_HID_GET_HARDWARE_ID:
    case IOCTL_HID_GET_MANUFACTURER_STRING:
    case IOCTL_HID_GET_PRODUCT_STRING:
    case IOCTL_HID_GET_SERIALNUMBER_STRING: OutputWithBlock(Request, Record, false); break;
    case IOCTL_HID_GET_INDEXED_STRING: IndexedString(Request, Record); break;
    }
}

const RECORD_KIND RecordKindHid = {
    LogTag::KindHid, FilterFamily::Hid, &CAPTURE_SETTINGS::CaptureHidIoctl, HidPayload, FALSE, FALSE};
