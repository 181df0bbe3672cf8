#include "app/decoders/descriptors/DevCapDescOutputer.h"

#include "app/decoders/framework/StringContent.h"

namespace {

constexpr char kDeviceCapability[] = "DEVICE CAPABILITY";
constexpr BYTE kLpm = 0x02;
constexpr BYTE kLtm = 0x02;

// bLength, bDescriptorType, bDevCapabilityType: what every capability starts with.
constexpr FieldDecl CapabilityHead(int index) {
    switch (index) {
    case 0: return FieldU8("bLength");
    case 1: return FieldU8("bDescriptorType").Named("Name", TypeNameOrInvalid<16, kDeviceCapability>);
    default: return FieldU8("bDevCapabilityType");
    }
}

CString LpmText(const FieldEnv&, ULONG64 attributes) {
    return (attributes & kLpm) != 0 ? "LPM" : "-";
}

CString LtmText(const FieldEnv&, ULONG64 attributes) {
    return (attributes & kLtm) != 0 ? "LTM" : "-";
}

CString SpeedsText(const FieldEnv&, ULONG64 speeds) {
    static constexpr const char* kSpeeds[] = {"low.", "full.", "high.", "5Gbps"};
    CString text;
    for (unsigned bit = 0; bit < 4; ++bit) {
        if ((speeds & (1u << bit)) != 0)
            text += kSpeeds[bit];
    }
    return text;
}

CString FullFunctionalityText(const FieldEnv&, ULONG64 speed) {
    switch (speed) {
    case 1: return "low";
    case 2: return "full";
    case 4: return "high";
    case 8: return "5Gbps";
    default: return CString();
    }
}

CString LatencyText(const FieldEnv&, ULONG64 latency) {
    CString text;
    text.Format("%c%u us.", latency > 0 ? '<' : ' ', static_cast<unsigned>(latency));
    return text;
}

CString GuidValue(int, const uint8_t* field) {
    GUID guid;
    std::memcpy(&guid, field, sizeof guid);
    CString text;
    CStringContent().GuidToString(guid, text);
    return text;
}

constexpr uint16_t kMissingText = FieldDecl::kNameWhenMissing;

const FieldDecl kOtherFields[] = {CapabilityHead(0), CapabilityHead(1), CapabilityHead(2)};

const FieldDecl kUsb2Fields[] = {
    CapabilityHead(0),
    CapabilityHead(1),
    CapabilityHead(2).Named("Name", "USB 2.0 Extension"),
    FieldU32("bmAttributes").Named("Name", LpmText, kMissingText),
};

const FieldDecl kSuperSpeedFields[] = {
    CapabilityHead(0),
    CapabilityHead(1),
    CapabilityHead(2).Named("Name", "SuperSpeed USB"),
    FieldU8("bmAttributes").Named("Name", LtmText, kMissingText),
    FieldU16("wSpeedsSupported").Named("Speeds", SpeedsText, kMissingText),
    FieldU8("bFunctionalitySupport").Named("FullFunctionalityAt", FullFunctionalityText, kMissingText),
    FieldU8("bU1DevExitLat").Named("Latency", LatencyText, kMissingText),
    FieldU16("wU2DevExitLat").Named("Latency", LatencyText, kMissingText),
};

const FieldDecl kContainerFields[] = {
    CapabilityHead(0),
    CapabilityHead(1),
    CapabilityHead(2).Named("Name", "Container ID"),
    FieldU8("bReserved"),
    FieldDecl{"ContainerID", FieldFormat::Hex8, sizeof(GUID)}.ValuedBy(GuidValue),
};

} // namespace

DevCapDescOutputer::DevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void DevCapDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed) {
    static const FieldLabels kDataLabel("CapabilityData", "Capability Data", "CapabilityData");
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, DescLayout::Section);
    tdl::ByteReader reader = Reader();
    fields.Fields(kOtherFields, reader, FieldWalk::Placeholder);
    BYTE length = 0;
    CString data(kMissing);
    if (reader.ReadAt(0, length)) {
        const long header = static_cast<long>(reader.Position());
        const long dataBytes = static_cast<long>(length) - header;
        if (dataBytes < 0) {
            data = "INVALID bLength";
            reader.Skip(reader.Remaining());
        } else if (static_cast<size_t>(dataBytes) > reader.Remaining()) {
            // bLength reaches past the bytes there are: what it counts is not all there to see.
            reader.Skip(reader.Remaining());
        } else {
            data.Format("0x%02x bytes", static_cast<unsigned>(dataBytes));
            reader.Skip(static_cast<size_t>(dataBytes));
        }
    }
    fields.Field(kDataLabel, data);
    CloseSection(fields, DescLayout::Section);
    consumed = static_cast<ULONG>(reader.Position());
}

Usb2DevCapDescOutputer::Usb2DevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void Usb2DevCapDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed) {
    consumed = OutputLayout(mode, title, value, DescLayout::Section, kUsb2Fields);
}

SuperSpeedDevCapDescOutputer::SuperSpeedDevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                           ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void SuperSpeedDevCapDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed) {
    consumed = OutputLayout(mode, title, value, DescLayout::Section, kSuperSpeedFields);
}

ContainerDevCapDescOutputer::ContainerDevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                         ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void ContainerDevCapDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed) {
    consumed = OutputLayout(mode, title, value, DescLayout::Section, kContainerFields);
}
