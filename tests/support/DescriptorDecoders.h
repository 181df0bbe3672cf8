// Every USB descriptor decoder and both set walkers over the same bytes, for the tests that feed them short
// or arbitrary input (the shorter-count sweep, the fuzz target) and must see no read past the count.
#pragma once

#include <afxcoll.h>

#include "app/decoders/descriptors/BosDescOutputer.h"
#include "app/decoders/descriptors/ConfigDescOutputer.h"
#include "app/decoders/descriptors/DevCapDescOutputer.h"
#include "app/decoders/descriptors/DeviceDescOutputer.h"
#include "app/decoders/descriptors/EndpointDescOutputer.h"
#include "app/decoders/descriptors/FullBosDescOutputer.h"
#include "app/decoders/descriptors/FullConfigDescOutputer.h"
#include "app/decoders/descriptors/GenericDescOutputer.h"
#include "app/decoders/descriptors/HidClassDescOutputer.h"
#include "app/decoders/descriptors/HubClassDescOutputer.h"
#include "app/decoders/descriptors/InterfaceDescOutputer.h"
#include "app/decoders/descriptors/StringDescOutputer.h"

namespace tdl::test {

inline void RunEveryDescriptorDecoder(OutputerImp& out, int mode, const BYTE* bytes, ULONG count) {
    ULONG consumed = 0;
    UCHAR klass = 0;
    CStringArray classTexts;
    CStringArray strings;
    for (const char* text : {"00", "Composite", "HumanInterface"})
        classTexts.Add(text);
    for (const char* text : {"", "Maker", "Thing", "0001"})
        strings.Add(text);
    for (bool flag : {false, true}) {
        DeviceDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", classTexts, strings, flag);
        ConfigDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag);
        InterfaceDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, klass, flag);
        InterfaceAssocDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, klass, flag);
        EndpointDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag);
        CompanionEndpointDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag);
        GenericDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag);
        HidClassDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag);
        HubClassDescUsb2Outputer(&out, nullptr, bytes, count).Output(mode, "T", "V", flag);
        HubClassDescUsb3Outputer(&out, nullptr, bytes, count).Output(mode, "T", "V", flag);
        for (bool grouped : {false, true})
            FullConfigDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", flag, grouped);
    }
    DevQualifierDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V");
    for (UCHAR index : {0, 1, 0xEE})
        StringDescOutputer(&out, nullptr, bytes, index, count).Output(mode, "T", "V");
    BosDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed);
    DevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed);
    Usb2DevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed);
    SuperSpeedDevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed);
    ContainerDevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed);
    FullBosDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V");
}

} // namespace tdl::test
