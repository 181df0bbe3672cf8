#include "app/decoders/ioctl/HidIoctlOutputer.h"

#include <cstddef>
#include <iterator>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/OutputerImp.h"
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

const IoctlFamily& HidIoctlFamily() {
    using Self = HidIoctlOutputer;
    using enum CodeOffer;
    static constexpr IoctlCode kCodes[] = {
        TDL_IOCTL_CODE(IOCTL_HID_GET_DRIVER_CONFIG, nullptr, Always, &Self::OutputGetDriverConfig),
        TDL_IOCTL_CODE(IOCTL_HID_SET_DRIVER_CONFIG, nullptr, Always, &Self::OutputSetDriverConfig),
        TDL_IOCTL_CODE(IOCTL_HID_GET_POLL_FREQUENCY_MSEC, nullptr, Always, &Self::OutputGetPollFrequency),
        TDL_IOCTL_CODE(IOCTL_HID_SET_POLL_FREQUENCY_MSEC, nullptr, Always, &Self::OutputSetPollFrequency),
        TDL_IOCTL_CODE(IOCTL_GET_NUM_DEVICE_INPUT_BUFFERS, nullptr, Always, &Self::OutputGetNumInputBuffers),
        TDL_IOCTL_CODE(IOCTL_SET_NUM_DEVICE_INPUT_BUFFERS, nullptr, Always, &Self::OutputSetNumInputBuffers),
        TDL_IOCTL_CODE(IOCTL_HID_GET_COLLECTION_INFORMATION, nullptr, Always, &Self::OutputGetCollectionInformation),
        TDL_IOCTL_CODE(IOCTL_HID_GET_COLLECTION_DESCRIPTOR, nullptr, Always, &Self::OutputGetCollectionDescriptor),
        TDL_IOCTL_CODE(IOCTL_HID_FLUSH_QUEUE, "HID_FLUSH_QUEUE", Always, &Self::OutputFlushQueue),
        TDL_IOCTL_CODE(IOCTL_HID_ENABLE_SECURE_READ, nullptr, Always, &Self::OutputEnableSecureRead),
        TDL_IOCTL_CODE(IOCTL_HID_DISABLE_SECURE_READ, nullptr, Always, &Self::OutputDisableSecureRead),
        TDL_IOCTL_CODE(IOCTL_HID_SET_FEATURE, nullptr, Always, &Self::OutputSetFeature),
        TDL_IOCTL_CODE(IOCTL_HID_SET_OUTPUT_REPORT, nullptr, Always, &Self::OutputSetOutputReport),
        TDL_IOCTL_CODE(IOCTL_HID_GET_FEATURE, nullptr, Always, &Self::OutputGetFeature),
        TDL_IOCTL_CODE(IOCTL_GET_PHYSICAL_DESCRIPTOR, nullptr, Always, &Self::OutputGetPhysicalDescriptor),
        TDL_IOCTL_CODE(IOCTL_HID_GET_HARDWARE_ID, nullptr, Always, &Self::OutputGetHardwareId),
        TDL_IOCTL_CODE(IOCTL_HID_GET_INPUT_REPORT, nullptr, Always, &Self::OutputGetInputReport),
        TDL_IOCTL_CODE(IOCTL_HID_GET_MANUFACTURER_STRING, nullptr, Always, &Self::OutputGetManufacturerString),
        TDL_IOCTL_CODE(IOCTL_HID_GET_PRODUCT_STRING, nullptr, Always, &Self::OutputGetProductString),
        TDL_IOCTL_CODE(IOCTL_HID_GET_SERIALNUMBER_STRING, nullptr, Always, &Self::OutputGetSerialNumberString),
        TDL_IOCTL_CODE(IOCTL_HID_GET_INDEXED_STRING, nullptr, Always, &Self::OutputGetIndexedString),
        TDL_IOCTL_CODE(IOCTL_HID_GET_MS_GENRE_DESCRIPTOR, nullptr, Always, &Self::OutputGetMsGenreDescriptor),
    };
    static constexpr IoctlFamily kFamily{"HID", "HID Ioctl", "HID_", "HID_IOCTL_%X", false, "", kCodes};
    return kFamily;
}

HidIoctlOutputer::HidIoctlOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord)
    : IoctlFamilyOutputer(pImp, pDocument, pRecord, HidIoctlFamily()) {}

void HidIoctlOutputer::ShowInDataBar(const CString& caption, const BYTE* pData, ULONG total, ULONG shown,
                                     ULONG record) {
    ::ShowInDataBar(caption, pData, total, shown, record);
}

// --- codes with a plain value, or with nothing ---

void HidIoctlOutputer::OutputValueCode(int mode, bool carriedOnRequest, LPCSTR title, LPCSTR element, ULONG size,
                                       void (HidIoctlOutputer::*values)(FieldWriter&)) {
    const bool request = m_Decode.HasInputData();
    if (!request && !m_Decode.HasOutputData())
        return;
    FieldWriter fields(*this, mode, size);
    if (request != carriedOnRequest) {
        fields.EmptyCategory(title);
        return;
    }
    fields.Open(FieldSection::Category, {element, title});
    // A failed request's record holds no value at all; that is no cut.
    if (!fields.IsEmpty()) {
        (this->*values)(fields);
        fields.EndOfBlock();
    }
    fields.Close(FieldSection::Category);
}

void HidIoctlOutputer::OutputDriverConfigValues(FieldWriter& fields) {
    fields.ValueField({"StructSize", "Size"}, FieldFormat::Hex8, offsetof(HID_DRIVER_CONFIG, Size));
    fields.PayloadField(FieldOf({"RingBufferSize", "RingBufferSize (in reports)"}, FieldFormat::Hex8,
                                offsetof(HID_DRIVER_CONFIG, RingBufferSize))
                            .MarkedUp("Units", "reports", ""));
}

void HidIoctlOutputer::OutputPollFrequencyValue(FieldWriter& fields) {
    fields.PayloadField(
        FieldOf({"PollingFrequency", "PollingFrequency (ms.)"}, FieldFormat::Hex8, 0).MarkedUp("Units", "ms.", ""));
}

void HidIoctlOutputer::OutputNumBuffersValue(FieldWriter& fields) {
    fields.ValueField({"NumberOfBuffers", "Number Input Buffers"}, FieldFormat::Hex8, 0);
}

void HidIoctlOutputer::OutputEmptyCode(int mode, LPCSTR title) {
    if (!m_Decode.HasInputData() && !m_Decode.HasOutputData())
        return;
    FieldWriter fields(*this, mode);
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

bool HidIoctlOutputer::OpenBlockSection(FieldWriter& fields, LPCSTR title) {
    if (m_Decode.HasInputData())
        fields.Open(FieldSection::Category, {"HIDIoctl-InputParameters", title});
    else if (m_Decode.HasOutputData())
        fields.Open(FieldSection::Category, {"HIDIoctl-OutputParameters", title});
    else
        return false;
    return true;
}

bool HidIoctlOutputer::HasCompletionData(const FieldWriter& fields) const {
    return fields.Size() >= fields.Needed() && static_cast<LONG>(m_Decode.GetStatus()) >= 0;
}

void HidIoctlOutputer::OutputPlainBlockCode(int mode, LPCSTR title, LPCSTR address,
                                            void (HidIoctlOutputer::*data)(FieldWriter&, LPCSTR), LPCSTR name) {
    FieldWriter fields(*this, mode, kBlockSize);
    if (!OpenBlockSection(fields, title))
        return;
    if (m_Decode.HasInputData()) {
        OutputInputParameters(fields, kOutputBufferLength, address);
    } else {
        OutputOutputParameters(fields, kInformation, address);
        if (HasCompletionData(fields))
            (this->*data)(fields, name);
    }
    fields.Close(FieldSection::Category);
}

void HidIoctlOutputer::OutputGetReportCode(int mode, LPCSTR title, const ReportForm* request,
                                           const ReportForm& completion) {
    FieldWriter fields(*this, mode, kBlockSize);
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
    fields.Close(FieldSection::Category);
}

void HidIoctlOutputer::OutputSetReportCode(int mode, LPCSTR title, const ReportForm& form) {
    FieldWriter fields(*this, mode, kBlockSize);
    if (!m_Decode.HasInputData()) {
        if (m_Decode.HasOutputData())
            fields.EmptyCategory(title);
        return;
    }
    fields.Open(FieldSection::Category, {"HIDIoctl-InputParameters", title});
    OutputInputParametersWithReportId(fields, "InputBufferLength", "SystemBuffer");
    if (fields.Size() >= kBlockSize)
        OutputReportData(fields, form, true);
    fields.Close(FieldSection::Category);
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
    FieldWriter fields(*this, mode, kIndexedBlockSize);
    if (!OpenBlockSection(fields, "Get Indexed String"))
        return;
    OutputIndexedStringParameters(fields);
    if (!m_Decode.HasInputData() && HasCompletionData(fields))
        OutputIndexedStringData(fields);
    fields.Close(FieldSection::Category);
}

// --- parameter blocks ---

void HidIoctlOutputer::OutputInputParameters(FieldWriter& fields, LPCSTR first, LPCSTR second) {
    if (fields.IsEmpty())
        return;
    fields.Open(FieldSection::GridGroup, kInputTitle);
    fields.ValueField(first, FieldFormat::Hex8, kLengthOffset);
    fields.ValueField(second, FieldFormat::Hex64, kAddressOffset);
    fields.EndOfBlock();
    fields.Close(FieldSection::GridGroup);
}

void HidIoctlOutputer::OutputInputParametersWithReportId(FieldWriter& fields, LPCSTR first, LPCSTR second) {
    if (fields.IsEmpty())
        return;
    fields.Open(FieldSection::GridGroup, kInputTitle);
    fields.ValueField(first, FieldFormat::Hex8, kLengthOffset);
    fields.ValueField(second, FieldFormat::Hex64, kAddressOffset);
    OutputReportIdField(fields);
    fields.EndOfBlock();
    fields.Close(FieldSection::GridGroup);
}

void HidIoctlOutputer::OutputOutputParameters(FieldWriter& fields, LPCSTR second, LPCSTR third) {
    if (fields.IsEmpty())
        return;
    fields.Open(FieldSection::GridGroup, kOutputTitle);
    fields.ValueField(kOutputBufferLength, FieldFormat::Hex8, kLengthOffset);
    fields.ValueField(second, FieldFormat::Hex8, kSecondOffset);
    fields.ValueField(third, FieldFormat::Hex64, kAddressOffset);
    fields.EndOfBlock();
    fields.Close(FieldSection::GridGroup);
}

void HidIoctlOutputer::OutputOutputParametersWithReportId(FieldWriter& fields, LPCSTR second) {
    if (fields.IsEmpty())
        return;
    fields.Open(FieldSection::GridGroup, kOutputTitle);
    fields.ValueField(kOutputBufferLength, FieldFormat::Hex8, kLengthOffset);
    fields.ValueField(second, FieldFormat::Hex64, kAddressOffset);
    OutputReportIdField(fields);
    fields.EndOfBlock();
    fields.Close(FieldSection::GridGroup);
}

void HidIoctlOutputer::OutputReportIdField(FieldWriter& fields) {
    // The driver keeps the ID as a whole u32: one above 0xFF shows all its digits.
    ULONG reportId = 0;
    const bool have = fields.Read(kSecondOffset, reportId);
    fields.Field("reportId", fields.Number(FieldFormat::Hex2, reportId, have));
}

void HidIoctlOutputer::OutputIndexedStringParameters(FieldWriter& fields) {
    if (fields.IsEmpty())
        return;
    fields.Open(FieldSection::GridGroup, m_Decode.HasInputData() ? kInputTitle : kOutputTitle);
    fields.ValueField("InputBufferLength", FieldFormat::Hex8, offsetof(HID_RECORD_INDEXED_STRING, InputBufferLength));
    fields.PayloadField(FieldOf({"SystemBuffer", "SystemBuffer (input)"}, FieldFormat::Hex64,
                                offsetof(HID_RECORD_INDEXED_STRING, SystemBuffer))
                            .MarkedUp("Direction", "input", nullptr));
    fields.ValueField(kOutputBufferLength, FieldFormat::Hex8, offsetof(HID_RECORD_INDEXED_STRING, OutputBufferLength));
    fields.PayloadField(
        FieldOf({"MdlAddress", "MdlAddress (output)"}, FieldFormat::Hex64, offsetof(HID_RECORD_INDEXED_STRING, Mdl))
            .MarkedUp("Direction", "output", nullptr));
    fields.ValueField("index", FieldFormat::Hex8, offsetof(HID_RECORD_INDEXED_STRING, FirstWord));
    fields.EndOfBlock();
    fields.Close(FieldSection::GridGroup);
}

// --- data sections ---

void HidIoctlOutputer::OutputBufferLength(FieldWriter& fields, ULONG count) {
    fields.Field("BufferLength", fields.Number(FieldFormat::Hex8, count), nullptr, kNotMarkup);
}

void HidIoctlOutputer::OutputCollectionInformation(FieldWriter& fields, LPCSTR) {
    fields.EndSectionMarkup();
    fields.Open(FieldSection::Block, {"HIDIoctl-CollectionInfo", "HID_COLLECTION_INFORMATION"});
    if (fields.BytesFrom(kBlockSize) >= sizeof(HID_COLLECTION_INFORMATION)) {
        constexpr LPCSTR kDescriptorUnit = "bytes of preparsed data";
        fields.PayloadField(FieldOf({"DescriptorSize", "DescriptorSize"}, FieldFormat::Hex8,
                                    kBlockSize + offsetof(HID_COLLECTION_INFORMATION, DescriptorSize))
                                .MarkedUp("Units", kDescriptorUnit, kDescriptorUnit));
        BYTE polled = 0;
        fields.Read(kBlockSize + offsetof(HID_COLLECTION_INFORMATION, Polled), polled);
        fields.Field("Polled", FieldBoolText(polled != 0));
        fields.ValueField("Reserved1", FieldFormat::Hex2, kBlockSize + offsetof(HID_COLLECTION_INFORMATION, Reserved1));
        fields.ValueField("VendorID", FieldFormat::Hex4, kBlockSize + offsetof(HID_COLLECTION_INFORMATION, VendorID));
        fields.ValueField("ProductID", FieldFormat::Hex4, kBlockSize + offsetof(HID_COLLECTION_INFORMATION, ProductID));
        fields.ValueField("VersionNumber", FieldFormat::Hex4,
                          kBlockSize + offsetof(HID_COLLECTION_INFORMATION, VersionNumber));
    }
    fields.Close(FieldSection::Block);
}

void HidIoctlOutputer::OutputPreparsedData(FieldWriter& fields, LPCSTR) {
    fields.EndSectionMarkup();
    fields.Open(FieldSection::Block, {"HIDP_PREPARSED_DATA", "HIDP_PREPARSED_DATA"});
    const ULONG count = fields.BytesFrom(kBlockSize);
    if (count != 0) {
        fields.ValueField("PreparsedDataAddress", FieldFormat::Hex64, kAddressOffset);
        OutputBufferLength(fields, count);
        fields.Field("PreparsedData", FieldHexText(fields.DataAt(kBlockSize), count), nullptr, kXml);
        fields.BufferItem("UserBuffer", fields.DataAt(kBlockSize), count, "HID Preparsed Data (Output)");
    }
    fields.Close(FieldSection::Block);
}

void HidIoctlOutputer::OutputReportData(FieldWriter& fields, const ReportForm& form, bool setForm) {
    fields.EndSectionMarkup();
    fields.Open(FieldSection::Block, {setForm ? "HIDIoctl-SetReport" : "HIDIoctl-GetReport", form.title});
    const ULONG count = fields.BytesFrom(kBlockSize);
    // What is sent is told with its length in the report too; what comes back only in the grid.
    if (setForm)
        fields.Field("BufferLength", fields.Number(FieldFormat::Hex8, count));
    else
        OutputBufferLength(fields, count);
    if (count != 0) {
        fields.AttributedField("Report", FieldHexText(fields.DataAt(kBlockSize), count), "Type", form.type, nullptr,
                               kXml);
        fields.BufferItem("reportBuffer", fields.DataAt(kBlockSize), count, form.caption);
    }
    fields.Close(FieldSection::Block);
}

void HidIoctlOutputer::OutputPhysicalDescriptor(FieldWriter& fields, LPCSTR) {
    fields.EndSectionMarkup();
    fields.Open(FieldSection::Block, {"HIDIoctl-PhysicalDesc", "HID Physical Descriptor"});
    const ULONG count = fields.BytesFrom(kBlockSize);
    OutputBufferLength(fields, count);
    if (count != 0) {
        fields.Field("Descriptor", FieldHexText(fields.DataAt(kBlockSize), count), nullptr, kXml);
        fields.BufferItem("Descriptor", fields.DataAt(kBlockSize), count, "HID Physical Descriptor (Output)");
    }
    fields.Close(FieldSection::Block);
}

void HidIoctlOutputer::OutputStringData(FieldWriter& fields, LPCSTR name) {
    fields.EndSectionMarkup();
    const CString title = CString(name) + " String";
    fields.Open(FieldSection::Block, {"HIDIoctl-String", title});
    const ULONG count = fields.BytesFrom(kBlockSize);
    OutputBufferLength(fields, count);
    if (count != 0) {
        fields.AttributedField("String", FieldWideText(fields.DataAt(kBlockSize), count), "Name", name, nullptr, kXml);
        fields.BufferItem("stringBuffer", fields.DataAt(kBlockSize), count, CString(name) + " (Output)");
    }
    fields.Close(FieldSection::Block);
}

void HidIoctlOutputer::OutputIndexedStringData(FieldWriter& fields) {
    fields.EndSectionMarkup();
    fields.Open(FieldSection::GridGroup, "Indexed String");
    const ULONG count = fields.BytesFrom(kIndexedBlockSize);
    const BYTE* bytes = fields.DataAt(kIndexedBlockSize);
    OutputBufferLength(fields, count);
    ULONG index = 0;
    fields.Read(offsetof(HID_RECORD_INDEXED_STRING, FirstWord), index);
    if (index != 0) {
        CString name;
        name.Format("String_%u", index);
        fields.Field(name, FieldWideText(bytes, count), nullptr, kXml);
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
            fields.Field(label, fields.Number(FieldFormat::Hex4, id));
        }
    }
    fields.Close(FieldSection::GridGroup);
}
