#include "app/decoders/descriptors/DevCapDescOutputer.h"

#include "app/decoders/framework/StringContent.h"

namespace {

constexpr char kDeviceCapability[] = "DEVICE CAPABILITY";
constexpr BYTE kLpm = 0x02;
constexpr BYTE kLtm = 0x02;

// bLength, bDescriptorType, bDevCapabilityType: what every capability starts with.
constexpr DescField CapabilityHead(int index) {
    switch (index) {
    case 0:
        return DescByte("bLength");
    case 1:
        return DescByte("bDescriptorType").Named("Name", TypeNameOrInvalid<16, kDeviceCapability>);
    default:
        return DescByte("bDevCapabilityType");
    }
}

CString LpmText(const DescFieldEnv&, ULONG attributes) {
    return (attributes & kLpm) != 0 ? "LPM" : "-";
}

CString LtmText(const DescFieldEnv&, ULONG attributes) {
    return (attributes & kLtm) != 0 ? "LTM" : "-";
}

CString SpeedsText(const DescFieldEnv&, ULONG speeds) {
    static constexpr const char* kSpeeds[] = {"low.", "full.", "high.", "5Gbps"};
    CString text;
    for (unsigned bit = 0; bit < 4; ++bit) {
        if ((speeds & (1u << bit)) != 0)
            text += kSpeeds[bit];
    }
    return text;
}

CString FullFunctionalityText(const DescFieldEnv&, ULONG speed) {
    switch (speed) {
    case 1:
        return "low";
    case 2:
        return "full";
    case 4:
        return "high";
    case 8:
        return "5Gbps";
    default:
        return CString();
    }
}

CString LatencyText(const DescFieldEnv&, ULONG latency) {
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

constexpr uint8_t kMissingText = DescField::kTextWhenMissing;

const DescField kOtherFields[] = {CapabilityHead(0), CapabilityHead(1), CapabilityHead(2)};

const DescField kUsb2Fields[] = {
    CapabilityHead(0),
    CapabilityHead(1),
    CapabilityHead(2).Named("Name", "USB 2.0 Extension"),
    DescDword("bmAttributes").Named("Name", LpmText, kMissingText),
};

const DescField kSuperSpeedFields[] = {
    CapabilityHead(0),
    CapabilityHead(1),
    CapabilityHead(2).Named("Name", "SuperSpeed USB"),
    DescByte("bmAttributes").Named("Name", LtmText, kMissingText),
    DescWord("wSpeedsSupported").Named("Speeds", SpeedsText, kMissingText),
    DescByte("bFunctionalitySupport").Named("FullFunctionalityAt", FullFunctionalityText, kMissingText),
    DescByte("bU1DevExitLat").Named("Latency", LatencyText, kMissingText),
    DescWord("wU2DevExitLat").Named("Latency", LatencyText, kMissingText),
};

const DescField kContainerFields[] = {
    CapabilityHead(0),
    CapabilityHead(1),
    CapabilityHead(2).Named("Name", "Container ID"),
    DescByte("bReserved"),
    DescField{"ContainerID", sizeof(GUID)}.ValuedBy(GuidValue),
};

} // namespace

DevCapDescOutputer::DevCapDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void DevCapDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed) {
    static const DescLabel kDataLabel("CapabilityData", "Capability Data", "CapabilityData");
    OpenSection(mode, title, value, DescLayout::Section);
    tdl::ByteReader reader = Reader();
    OutputFields(mode, kOtherFields, reader, DescStyle::Placeholder);
    BYTE length = 0;
    CString data(kMissing);
    if (reader.ReadAt(0, length)) {
        const long header = static_cast<long>(reader.Position());
        const long dataBytes = static_cast<long>(length) - header;
        if (dataBytes < 0 || static_cast<size_t>(dataBytes) > reader.Remaining()) {
            data = "INVALID bLength";
            reader.Skip(reader.Remaining());
        } else {
            data.Format("0x%02x bytes", static_cast<unsigned>(dataBytes));
            reader.Skip(static_cast<size_t>(dataBytes));
        }
    }
    OutputField(mode, kDataLabel.For(mode), data);
    CloseSection(mode, DescLayout::Section);
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
