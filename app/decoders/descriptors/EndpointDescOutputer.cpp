#include "app/decoders/descriptors/EndpointDescOutputer.h"

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"

namespace {

constexpr BYTE kDirectionIn = 0x80;
constexpr BYTE kEndpointNumberMask = 0x0F;
constexpr BYTE kTransferTypeMask = 0x03;
constexpr BYTE kIsochronous = 1;
constexpr BYTE kInterrupt = 3;
// Intervals are 2^(bInterval-1); beyond this exponent the power does not fit the 32-bit value.
constexpr BYTE kLargestIntervalExponent = 32;

const DescLabel kTypeLabel("bDescriptorType", nullptr, "Descriptor&nbsp;Type");
const DescLabel kHighBandwidth("HighBandwidth", "High Bandwidth", "High&nbsp;Bandwidth");
const DescLabel kIntervalProperties("IntervalProps", "Interval Properties", "Interval&nbsp;Properties");

CString DirectionText(const DescFieldEnv&, ULONG address) {
    return (address & kDirectionIn) != 0 ? "IN" : "OUT";
}

const DescField kHead[] = {
    DescByte("bLength"),
    DescByte(kTypeLabel).Named("Name", "ENDPOINT"),
    DescByte("bEndpointAddress").Named("Direction", DirectionText),
};

const DescField kCompanionFields[] = {
    DescByte("bLength"),      DescByte(kTypeLabel).Named("Name", "SS ENDPOINT COMPANION"),        DescByte("bMaxBurst"),
    DescByte("bmAttributes"), DescWord("wBytesPerInterval").WithFlags(DescField::kCountsPartial),
};

// Packet sizes and intervals: "0x%x" where numbers carry the prefix, eight digits in XML.
CString WideNumber(int mode, ULONG value) {
    CString text;
    text.Format(mode == OUTPUT_MODE_XML ? "%08x" : "0x%x", static_cast<unsigned>(value));
    return text;
}

CString Digit(BYTE value) {
    CString text;
    text.Format("%1x", value);
    return text;
}

// 2^(bInterval-1), with 0 taken as 1; false where the power does not fit.
bool IntervalPower(BYTE interval, ULONG& power) {
    if (interval > kLargestIntervalExponent)
        return false;
    power = interval <= 1 ? 1u : 1u << (interval - 1);
    return true;
}

} // namespace

EndpointDescOutputer::EndpointDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

CString EndpointDescOutputer::GroupedTitle(const BYTE* pBytes, ULONG count) {
    static constexpr const char* kTypes[] = {" Control", " Isochronous", " Bulk", " Interrupt"};
    BYTE address = 0;
    BYTE attributes = 0;
    CString title("ENDPOINT ");
    if (!tdl::LoadAt(pBytes, count, 2, address))
        return title + kMissing;
    title.AppendFormat("%02x, %s(%d)", address, (address & kDirectionIn) != 0 ? "IN" : "OUT",
                       address & kEndpointNumberMask);
    if (tdl::LoadAt(pBytes, count, 3, attributes))
        title += kTypes[attributes & kTransferTypeMask];
    return title;
}

void EndpointDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped) {
    const DescLayout layout = LayoutOf(grouped);
    OpenSection(mode, title, value, layout);
    tdl::ByteReader reader = Reader();
    bool complete = OutputFields(mode, kHead, reader, DescStyle::Placeholder);
    BYTE address = 0;
    reader.ReadAt(2, address);
    BYTE attributes = 0;
    if (complete && reader.Read(attributes)) {
        OutputAttributes(mode, attributes);
    } else {
        complete = false;
        OutputField(mode, "bmAttributes", kMissing);
    }
    USHORT maxPacketSize = 0;
    if (complete && reader.Read(maxPacketSize)) {
        OutputMaxPacketSize(mode, attributes, maxPacketSize);
    } else {
        // A lone byte of the word counts as read.
        if (complete)
            reader.Skip(reader.Remaining());
        complete = false;
        OutputField(mode, "wMaxPacketSize", kMissing);
    }
    BYTE interval = 0;
    if (complete && reader.Read(interval))
        OutputInterval(mode, address, attributes, interval);
    else
        OutputField(mode, "bInterval", kMissing);
    CloseSection(mode, layout);
    consumed = static_cast<ULONG>(reader.Position());
}

void EndpointDescOutputer::OutputAttributes(int mode, BYTE attributes) {
    CStringContent names;
    CString text;
    const BYTE type = attributes & kTransferTypeMask;
    names.TransferTypeName(type, text);
    OutputFieldWithText(mode, "bmAttributes.0-1", Digit(type), "PipeType", text);
    if (type != kIsochronous)
        return;
    names.SyncTypeName(attributes, text);
    OutputFieldWithText(mode, "bmAttributes.2-3", Digit((attributes >> 2) & 3), "SyncType", text);
    names.UsageTypeName(attributes, text);
    OutputFieldWithText(mode, "bmAttributes.4-5", Digit((attributes >> 4) & 3), "UsageType", text);
}

void EndpointDescOutputer::OutputMaxPacketSize(int mode, BYTE attributes, USHORT maxPacketSize) {
    OutputField(mode, "wMaxPacketSize", FormatNumber(mode, 2, maxPacketSize));
    const BYTE type = attributes & kTransferTypeMask;
    if (type != kIsochronous && type != kInterrupt)
        return;
    UCHAR additional = 0;
    ULONG packetSize = 0;
    if (CStringContent().DecodeMaxPacketSize(maxPacketSize, additional, packetSize) == 0)
        return;
    OpenGroup(mode, kHighBandwidth);
    OutputField(mode, "AdditionalTransactions", Digit(additional));
    OutputField(mode, "PacketSize", WideNumber(mode, packetSize));
    EndSubsection(mode);
}

void EndpointDescOutputer::OutputInterval(int mode, BYTE address, BYTE attributes, BYTE interval) {
    OpenGroup(mode, kIntervalProperties);
    OutputField(mode, "bInterval", FormatNumber(mode, 1, interval));
    const BYTE type = attributes & kTransferTypeMask;
    if (type == kIsochronous || type == kInterrupt) {
        ULONG power = 0;
        const CString highSpeed = IntervalPower(interval, power) ? WideNumber(mode, power) : CString(kMissing);
        OutputFieldWithText(mode, "HS-Interval", highSpeed, "Units", "microframes");
        const CString fullSpeed = type == kInterrupt ? WideNumber(mode, interval) : highSpeed;
        OutputFieldWithText(mode, "FS.LS-Interval", fullSpeed, "Units", "frames");
    } else if ((address & kDirectionIn) == 0) {
        CString rate("Never NAKs");
        if (interval != 0)
            rate.Format("At most 1 NAK/%u microframes", static_cast<unsigned>(interval));
        OutputFieldWithText(mode, "HS-Max_NAK_Rate", FormatNumber(mode, 1, interval), "Rate", rate);
    }
    EndSubsection(mode);
}

void EndpointDescOutputer::OpenGroup(int mode, const DescLabel& label) {
    switch (mode) {
    case OUTPUT_MODE_GRID:
        m_pImp->BeginGroup(label.For(mode), "");
        break;
    case OUTPUT_MODE_XML:
        m_pImp->BeginElement(label.For(mode));
        break;
    case OUTPUT_MODE_HTML:
        m_pImp->WriteValue(label.For(mode), "");
        break;
    default:
        break;
    }
}

CompanionEndpointDescOutputer::CompanionEndpointDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                             ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void CompanionEndpointDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed,
                                           bool grouped) {
    consumed = OutputLayout(mode, title, value, LayoutOf(grouped), kCompanionFields);
}
