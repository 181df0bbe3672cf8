#include "app/decoders/ioctl/HidIoctlOutputer.h"

#include <cstddef>
#include <iterator>

#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/ioctl/IoctlFields.h"
#include "common/RecordPayloads.h"
#include "hidclass.h"

namespace {

constexpr ULONG kBlockSize = sizeof(HID_RECORD_BUFFER);
constexpr ULONG kIndexedBlockSize = sizeof(HID_RECORD_INDEXED_STRING);
constexpr size_t kLengthOffset = offsetof(HID_RECORD_BUFFER, BufferLength);
constexpr size_t kSecondOffset = offsetof(HID_RECORD_BUFFER, FirstByte);
constexpr size_t kAddressOffset = offsetof(HID_RECORD_BUFFER, Buffer);

constexpr LPCSTR kInputTitle = "Input Parameters";
constexpr LPCSTR kOutputTitle = "Output Parameters";
constexpr LPCSTR kInformation = "IoStatus.Information";
constexpr LPCSTR kOutputBufferLength = "OutputBufferLength";

} // namespace

HidIoctlOutputer::~HidIoctlOutputer() = default;

void HidIoctlOutputer::OutputIrpFunction() {
    OutputDeviceControlFunction();
}

CString HidIoctlOutputer::GetIoctlName() const {
    const ULONG code = m_Decode.GetFunctionWord();
    CString name;
    m_Decode.HidIoctlName(name);
    // Three codes of the class are named without "HID_".
    const bool plain = code == 0xB019A || code == 0xB01A0 || code == 0xB01A4;
    return IoctlDisplayName(name, code, plain ? "IOCTL_" : "IOCTL_HID_", "HID_IOCTL_%X");
}

void HidIoctlOutputer::OutputFunctionCode() {
    WriteIoctlFunctionCode(m_pImp, m_Decode.GetFunctionWord(), GetIoctlName());
}

void HidIoctlOutputer::OutputKindTitle(int mode) {
    if (mode == OUTPUT_MODE_GRID)
        OutputRequestName("HID", "HID Ioctl", GetIoctlName());
    // A returned record only tells that the dispatch routine returned.
    if (m_Decode.HasTransferData())
        return;
    OutputIoctlBody(mode);
}

void HidIoctlOutputer::OutputIoctlBody(int mode) {
    using Self = HidIoctlOutputer;
    static constexpr IoctlOperation<Self> kOperations[] = {
        {0xB0190, &Self::OutputGetDriverConfig},
        {0xB0194, &Self::OutputSetDriverConfig},
        {0xB0198, &Self::OutputGetPollFrequency},
        {0xB019C, &Self::OutputSetPollFrequency},
        {0xB01A0, &Self::OutputGetNumInputBuffers},
        {0xB01A4, &Self::OutputSetNumInputBuffers},
        {0xB01A8, &Self::OutputGetCollectionInformation},
        {0xB0193, &Self::OutputGetCollectionDescriptor},
        {0xB0197, &Self::OutputFlushQueue},
        {0xB0192, &Self::OutputGetFeature},
        {0xB0191, &Self::OutputSetFeature},
        {0xB01A2, &Self::OutputGetInputReport},
        {0xB0195, &Self::OutputSetOutputReport},
        {0xB019A, &Self::OutputGetPhysicalDescriptor},
        {0xB019E, &Self::OutputGetHardwareId},
        {0xB01BA, &Self::OutputGetManufacturerString},
        {0xB01BE, &Self::OutputGetProductString},
        {0xB01C2, &Self::OutputGetSerialNumberString},
        {0xB01E2, &Self::OutputGetIndexedString},
        {0xB01E6, &Self::OutputGetMsGenreDescriptor},
        {0xB020B, &Self::OutputEnableSecureRead},
        {0xB020F, &Self::OutputDisableSecureRead},
    };
    RunIoctlOperation(*this, kOperations, m_Decode.GetFunctionWord(), mode);
}

void HidIoctlOutputer::ShowInDataBar(const CString& caption, const BYTE* pData, ULONG total, ULONG shown,
                                     ULONG record) {
    IoctlShowInDataBar(caption, pData, total, shown, record);
}

// --- codes with a plain value, or with nothing ---

void HidIoctlOutputer::OutputValueCode(int mode, bool carriedOnRequest, LPCSTR title, LPCSTR element, ULONG size,
                                       void (HidIoctlOutputer::*values)(IoctlFields&)) {
    const bool request = m_Decode.HasInputData();
    if (!request && !m_Decode.HasOutputData())
        return;
    IoctlFields fields(*this, mode, size);
    if (request != carriedOnRequest) {
        fields.EmptyCategory(title);
        return;
    }
    fields.OpenSection(title, element);
    // A failed request's record holds no value at all; that is no cut.
    if (!fields.IsEmpty()) {
        (this->*values)(fields);
        fields.EndOfBlock();
    }
    fields.CloseSection();
}

void HidIoctlOutputer::OutputDriverConfigValues(IoctlFields& fields) {
    fields.ValueField("Size", "StructSize", IoctlWidth::U32, offsetof(HID_DRIVER_CONFIG, Size));
    fields.AttributedValueField("RingBufferSize (in reports)", "RingBufferSize", IoctlWidth::U32,
                                offsetof(HID_DRIVER_CONFIG, RingBufferSize), "Units", "reports", "");
}

void HidIoctlOutputer::OutputPollFrequencyValue(IoctlFields& fields) {
    fields.AttributedValueField("PollingFrequency (ms.)", "PollingFrequency", IoctlWidth::U32, 0, "Units", "ms.", "");
}

void HidIoctlOutputer::OutputNumBuffersValue(IoctlFields& fields) {
    fields.ValueField("Number Input Buffers", "NumberOfBuffers", IoctlWidth::U32, 0);
}

void HidIoctlOutputer::OutputEmptyCode(int mode, LPCSTR title) {
    if (!m_Decode.HasInputData() && !m_Decode.HasOutputData())
        return;
    IoctlFields fields(*this, mode);
    fields.EmptyCategory(title);
}

void HidIoctlOutputer::OutputGetDriverConfig(int mode, ULONG, const BYTE*) {
    OutputValueCode(mode, false, "Get HID_DRIVER_CONFIG", "HIDIoctl-DriverConfig", sizeof(HID_DRIVER_CONFIG),
                    &HidIoctlOutputer::OutputDriverConfigValues);
}

void HidIoctlOutputer::OutputSetDriverConfig(int mode, ULONG, const BYTE*) {
    OutputValueCode(mode, true, "Set HID_DRIVER_CONFIG", "HIDIoctl-DriverConfig", sizeof(HID_DRIVER_CONFIG),
                    &HidIoctlOutputer::OutputDriverConfigValues);
}

void HidIoctlOutputer::OutputGetPollFrequency(int mode, ULONG, const BYTE*) {
    OutputValueCode(mode, false, "Get Polling Frequency", "HIDIoctl-PollingFreq", IOCTL_RECORD_U32_SIZE,
                    &HidIoctlOutputer::OutputPollFrequencyValue);
}

void HidIoctlOutputer::OutputSetPollFrequency(int mode, ULONG, const BYTE*) {
    OutputValueCode(mode, true, "Set Polling Frequency", "HIDIoctl-PollingFreq", IOCTL_RECORD_U32_SIZE,
                    &HidIoctlOutputer::OutputPollFrequencyValue);
}

void HidIoctlOutputer::OutputGetNumInputBuffers(int mode, ULONG, const BYTE*) {
    OutputValueCode(mode, false, "Get Number of Input Buffers", "HIDIoctl-NumBuffers", IOCTL_RECORD_U32_SIZE,
                    &HidIoctlOutputer::OutputNumBuffersValue);
}

void HidIoctlOutputer::OutputSetNumInputBuffers(int mode, ULONG, const BYTE*) {
    OutputValueCode(mode, true, "Set Number of Input Buffers", "HIDIoctl-NumBuffers", IOCTL_RECORD_U32_SIZE,
                    &HidIoctlOutputer::OutputNumBuffersValue);
}

void HidIoctlOutputer::OutputFlushQueue(int mode, ULONG, const BYTE*) {
    OutputEmptyCode(mode, "Flush Queue");
}

void HidIoctlOutputer::OutputGetMsGenreDescriptor(int mode, ULONG, const BYTE*) {
    OutputEmptyCode(mode, "Get MS Genre Descriptor");
}

void HidIoctlOutputer::OutputEnableSecureRead(int mode, ULONG, const BYTE*) {
    OutputEmptyCode(mode, "Enable Secure Read");
}

void HidIoctlOutputer::OutputDisableSecureRead(int mode, ULONG, const BYTE*) {
    OutputEmptyCode(mode, "Disable Secure Read");
}

// --- codes with a parameter block ---

bool HidIoctlOutputer::OpenBlockSection(IoctlFields& fields, LPCSTR title) {
    if (m_Decode.HasInputData())
        fields.OpenSection(title, "HIDIoctl-InputParameters");
    else if (m_Decode.HasOutputData())
        fields.OpenSection(title, "HIDIoctl-OutputParameters");
    else
        return false;
    return true;
}

bool HidIoctlOutputer::HasCompletionData(const IoctlFields& fields) const {
    return fields.Size() >= fields.Needed() && static_cast<LONG>(m_Decode.GetStatus()) >= 0;
}

void HidIoctlOutputer::OutputPlainBlockCode(int mode, LPCSTR title, LPCSTR address,
                                            void (HidIoctlOutputer::*data)(IoctlFields&, LPCSTR), LPCSTR name) {
    IoctlFields fields(*this, mode, kBlockSize);
    if (!OpenBlockSection(fields, title))
        return;
    if (m_Decode.HasInputData()) {
        OutputInputParameters(fields, kOutputBufferLength, address);
    } else {
        OutputOutputParameters(fields, kInformation, address);
        if (HasCompletionData(fields))
            (this->*data)(fields, name);
    }
    fields.CloseSection();
}

void HidIoctlOutputer::OutputGetReportCode(int mode, LPCSTR title, const ReportForm* request,
                                           const ReportForm& completion) {
    IoctlFields fields(*this, mode, kBlockSize);
    if (!OpenBlockSection(fields, title))
        return;
    if (m_Decode.HasInputData()) {
        OutputInputParametersWithReportId(fields, kOutputBufferLength, "MdlAddress");
        // Going down, the caller's buffer may hold the report ID and what the caller put behind it.
        if (request && fields.Size() >= kBlockSize)
            OutputReportData(fields, *request, false);
    } else {
        OutputOutputParametersWithReportId(fields, "MdlAddress");
        if (HasCompletionData(fields))
            OutputReportData(fields, completion, false);
    }
    fields.CloseSection();
}

void HidIoctlOutputer::OutputSetReportCode(int mode, LPCSTR title, const ReportForm& form) {
    IoctlFields fields(*this, mode, kBlockSize);
    if (!m_Decode.HasInputData()) {
        if (m_Decode.HasOutputData())
            fields.EmptyCategory(title);
        return;
    }
    fields.OpenSection(title, "HIDIoctl-InputParameters");
    OutputInputParametersWithReportId(fields, "InputBufferLength", "SystemBuffer");
    if (fields.Size() >= kBlockSize)
        OutputReportData(fields, form, true);
    fields.CloseSection();
}

void HidIoctlOutputer::OutputGetCollectionInformation(int mode, ULONG, const BYTE*) {
    OutputPlainBlockCode(mode, "Get Collection Information", "SystemBufferAddress",
                         &HidIoctlOutputer::OutputCollectionInformation);
}

void HidIoctlOutputer::OutputGetCollectionDescriptor(int mode, ULONG, const BYTE*) {
    OutputPlainBlockCode(mode, "Get Collection Descriptor", "UserBufferAddress",
                         &HidIoctlOutputer::OutputPreparsedData);
}

void HidIoctlOutputer::OutputGetFeature(int mode, ULONG, const BYTE*) {
    static constexpr ReportForm kRequest = {"HID Feature Report", "Feature", "HID Feature Report (Input)"};
    OutputGetReportCode(mode, "Get Feature Report", &kRequest,
                        {"HID Feature Report", "Feature", "HID Feature Report (Output)"});
}

void HidIoctlOutputer::OutputSetFeature(int mode, ULONG, const BYTE*) {
    OutputSetReportCode(mode, "Set Feature Report", {"HID Feature Report", "Feature", "HID Feature Report (Input)"});
}

void HidIoctlOutputer::OutputGetInputReport(int mode, ULONG, const BYTE*) {
    OutputGetReportCode(mode, "Get Input Report", nullptr, {"HID Input Report", "Input", "HID Input Report (Output)"});
}

void HidIoctlOutputer::OutputSetOutputReport(int mode, ULONG, const BYTE*) {
    OutputSetReportCode(mode, "Set Output Report", {"HID Output Report", "Output", "HID Output Report (Input)"});
}

void HidIoctlOutputer::OutputGetPhysicalDescriptor(int mode, ULONG, const BYTE*) {
    OutputPlainBlockCode(mode, "Get Physical Descriptor", "MdlAddress", &HidIoctlOutputer::OutputPhysicalDescriptor);
}

void HidIoctlOutputer::OutputGetHardwareId(int mode, ULONG, const BYTE*) {
    OutputPlainBlockCode(mode, "Get Hardware ID", "MdlAddress", &HidIoctlOutputer::OutputStringData, "HardwareID");
}

void HidIoctlOutputer::OutputGetManufacturerString(int mode, ULONG, const BYTE*) {
    OutputPlainBlockCode(mode, "Get Manufacturer String", "MdlAddress", &HidIoctlOutputer::OutputStringData,
                         "Manufacturer");
}

void HidIoctlOutputer::OutputGetProductString(int mode, ULONG, const BYTE*) {
    OutputPlainBlockCode(mode, "Get Product String", "MdlAddress", &HidIoctlOutputer::OutputStringData, "Product");
}

void HidIoctlOutputer::OutputGetSerialNumberString(int mode, ULONG, const BYTE*) {
    OutputPlainBlockCode(mode, "Get SerialNumber String", "MdlAddress", &HidIoctlOutputer::OutputStringData,
                         "SerialNumber");
}

void HidIoctlOutputer::OutputGetIndexedString(int mode, ULONG, const BYTE*) {
    IoctlFields fields(*this, mode, kIndexedBlockSize);
    if (!OpenBlockSection(fields, "Get Indexed String"))
        return;
    OutputIndexedStringParameters(fields);
    if (!m_Decode.HasInputData() && HasCompletionData(fields))
        OutputIndexedStringData(fields);
    fields.CloseSection();
}

// --- parameter blocks ---

void HidIoctlOutputer::OutputInputParameters(IoctlFields& fields, LPCSTR first, LPCSTR second) {
    if (fields.IsEmpty())
        return;
    fields.OpenInnerGroup(kInputTitle);
    fields.ValueField(first, IoctlWidth::U32, kLengthOffset);
    fields.ValueField(second, IoctlWidth::U64, kAddressOffset);
    fields.EndOfBlock();
    fields.CloseInnerGroup();
}

void HidIoctlOutputer::OutputInputParametersWithReportId(IoctlFields& fields, LPCSTR first, LPCSTR second) {
    if (fields.IsEmpty())
        return;
    fields.OpenInnerGroup(kInputTitle);
    fields.ValueField(first, IoctlWidth::U32, kLengthOffset);
    fields.ValueField(second, IoctlWidth::U64, kAddressOffset);
    OutputReportIdField(fields);
    fields.EndOfBlock();
    fields.CloseInnerGroup();
}

void HidIoctlOutputer::OutputOutputParameters(IoctlFields& fields, LPCSTR second, LPCSTR third) {
    if (fields.IsEmpty())
        return;
    fields.OpenInnerGroup(kOutputTitle);
    fields.ValueField(kOutputBufferLength, IoctlWidth::U32, kLengthOffset);
    fields.ValueField(second, IoctlWidth::U32, kSecondOffset);
    fields.ValueField(third, IoctlWidth::U64, kAddressOffset);
    fields.EndOfBlock();
    fields.CloseInnerGroup();
}

void HidIoctlOutputer::OutputOutputParametersWithReportId(IoctlFields& fields, LPCSTR second) {
    if (fields.IsEmpty())
        return;
    fields.OpenInnerGroup(kOutputTitle);
    fields.ValueField(kOutputBufferLength, IoctlWidth::U32, kLengthOffset);
    fields.ValueField(second, IoctlWidth::U64, kAddressOffset);
    OutputReportIdField(fields);
    fields.EndOfBlock();
    fields.CloseInnerGroup();
}

void HidIoctlOutputer::OutputReportIdField(IoctlFields& fields) {
    // The driver keeps the ID as a whole u32: one above 0xFF shows all its digits.
    ULONG reportId = 0;
    const bool have = fields.Read(kSecondOffset, reportId);
    fields.Field("reportId", fields.Text(IoctlWidth::U8, reportId, have));
}

void HidIoctlOutputer::OutputIndexedStringParameters(IoctlFields& fields) {
    if (fields.IsEmpty())
        return;
    fields.OpenInnerGroup(m_Decode.HasInputData() ? kInputTitle : kOutputTitle);
    fields.ValueField("InputBufferLength", IoctlWidth::U32, offsetof(HID_RECORD_INDEXED_STRING, InputBufferLength));
    fields.AttributedValueField("SystemBuffer (input)", "SystemBuffer", IoctlWidth::U64,
                                offsetof(HID_RECORD_INDEXED_STRING, SystemBuffer), "Direction", "input");
    fields.ValueField(kOutputBufferLength, IoctlWidth::U32, offsetof(HID_RECORD_INDEXED_STRING, OutputBufferLength));
    fields.AttributedValueField("MdlAddress (output)", "MdlAddress", IoctlWidth::U64,
                                offsetof(HID_RECORD_INDEXED_STRING, Mdl), "Direction", "output");
    fields.ValueField("index", IoctlWidth::U32, offsetof(HID_RECORD_INDEXED_STRING, FirstWord));
    fields.EndOfBlock();
    fields.CloseInnerGroup();
}

// --- data sections ---

void HidIoctlOutputer::OutputBufferLength(IoctlFields& fields, ULONG count) {
    fields.GridField("BufferLength", fields.Text(IoctlWidth::U32, count));
}

void HidIoctlOutputer::OutputCollectionInformation(IoctlFields& fields, LPCSTR) {
    fields.EndSectionMarkup();
    fields.OpenDataSection("HID_COLLECTION_INFORMATION", "HIDIoctl-CollectionInfo");
    if (fields.BytesFrom(kBlockSize) >= sizeof(HID_COLLECTION_INFORMATION)) {
        constexpr LPCSTR kDescriptorUnit = "bytes of preparsed data";
        fields.AttributedValueField("DescriptorSize", "DescriptorSize", IoctlWidth::U32,
                                    kBlockSize + offsetof(HID_COLLECTION_INFORMATION, DescriptorSize), "Units",
                                    kDescriptorUnit, kDescriptorUnit);
        BYTE polled = 0;
        fields.Read(kBlockSize + offsetof(HID_COLLECTION_INFORMATION, Polled), polled);
        fields.Field("Polled", IoctlBoolText(polled != 0));
        fields.ValueField("Reserved1", IoctlWidth::U8, kBlockSize + offsetof(HID_COLLECTION_INFORMATION, Reserved1));
        fields.ValueField("VendorID", IoctlWidth::U16, kBlockSize + offsetof(HID_COLLECTION_INFORMATION, VendorID));
        fields.ValueField("ProductID", IoctlWidth::U16, kBlockSize + offsetof(HID_COLLECTION_INFORMATION, ProductID));
        fields.ValueField("VersionNumber", IoctlWidth::U16,
                          kBlockSize + offsetof(HID_COLLECTION_INFORMATION, VersionNumber));
    }
    fields.CloseDataSection();
}

void HidIoctlOutputer::OutputPreparsedData(IoctlFields& fields, LPCSTR) {
    fields.EndSectionMarkup();
    fields.OpenDataSection("HIDP_PREPARSED_DATA", "HIDP_PREPARSED_DATA");
    const ULONG count = fields.BytesFrom(kBlockSize);
    if (count != 0) {
        fields.ValueField("PreparsedDataAddress", IoctlWidth::U64, kAddressOffset);
        OutputBufferLength(fields, count);
        if (fields.IsMarkup())
            fields.Field("PreparsedData", IoctlHexText(fields.DataAt(kBlockSize), count));
        fields.BufferItem("UserBuffer", fields.DataAt(kBlockSize), count, "HID Preparsed Data (Output)");
    }
    fields.CloseDataSection();
}

void HidIoctlOutputer::OutputReportData(IoctlFields& fields, const ReportForm& form, bool setForm) {
    fields.EndSectionMarkup();
    fields.OpenDataSection(form.title, setForm ? "HIDIoctl-SetReport" : "HIDIoctl-GetReport");
    const ULONG count = fields.BytesFrom(kBlockSize);
    // What is sent is told with its length in the report too; what comes back only in the grid.
    if (setForm)
        fields.Field("BufferLength", fields.Text(IoctlWidth::U32, count));
    else
        OutputBufferLength(fields, count);
    if (count != 0) {
        if (fields.IsMarkup())
            fields.AttributedField("Report", "Report", IoctlHexText(fields.DataAt(kBlockSize), count), "Type",
                                   form.type);
        fields.BufferItem("reportBuffer", fields.DataAt(kBlockSize), count, form.caption);
    }
    fields.CloseDataSection();
}

void HidIoctlOutputer::OutputPhysicalDescriptor(IoctlFields& fields, LPCSTR) {
    fields.EndSectionMarkup();
    fields.OpenDataSection("HID Physical Descriptor", "HIDIoctl-PhysicalDesc");
    const ULONG count = fields.BytesFrom(kBlockSize);
    OutputBufferLength(fields, count);
    if (count != 0) {
        if (fields.IsMarkup())
            fields.Field("Descriptor", IoctlHexText(fields.DataAt(kBlockSize), count));
        fields.BufferItem("Descriptor", fields.DataAt(kBlockSize), count, "HID Physical Descriptor (Output)");
    }
    fields.CloseDataSection();
}

void HidIoctlOutputer::OutputStringData(IoctlFields& fields, LPCSTR name) {
    fields.EndSectionMarkup();
    const CString title = CString(name) + " String";
    fields.OpenDataSection(title, "HIDIoctl-String");
    const ULONG count = fields.BytesFrom(kBlockSize);
    OutputBufferLength(fields, count);
    if (count != 0) {
        if (fields.IsMarkup())
            fields.AttributedField("String", "String", IoctlWideText(fields.DataAt(kBlockSize), count), "Name", name);
        fields.BufferItem("stringBuffer", fields.DataAt(kBlockSize), count, CString(name) + " (Output)");
    }
    fields.CloseDataSection();
}

void HidIoctlOutputer::OutputIndexedStringData(IoctlFields& fields) {
    fields.EndSectionMarkup();
    fields.OpenInnerGroup("Indexed String");
    const ULONG count = fields.BytesFrom(kIndexedBlockSize);
    const BYTE* bytes = fields.DataAt(kIndexedBlockSize);
    OutputBufferLength(fields, count);
    ULONG index = 0;
    fields.Read(offsetof(HID_RECORD_INDEXED_STRING, FirstWord), index);
    if (index != 0) {
        CString name;
        name.Format("String_%u", index);
        if (fields.IsMarkup())
            fields.Field(name, IoctlWideText(bytes, count));
        fields.BufferItem("stringBuffer", bytes, count, name + " (Output)");
    } else {
        // String 0 is the device's list of language IDs, ended by a zero ID or by the bytes.
        for (ULONG i = 0; 2 * (i + 1) <= count; ++i) {
            USHORT id = 0;
            fields.Read(kIndexedBlockSize + 2 * i, id);
            if (i > 0 && id == 0)
                break;
            CString label;
            label.Format("LANGID.%u", i + 1);
            fields.Field(label, fields.Text(IoctlWidth::U16, id));
        }
    }
    fields.CloseInnerGroup();
}
