#include "app/decoders/descriptors/ConfigDescOutputer.h"

namespace {

constexpr char kConfiguration[] = "CONFIGURATION";

const DescField kFields[] = {
    DescByte("bLength"),
    DescByte("bDescriptorType").Named("Name", TypeNameOrInvalid<2, kConfiguration>),
    DescWord("wTotalLength"),
    DescByte("bNumInterfaces"),
    DescByte("bConfigurationValue"),
    DescByte("iConfiguration"),
    DescByte("bmAttributes"),
    DescByte("MaxPower"),
};

} // namespace

ConfigDescOutputer::ConfigDescOutputer(OutputerImp* pImp, CUSBLog* pContext, const BYTE* pBytes, ULONG count)
    : DescOutputer(pImp, pContext, pBytes, count) {}

void ConfigDescOutputer::Output(int mode, const CString& title, const CString& value, ULONG& consumed, bool grouped) {
    consumed = OutputLayout(mode, title, value, LayoutOf(grouped), kFields);
}
