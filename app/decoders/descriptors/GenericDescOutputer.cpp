#include "app/decoders/descriptors/GenericDescOutputer.h"

#include <algorithm>

#include "app/decoders/framework/StringContent.h"

namespace {

constexpr ULONG kHeaderBytes = 2;

} // namespace

GenericDescOutputer::GenericDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void GenericDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped) {
    const DescLayout layout = LayoutOf(grouped);
    FieldWriter fields(*this, mode);
    OpenSection(fields, title, value, layout);
    const FieldDecl header[] = {FieldU8("bLength"), FieldU8("bDescriptorType").Named("Type", value.GetString())};
    tdl::ByteReader reader = Reader();
    fields.Fields(header, reader, FieldWalk::Placeholder);

    BYTE length = 0;
    reader.ReadAt(0, length);
    size_t data =
        length >= kHeaderBytes ? std::min<size_t>(length - kHeaderBytes, reader.Remaining()) : reader.Remaining();
    const CStringContent hex;
    ULONG offset = 0;
    while (data > 0) {
        CString bytes;
        const ULONG taken = hex.HexBytesSpaced(bytes, reader.Current(), static_cast<ULONG>(data));
        if (taken == 0)
            break;
        CString label;
        label.Format("Bytes.%02X-%02X", offset, offset + taken - 1);
        fields.Field(label.GetString(), bytes);
        reader.Skip(taken);
        offset += taken;
        data -= taken;
    }
    CloseSection(fields, layout);
    consumed = static_cast<ULONG>(reader.Position());
}
