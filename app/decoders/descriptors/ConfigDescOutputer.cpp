#include "app/decoders/descriptors/ConfigDescOutputer.h"

namespace {

constexpr char kConfiguration[] = "CONFIGURATION";

const FieldDecl kFields[] = {
    FieldU8("bLength"),
    FieldU8("bDescriptorType").Named("Name", TypeNameOrInvalid<2, kConfiguration>),
    FieldU16("wTotalLength"),
    FieldU8("bNumInterfaces"),
    FieldU8("bConfigurationValue"),
    FieldU8("iConfiguration"),
    FieldU8("bmAttributes"),
    FieldU8("MaxPower"),
};

} // namespace

ConfigDescOutputer::ConfigDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void ConfigDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped) {
    consumed = OutputLayout(mode, title, value, LayoutOf(grouped), kFields);
}
