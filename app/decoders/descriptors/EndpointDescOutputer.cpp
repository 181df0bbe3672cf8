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

const FieldLabels kTypeLabel("bDescriptorType", nullptr, "Descriptor&nbsp;Type");
const FieldLabels kHighBandwidth("HighBandwidth", "High Bandwidth", "High&nbsp;Bandwidth");
const FieldLabels kIntervalProperties("IntervalProps", "Interval Properties", "Interval&nbsp;Properties");

CString DirectionText(const FieldEnv&, ULONG64 address) {
    return (address & kDirectionIn) != 0 ? "IN" : "OUT";
}

const FieldDecl kHead[] = {
    FieldU8("bLength"),
    FieldU8(kTypeLabel).Named("Name", "ENDPOINT"),
    FieldU8("bEndpointAddress").Named("Direction", DirectionText),
};

const FieldDecl kCompanionFields[] = {
    FieldU8("bLength"),      FieldU8(kTypeLabel).Named("Name", "SS ENDPOINT COMPANION"),         FieldU8("bMaxBurst"),
    FieldU8("bmAttributes"), FieldU16("wBytesPerInterval").WithFlags(FieldDecl::kCountsPartial),
};

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
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, layout);
    tdl::ByteReader reader = Reader();
    bool complete = fields.Fields(kHead, reader, FieldWalk::Placeholder);
    BYTE address = 0;
    reader.ReadAt(2, address);
    BYTE attributes = 0;
    if (complete && reader.Read(attributes)) {
        OutputAttributes(fields, attributes);
    } else {
        complete = false;
        fields.Field("bmAttributes", kMissing);
    }
    USHORT maxPacketSize = 0;
    if (complete && reader.Read(maxPacketSize)) {
        OutputMaxPacketSize(fields, attributes, maxPacketSize);
    } else {
        // A lone byte of the word counts as read.
        if (complete)
            reader.Skip(reader.Remaining());
        complete = false;
        fields.Field("wMaxPacketSize", kMissing);
    }
    BYTE interval = 0;
    if (complete && reader.Read(interval))
        OutputInterval(fields, address, attributes, interval);
    else
        fields.Field("bInterval", kMissing);
    CloseSection(fields, layout);
    consumed = static_cast<ULONG>(reader.Position());
}

void EndpointDescOutputer::OutputAttributes(FieldWriter& fields, BYTE attributes) {
    CStringContent names;
    CString text;
    const BYTE type = attributes & kTransferTypeMask;
    names.TransferTypeName(type, text);
    fields.NamedField("bmAttributes.0-1", fields.Number(FieldFormat::Digit, type), "PipeType", text);
    if (type != kIsochronous)
        return;
    names.SyncTypeName(attributes, text);
    fields.NamedField("bmAttributes.2-3", fields.Number(FieldFormat::Digit, (attributes >> 2) & 3), "SyncType", text);
    names.UsageTypeName(attributes, text);
    fields.NamedField("bmAttributes.4-5", fields.Number(FieldFormat::Digit, (attributes >> 4) & 3), "UsageType", text);
}

void EndpointDescOutputer::OutputMaxPacketSize(FieldWriter& fields, BYTE attributes, USHORT maxPacketSize) {
    fields.NumberField("wMaxPacketSize", FieldFormat::Hex4, maxPacketSize);
    const BYTE type = attributes & kTransferTypeMask;
    if (type != kIsochronous && type != kInterrupt)
        return;
    UCHAR additional = 0;
    ULONG packetSize = 0;
    if (CStringContent().DecodeMaxPacketSize(maxPacketSize, additional, packetSize) == 0)
        return;
    fields.Open(FieldSection::PlainGroup, kHighBandwidth);
    fields.NumberField("AdditionalTransactions", FieldFormat::Digit, additional);
    fields.NumberField("PacketSize", FieldFormat::Short, packetSize);
    fields.Close(FieldSection::PlainGroup);
}

void EndpointDescOutputer::OutputInterval(FieldWriter& fields, BYTE address, BYTE attributes, BYTE interval) {
    fields.Open(FieldSection::PlainGroup, kIntervalProperties);
    fields.NumberField("bInterval", FieldFormat::Hex2, interval);
    const BYTE type = attributes & kTransferTypeMask;
    if (type == kIsochronous || type == kInterrupt) {
        ULONG power = 0;
        const CString highSpeed =
            IntervalPower(interval, power) ? fields.Text(FieldFormat::Short, power) : CString(kMissing);
        fields.NamedField("HS-Interval", highSpeed, "Units", "microframes");
        const CString fullSpeed = type == kInterrupt ? fields.Text(FieldFormat::Short, interval) : highSpeed;
        fields.NamedField("FS.LS-Interval", fullSpeed, "Units", "frames");
    } else if ((address & kDirectionIn) == 0) {
        CString rate("Never NAKs");
        if (interval != 0)
            rate.Format("At most 1 NAK/%u microframes", static_cast<unsigned>(interval));
        fields.NamedField("HS-Max_NAK_Rate", fields.Number(FieldFormat::Hex2, interval), "Rate", rate);
    }
    fields.Close(FieldSection::PlainGroup);
}

CompanionEndpointDescOutputer::CompanionEndpointDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                             ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void CompanionEndpointDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed,
                                           bool grouped) {
    consumed = OutputLayout(mode, title, value, LayoutOf(grouped), kCompanionFields);
}
