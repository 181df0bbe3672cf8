#include "app/decoders/descriptors/HubClassDescOutputer.h"

#include <algorithm>

namespace {

constexpr size_t kPortCountAt = 2;
// USB 2.0: DeviceRemovable from byte 7, then PortPwrCtrlMask of the same size.
constexpr size_t kUsb2BitmapAt = 7;
// SuperSpeed: DeviceRemovable is the word at bytes 10-11.
constexpr size_t kUsb3BitmapAt = 10;
constexpr size_t kUsb3BitmapBytes = 2;

CString DelayText(const FieldEnv&, ULONG64 value) {
    CString text;
    text.Format("%d ms", static_cast<int>(value) * 2);
    return text;
}

const FieldDecl kUsb2Fields[] = {
    FieldU8({"bDescriptorLength", "Descriptor Length", "Descriptor&nbsp;Length"}),
    FieldU8({"bDescriptorType", "Descriptor Type", "Descriptor&nbsp;Type"}).Named("Name", "HUB CLASS"),
    FieldU8({"bNumberOfPorts", "Downstream Ports", "Downstream&nbsp;Ports"}),
    FieldU16({"wHubCharacteristics", "Hub Characteristics", "Hub&nbsp;Characteristics"}),
    FieldU8({"bPowerOnToPowerGood", "PowerOn to PowerGood", "PowerOn&nbsp;to&nbsp;PowerGood"})
        .Named("Delay", DelayText),
    FieldU8({"bHubControlCurrent", "Hub Control Current", "Hub&nbsp;Control&nbsp;Current"}).Named("Units", "mA"),
};

const FieldDecl kUsb3Fields[] = {
    FieldU8({"bDescLength", "Descriptor Length", "Descriptor&nbsp;Length"}),
    FieldU8({"bDescriptorType", "Descriptor Type", "Descriptor&nbsp;Type"}).Named("Name", "SUPERSPEED HUB CLASS"),
    FieldU8({"bNbrPorts", "Downstream Ports", "Downstream&nbsp;Ports"}),
    FieldU16({"wHubCharacteristics", "Hub Characteristics", "Hub&nbsp;Characteristics"}),
    FieldU8({"bPwrOn2PwrGood", "PowerOn to PowerGood", "PowerOn&nbsp;to&nbsp;PowerGood"}).Named("Delay", DelayText),
    FieldU8({"bHubContrCurrent", "Hub Control Current", "Hub&nbsp;Control&nbsp;Current"}).Named("Units", "mA"),
    FieldU8({"bHubHdrDecLat", "Hub Header Decode Delay", "Hub&nbsp;Header&nbsp;Decode&nbsp;Delay"})
        .Named("Units", "microsec"),
    FieldU16({"wHubDelay", "Avg. Hub Delay", "Avg.&nbsp;Hub&nbsp;Delay"}).Named("Units", "nanosec"),
};

// The bytes of a bitmap of `size` bytes at `offset` that lie within both the count and bLength.
size_t BitmapBytes(const BYTE* bytes, ULONG count, size_t offset, size_t size) {
    BYTE length = 0;
    tdl::LoadAt(bytes, count, 0, length);
    const size_t limit = std::min<size_t>(count, length);
    return offset >= limit ? 0 : std::min(size, limit - offset);
}

BYTE PortCount(const BYTE* bytes, ULONG count) {
    BYTE ports = 0;
    tdl::LoadAt(bytes, count, kPortCountAt, ports);
    return ports;
}

} // namespace

HubClassDescUsb2Outputer::HubClassDescUsb2Outputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                   ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void HubClassDescUsb2Outputer::Output(int mode, const CString& title, const CString& value, bool nested) {
    const DescLayout layout = LayoutOf(false, nested);
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, layout);
    tdl::ByteReader reader = Reader();
    fields.Fields(kUsb2Fields, reader, FieldWalk::Placeholder);
    // Each bitmap has (bLength - 7) / 2 bytes; a bLength below 9 leaves none.
    BYTE length = 0;
    reader.ReadAt(0, length);
    const size_t size = length > kUsb2BitmapAt ? (length - kUsb2BitmapAt) / 2 : 0;
    const BYTE ports = PortCount(m_pBytes, m_Count);
    OutputPortBitmap(fields, "DeviceRemovable", kUsb2BitmapAt, BitmapBytes(m_pBytes, m_Count, kUsb2BitmapAt, size),
                     ports, true);
    OutputPortBitmap(fields, "PortPwrCtrlMask", kUsb2BitmapAt + size,
                     BitmapBytes(m_pBytes, m_Count, kUsb2BitmapAt + size, size), ports, false);
    CloseSection(fields, layout);
}

HubClassDescUsb3Outputer::HubClassDescUsb3Outputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes,
                                                   ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void HubClassDescUsb3Outputer::Output(int mode, const CString& title, const CString& value, bool nested) {
    const DescLayout layout = LayoutOf(false, nested);
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, layout);
    tdl::ByteReader reader = Reader();
    fields.Fields(kUsb3Fields, reader, FieldWalk::Placeholder);
    OutputPortBitmap(fields, "DeviceRemovable", kUsb3BitmapAt,
                     BitmapBytes(m_pBytes, m_Count, kUsb3BitmapAt, kUsb3BitmapBytes), PortCount(m_pBytes, m_Count),
                     true);
    CloseSection(fields, layout);
}
