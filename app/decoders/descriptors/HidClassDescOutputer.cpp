#include "app/decoders/descriptors/HidClassDescOutputer.h"

namespace {

constexpr BYTE kReportDescriptor = 0x22;
constexpr BYTE kPhysicalDescriptor = 0x23;
constexpr size_t kNumDescriptorsAt = 5;

const FieldDecl kHeader[] = {
    FieldU8("bLength"),         FieldU8("bDescriptorType").Named("Name", "HID CLASS"),
    FieldU16("bcdHID"),         FieldU8("bCountry"),
    FieldU8("bNumDescriptors"),
};

const char* ReportTypeName(BYTE type) {
    switch (type) {
    case kReportDescriptor: return "HID REPORT DESCRIPTOR";
    case kPhysicalDescriptor: return "HID PHYSICAL DESCRIPTOR";
    default: return "OTHER REPORT DESCRIPTOR";
    }
}

} // namespace

HidClassDescOutputer::HidClassDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void HidClassDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped) {
    const DescLayout layout = LayoutOf(grouped);
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, layout);
    tdl::ByteReader reader = Reader();
    BYTE entries = 0;
    if (fields.Fields(kHeader, reader, FieldWalk::Placeholder))
        reader.ReadAt(kNumDescriptorsAt, entries);
    for (BYTE i = 0; i < entries; ++i) {
        BYTE type = 0;
        if (!reader.Read(type)) {
            fields.Field("wReportLength", kMissing);
            continue;
        }
        fields.NamedField("bReportType", fields.Number(FieldFormat::Hex2, type), "Name", ReportTypeName(type));
        USHORT length = 0;
        if (reader.Read(length)) {
            fields.NumberField("wReportLength", FieldFormat::Hex4, length);
        } else {
            // A lone byte of the word counts as read.
            reader.Skip(reader.Remaining());
            fields.Field("wReportLength", kMissing);
        }
    }
    CloseSection(fields, layout);
    consumed = static_cast<ULONG>(reader.Position());
}
