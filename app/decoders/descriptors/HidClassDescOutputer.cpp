#include "app/decoders/descriptors/HidClassDescOutputer.h"

namespace {

constexpr BYTE kReportDescriptor = 0x22;
constexpr BYTE kPhysicalDescriptor = 0x23;
constexpr size_t kNumDescriptorsAt = 5;

const DescField kHeader[] = {
    DescByte("bLength"),         DescByte("bDescriptorType").Named("Name", "HID CLASS"),
    DescWord("bcdHID"),          DescByte("bCountry"),
    DescByte("bNumDescriptors"),
};

const char* ReportTypeName(BYTE type) {
    switch (type) {
    case kReportDescriptor:
        return "HID REPORT DESCRIPTOR";
    case kPhysicalDescriptor:
        return "HID PHYSICAL DESCRIPTOR";
    default:
        return "OTHER REPORT DESCRIPTOR";
    }
}

} // namespace

HidClassDescOutputer::HidClassDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void HidClassDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped) {
    const DescLayout layout = LayoutOf(grouped);
    OpenSection(mode, title, value, layout);
    tdl::ByteReader reader = Reader();
    BYTE entries = 0;
    if (OutputFields(mode, kHeader, reader, DescStyle::Placeholder))
        reader.ReadAt(kNumDescriptorsAt, entries);
    for (BYTE i = 0; i < entries; ++i) {
        BYTE type = 0;
        if (!reader.Read(type)) {
            OutputField(mode, "wReportLength", kMissing);
            continue;
        }
        OutputFieldWithText(mode, "bReportType", FormatNumber(mode, 1, type), "Name", ReportTypeName(type));
        USHORT length = 0;
        if (reader.Read(length)) {
            OutputField(mode, "wReportLength", FormatNumber(mode, 2, length));
        } else {
            // A lone byte of the word counts as read.
            reader.Skip(reader.Remaining());
            OutputField(mode, "wReportLength", kMissing);
        }
    }
    CloseSection(mode, layout);
    consumed = static_cast<ULONG>(reader.Position());
}
