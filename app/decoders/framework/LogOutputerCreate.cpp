// The decoder factory: the record's tag alone chooses the decoder, by exact match. Kinds without a returned
// state ("buh", "khp"), known kinds with another state letter, the change-log tags and unknown tags all get
// the plain decoder, which shows the log entry alone.
#include <iterator>
#include <new>

#include "app/decoders/framework/IoctlOutputer.h"
#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/framework/PnpOutputer.h"
#include "app/decoders/framework/PowerOutputer.h"
#include "app/decoders/ioctl/HcdIoctlOutputer.h"
#include "app/decoders/ioctl/HidIoctlOutputer.h"
#include "app/decoders/ioctl/HubIoctlOutputer.h"
#include "app/decoders/ioctl/HubifOutputer.h"
#include "app/decoders/ioctl/UsbintOutputer.h"
#include "app/decoders/ioctl/UsbportHkOutputer.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"

namespace {

using Maker = LogOutputer* (*)(OutputerImp*, CUSBLog*, const _LOGHDR*);

template <class Decoder> LogOutputer* Make(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord) {
    return new (std::nothrow) Decoder(pImp, pDocument, pRecord);
}

LogOutputer* MakeUrb(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord) {
    return UrbOutputer::Create(pImp, pDocument, pRecord);
}

struct Choice {
    ULONG tag;
    Maker make;
};

// clang-format off
constexpr Choice kChoices[] = {
    {LogTag::ctlI, Make<IoctlOutputer>},     {LogTag::ctlR, Make<IoctlOutputer>},     {LogTag::ctlC, Make<IoctlOutputer>},
    {LogTag::intI, Make<InternOutputer>},    {LogTag::intR, Make<InternOutputer>},    {LogTag::intC, Make<InternOutputer>},
    {LogTag::pnpI, Make<PnpOutputer>},       {LogTag::pnpR, Make<PnpOutputer>},       {LogTag::pnpC, Make<PnpOutputer>},
    {LogTag::powI, Make<PowerOutputer>},     {LogTag::powR, Make<PowerOutputer>},     {LogTag::powC, Make<PowerOutputer>},
    {LogTag::hcdI, Make<HcdIoctlOutputer>},  {LogTag::hcdR, Make<HcdIoctlOutputer>},  {LogTag::hcdC, Make<HcdIoctlOutputer>},
    {LogTag::hidI, Make<HidIoctlOutputer>},  {LogTag::hidR, Make<HidIoctlOutputer>},  {LogTag::hidC, Make<HidIoctlOutputer>},
    {LogTag::hubI, Make<HubIoctlOutputer>},  {LogTag::hubR, Make<HubIoctlOutputer>},  {LogTag::hubC, Make<HubIoctlOutputer>},
    {LogTag::uinI, Make<UsbintOutputer>},    {LogTag::uinR, Make<UsbintOutputer>},    {LogTag::uinC, Make<UsbintOutputer>},
    {LogTag::buhI, Make<HubifOutputer>},     {LogTag::buhC, Make<HubifOutputer>},
    {LogTag::khpI, Make<UsbportHkOutputer>}, {LogTag::khpC, Make<UsbportHkOutputer>},
    {LogTag::urbI, MakeUrb}, {LogTag::urbR, MakeUrb}, {LogTag::urbC, MakeUrb}, {LogTag::iCnt, MakeUrb}, {LogTag::cCnt, MakeUrb},
};
// clang-format on

} // namespace

LogOutputer* LogOutputer::Create(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord) {
    const ULONG tag = pRecord ? LogHdr::LogType(reinterpret_cast<const uint8_t*>(pRecord)) : 0;
    for (const Choice& choice : kChoices)
        if (choice.tag == tag)
            return choice.make(pImp, pDocument, pRecord);
    return new (std::nothrow) LogOutputer(pImp, pDocument, pRecord);
}
