#include "app/decoders/descriptors/FullBosDescOutputer.h"

#include "app/decoders/descriptors/BosDescOutputer.h"
#include "app/decoders/descriptors/DescWalk.h"
#include "app/decoders/descriptors/DevCapDescOutputer.h"
#include "app/decoders/descriptors/GenericDescOutputer.h"

namespace {

// The BOS descriptor's standard size, and the bytes a capability after it starts with: its length, its type
// and the capability's own type.
constexpr ULONG kBosSize = 5;
constexpr ULONG kCapabilityLeast = 3;

constexpr BYTE kCapabilityType = 16;
constexpr BYTE kUsb2Extension = 2;
constexpr BYTE kSuperSpeed = 3;
constexpr BYTE kContainerId = 4;

// A capability's section value: the text in the grid and HTML, none in XML.
FieldLabels SectionValue(const char* text) {
    return FieldLabels("", text);
}

} // namespace

FullBosDescOutputer::FullBosDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void FullBosDescOutputer::Output(int mode, const CString& title, const CString& value) {
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, DescLayout::Section);
    ULONG consumed = 0;
    BosDescOutputer(m_pImp, m_pContext, m_pBytes, SetHeaderSize(m_Count, kBosSize))
        .Output(mode, WalkTitle("FullBosDescriptor").For(mode), SectionValue("BOS").For(mode), consumed);
    WalkDescriptors(fields, m_pBytes, m_Count, kBosSize, kCapabilityLeast, m_CutBefore,
                    [&](const BYTE* pDescriptor, ULONG size) { OutputCapability(mode, pDescriptor, size); });
    CloseSection(fields, DescLayout::Section);
}

void FullBosDescOutputer::OutputCapability(int mode, const BYTE* pBytes, ULONG size) {
    ULONG consumed = 0;
    if (pBytes[1] != kCapabilityType) {
        GenericDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle("GenericDescriptor").For(mode), SectionValue("OTHER BOS").For(mode), consumed,
                    false);
        return;
    }
    // A capability without its type byte is shown by the decoder of unknown capabilities.
    const BYTE capability = size > 2 ? pBytes[2] : 0;
    switch (capability) {
    case kUsb2Extension:
        Usb2DevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle("DeviceCapability-Usb2Ext").For(mode),
                    SectionValue("DEVICE CAPABILITY (USB2 Ext)").For(mode), consumed);
        break;
    case kSuperSpeed:
        SuperSpeedDevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle("DeviceCapability-SuperSpeed").For(mode),
                    SectionValue("DEVICE CAPABILITY (SuperSpeed)").For(mode), consumed);
        break;
    case kContainerId:
        ContainerDevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle("DeviceCapability-ContainerId").For(mode),
                    SectionValue("DEVICE CAPABILITY (Container ID)").For(mode), consumed);
        break;
    default:
        DevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle("DeviceCapability-Other").For(mode), SectionValue("DEVICE CAPABILITY").For(mode),
                    consumed);
        break;
    }
}
