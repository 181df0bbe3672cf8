// The sections the external hub and the port device report of the hub port they are attached through.
#include <algorithm>

#include "app/decoders/descriptors/DeviceDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/framework/StringContent.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/reports/DeviceReporter.h"
#include "common/ByteReader.h"

namespace {

// Offsets in the connection block: the request head, then USB_NODE_CONNECTION_INFORMATION.
constexpr size_t kDeviceDescriptor = 12;
constexpr size_t kDeviceAddress = 33;
constexpr ULONG kDeviceDescriptorSize = 18;
static_assert(kDeviceDescriptor + kDeviceDescriptorSize <= CHubPort::ConnectionBlockSize);
static_assert(kDeviceAddress + sizeof(USHORT) <= CHubPort::ConnectionBlockSize);

} // namespace

void DeviceReporter::OutputPortFields(int mode, const CHubPort& port) {
    FieldWriter fields(*this, mode);
    fields.NumberField(Labels("Upstream&nbsp;Port&nbsp;Number", "PortNumber"), FieldFormat::Hex8, port.m_PortNumber);
    // The meaning carries its red mark-up in both media; the XML writer escapes it in the attribute.
    CString meaning;
    CStringContent().ConnectionStatusHtml(port.m_ConnectionStatus, meaning);
    fields.NamedField(Labels("Connection&nbsp;Status", "ConnectionStatus"),
                      fields.Number(FieldFormat::Hex8, port.m_ConnectionStatus), "Description", meaning);
    if (port.m_pConnectionInfo != nullptr)
        fields.NumberField(Labels("Device&nbsp;Address", "DeviceAddress"), FieldFormat::Hex4,
                           tdl::LoadLe<USHORT>(port.m_pConnectionInfo + kDeviceAddress));
}

void DeviceReporter::OutputPortDeviceDescriptor(int mode, const CHubPort& port) {
    const BYTE* pDescriptor = nullptr;
    ULONG count = 0;
    if (port.m_pConnectionInfo != nullptr) {
        pDescriptor = port.m_pConnectionInfo + kDeviceDescriptor;
        // bLength says how much is meant; the block holds no more than the 18 bytes.
        count = std::min<ULONG>(pDescriptor[0], kDeviceDescriptorSize);
    }
    DeviceSummary summary;
    port.GetDeviceTypeSummary(0, summary);
    CStringArray classTexts;
    CStringContent().DeviceClassStrings(reinterpret_cast<const BYTE*>(&summary), classTexts);
    const CStringArray noStrings;
    DeviceDescOutputer(m_pImp, m_pContext, pDescriptor, count)
        .Output(mode, Labels("Device&nbsp;Descriptor", "DeviceDescriptor").For(mode), "", classTexts, noStrings, false);
}

void DeviceReporter::OutputPortConfiguration(int mode, const CHubPort& port) {
    if (port.m_Configurations.GetSize() == 0)
        return;
    const CUsbConfiguration* pConfiguration = port.m_Configurations[0];
    FullConfigDescOutputer(m_pImp, m_pContext, pConfiguration->m_pConfigDesc, pConfiguration->m_nConfigDescLength)
        .Output(mode, Labels("Full&nbsp;Configuration&nbsp;Descriptor", "FullConfiguration").For(mode), "", false,
                false);
}
