// What the URB decoders' mark-up form looks like from outside, for suites over built and captured records:
// the element each function code opens, and whether every element opened was closed.
#pragma once

#include <string>

#include "ntdef.h"

// The mark-up element each function code opens: every code reaches its own decoder.
inline std::string UrbElementOf(USHORT code) {
    switch (code) {
    case 0: return "URB-SelectConfiguration";
    case 1: return "URB-SelectInterface";
    case 2: case 30: case 48: case 49: return "URB-PipeRequest";
    case 5: return "URB-GetFrameLength";
    case 6: return "URB-SetFrameLength";
    case 7: return "URB-GetFrameNumber";
    case 8: return "URB-ControlTransfer";
    case 9: return "URB-BulkInterruptTransfer";
    case 10: return "URB-IsochronousTransfer";
    case 11: case 12: case 36: case 37: case 40: case 41: return "URB-Descriptor";
    case 13: case 14: case 15: case 16: case 17: case 18: case 34: case 35: return "URB-ControlFeature";
    case 19: case 20: case 21: case 33: return "URB-ControlGetStatus";
    case 23: return "URB-ControlVendorDevice";
    case 24: return "URB-ControlVendorInterface";
    case 25: return "URB-ControlVendorEndpoint";
    case 32: return "URB-ControlVendorOther";
    case 26: return "URB-ControlClassDevice";
    case 27: return "URB-ControlClassInterface";
    case 28: return "URB-ControlClassEndpoint";
    case 31: return "URB-ControlClassOther";
    case 38: return "URB-ControlGetConfigValue";
    case 39: return "URB-ControlGetAlternateSetting";
    case 42: return "URB-MsFeatureDescriptor";
    case 50: return "URB-ControlTransferEx";
    case 51: case 52: return "URB-PipeIoPolicy";
    case 0x1000: return "URB-OpenEndpoint";
    case 0x1001: return "URB-CloseEndpoint";
    case 0x1002: return "URB-GetEndpointState";
    default: return "URB-Header";
    }
}

// Every element a mark-up decode opens, it closes.
inline bool MarkupBalanced(const std::string& calls) {
    int open = 0;
    size_t at = 0;
    while (at < calls.size()) {
        const size_t end = calls.find('\n', at);
        const std::string line = calls.substr(at, end - at);
        // A record's element is added, then entered.
        if (line.rfind("BeginElement", 0) == 0 || line.rfind("BeginSection", 0) == 0 || line == "EnterRecord")
            ++open;
        else if (line.rfind("EndElement", 0) == 0 && --open < 0)
            return false;
        at = end == std::string::npos ? calls.size() : end + 1;
    }
    return open == 0;
}
