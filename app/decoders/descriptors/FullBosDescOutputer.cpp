#include "app/decoders/descriptors/FullBosDescOutputer.h"

#include "app/decoders/descriptors/BosDescOutputer.h"
#include "app/decoders/descriptors/DescWalk.h"
#include "app/decoders/descriptors/DevCapDescOutputer.h"
#include "app/decoders/descriptors/GenericDescOutputer.h"

namespace {

constexpr BYTE kCapabilityType = 16;
constexpr BYTE kUsb2Extension = 2;
constexpr BYTE kSuperSpeed = 3;
constexpr BYTE kContainerId = 4;

} // namespace

FullBosDescOutputer::FullBosDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void FullBosDescOutputer::Output(int mode, const CString& title, const CString& value) {
    BeginSection(mode, title, value);
    const DescStep step = MeasureDescriptor(m_pBytes, m_Count);
    ULONG consumed = 0;
    BosDescOutputer(m_pImp, m_pContext, m_pBytes, step.size)
        .Output(mode, WalkTitle(mode, "FullBosDescriptor"), mode == OUTPUT_MODE_XML ? "" : "BOS", consumed);
    WalkDescriptors(*this, mode, m_pBytes, m_Count, step,
                    [&](const BYTE* pDescriptor, ULONG size) { OutputCapability(mode, pDescriptor, size); });
    EndSection(mode);
}

void FullBosDescOutputer::OutputCapability(int mode, const BYTE* pBytes, ULONG size) {
    const bool xml = mode == OUTPUT_MODE_XML;
    ULONG consumed = 0;
    if (pBytes[1] != kCapabilityType) {
        GenericDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle(mode, "GenericDescriptor"), xml ? "" : "OTHER BOS", consumed, false);
        return;
    }
    // A capability without its type byte is shown by the decoder of unknown capabilities.
    const BYTE capability = size > 2 ? pBytes[2] : 0;
    switch (capability) {
    case kUsb2Extension:
        Usb2DevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle(mode, "DeviceCapability-Usb2Ext"), xml ? "" : "DEVICE CAPABILITY (USB2 Ext)",
                    consumed);
        break;
    case kSuperSpeed:
        SuperSpeedDevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle(mode, "DeviceCapability-SuperSpeed"), xml ? "" : "DEVICE CAPABILITY (SuperSpeed)",
                    consumed);
        break;
    case kContainerId:
        ContainerDevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle(mode, "DeviceCapability-ContainerId"),
                    xml ? "" : "DEVICE CAPABILITY (Container ID)", consumed);
        break;
    default:
        DevCapDescOutputer(m_pImp, m_pContext, pBytes, size)
            .Output(mode, WalkTitle(mode, "DeviceCapability-Other"), xml ? "" : "DEVICE CAPABILITY", consumed);
        break;
    }
}
