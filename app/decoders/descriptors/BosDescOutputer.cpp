#include "app/decoders/descriptors/BosDescOutputer.h"

namespace {

constexpr BYTE kBosType = 15;

// The type in decimal in every mode, named in the value itself.
CString BosTypeValue(int, const uint8_t* field) {
    CString text;
    text.Format(field[0] == kBosType ? "BOS (%d)" : "INVALID (%d)", field[0]);
    return text;
}

const FieldDecl kFields[] = {
    FieldU8("bLength"),
    FieldU8("bDescriptorType").ValuedBy(BosTypeValue),
    FieldU16("wTotalLength"),
    FieldU8("bNumDeviceCaps"),
};

} // namespace

BosDescOutputer::BosDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void BosDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed) {
    consumed = OutputLayout(mode, title, value, DescLayout::Section, kFields);
}
