// Every USB descriptor decoder and both set walkers over the same bytes, for the tests that feed them short
// or arbitrary input (the shorter-count sweep, the golden corpus) and must see no read past the count; and
// one of them at a time, for the fuzz target that lets its input pick.
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

// The decoder runs RunDescriptorDecoder knows: each decoder that takes a flag with the flag clear, then each
// with it set, then the decoders that take none.
inline constexpr int kDescriptorDecoderRuns = 32;

// One decoder run over the bytes; `run` is taken modulo kDescriptorDecoderRuns.
inline void RunDescriptorDecoder(OutputerImp& out, int mode, int run, const BYTE* bytes, ULONG count) {
    ULONG consumed = 0;
    UCHAR klass = 0;
    constexpr int kFlagged = 11;
    run %= kDescriptorDecoderRuns;
    if (run < 2 * kFlagged) {
        const bool flag = run >= kFlagged;
        switch (run % kFlagged) {
        case 0: {
            CStringArray classTexts;
            CStringArray strings;
            for (const char* text : {"00", "Composite", "HumanInterface"})
                classTexts.Add(text);
            for (const char* text : {"", "Maker", "Thing", "0001"})
                strings.Add(text);
            DeviceDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", classTexts, strings, flag);
            return;
        }
        case 1: ConfigDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag); return;
        case 2:
            InterfaceDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, klass, flag);
            return;
        case 3:
            InterfaceAssocDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, klass, flag);
            return;
        case 4: EndpointDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag); return;
        case 5:
            CompanionEndpointDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag);
            return;
        case 6: GenericDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag); return;
        case 7: HidClassDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed, flag); return;
        case 8: HubClassDescUsb2Outputer(&out, nullptr, bytes, count).Output(mode, "T", "V", flag); return;
        case 9: HubClassDescUsb3Outputer(&out, nullptr, bytes, count).Output(mode, "T", "V", flag); return;
        default:
            for (bool grouped : {false, true})
                FullConfigDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", flag, grouped);
            return;
        }
    }
    switch (run - 2 * kFlagged) {
    case 0: DevQualifierDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V"); return;
    case 1: StringDescOutputer(&out, nullptr, bytes, 0, count).Output(mode, "T", "V"); return;
    case 2: StringDescOutputer(&out, nullptr, bytes, 1, count).Output(mode, "T", "V"); return;
    case 3: StringDescOutputer(&out, nullptr, bytes, 0xEE, count).Output(mode, "T", "V"); return;
    case 4: BosDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed); return;
    case 5: DevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed); return;
    case 6: Usb2DevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed); return;
    case 7: SuperSpeedDevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed); return;
    case 8: ContainerDevCapDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V", consumed); return;
    default: FullBosDescOutputer(&out, nullptr, bytes, count).Output(mode, "T", "V"); return;
    }
}

inline void RunEveryDescriptorDecoder(OutputerImp& out, int mode, const BYTE* bytes, ULONG count) {
    for (int run = 0; run < kDescriptorDecoderRuns; ++run)
        RunDescriptorDecoder(out, mode, run, bytes, count);
}

} // namespace tdl::test
