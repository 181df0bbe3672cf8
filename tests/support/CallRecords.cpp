#include "tests/support/CallRecords.h"

#include "common/ByteReader.h"
#include "common/RecordTags.h"

namespace tdl::test {

std::vector<uint8_t> CallRecord(ULONG tag, ULONG function, ULONG64 deviceObject, ULONG64 secondArgument, ULONG returned,
                                const std::vector<uint8_t>& args) {
    RecordBuilder builder(tag);
    builder.Function(function).Status(returned).Sequence(21).TimeStamp(1000);
    builder.DeviceObject(deviceObject).Irp(secondArgument);
    return builder.Part1(args).Build();
}

ULONG HubifBlockSize(ULONG index, bool completion) {
    switch (index) {
    case 11: // GetDeviceBusContext: the bus context it returns
        return completion ? 8 : 0;
    case 15: // SetDeviceHandleData: the device's PDO
    case 18: // HubIsRoot: the hub's PDO
        return 8;
    case 22: // SetBusSystemWakeMode: the mode
    case 30: // SetDeviceHandleIdleReadyState: the new state
    case 35: // SetDeviceErrataFlag: the flag
        return 4;
    case 23: // SetDeviceFlag: GUID pointer, value pointer, value length
        return 20;
    case 14:
    case 19:
    case 20:
    case 34: return 0;
    default:
        // Room for the hub-controller calls' structures with a few pipes or ports each.
        return 192;
    }
}

ULONG HookBlockSize(ULONG code, bool completion) {
    static constexpr struct {
        ULONG size;
        std::initializer_list<ULONG> codes;
    } kSizes[] = {
        {4, {6, 7, 16, 17, 18, 19, 20, 25, 64, 66, 67, 68, 76}},
        {8, {4, 5, 23, 27, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 59, 60, 69, 72, 75, 79}},
        {12, {0, 1, 14, 22, 24, 28, 56, 63, 71, 74}},
        {16, {12}},
        {20, {57, 58}},
        {24, {50}},
        {28, {73}},
        {32, {44, 45}},
        {36, {47, 78}},
        {40, {54}},
        {44, {10, 11, 53}},
    };
    if (code == 2) // QueryEndpointRequirements: the result adds the two requirement words
        return completion ? 16 : 12;
    for (const auto& entry : kSizes)
        for (ULONG c : entry.codes)
            if (c == code)
                return entry.size;
    return 8;
}

std::vector<std::vector<uint8_t>> AllCallRecords() {
    std::vector<std::vector<uint8_t>> records;
    const auto counting = [](ULONG size) {
        std::vector<uint8_t> bytes(size);
        for (ULONG i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>(i + 1);
        return bytes;
    };
    for (bool completion : {false, true}) {
        for (ULONG index = 0; index <= 35; ++index)
            records.push_back(CallRecord(completion ? LogTag::buhC : LogTag::buhI, index, kCallBusContext, kCallHandle,
                                         completion ? 0 : 0x103, counting(HubifBlockSize(index, completion))));
        for (ULONG code = 0; code <= 79; ++code) {
            std::vector<uint8_t> args = counting(HookBlockSize(code, completion));
            // The transfer parameter block's URB function: a control transfer, so its setup packet shows.
            if (code == 10 || code == 11 || code == 53)
                tdl::StoreLe<ULONG>(args.data() + 28, 8);
            if (code == 54)
                tdl::StoreLe<ULONG>(args.data() + 24, 50);
            records.push_back(CallRecord(completion ? LogTag::khpC : LogTag::khpI, code, kCallBusContext,
                                         kCallDriverObject, 1, args));
        }
    }
    return records;
}

} // namespace tdl::test
