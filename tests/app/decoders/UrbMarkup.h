// What the URB decoders' mark-up form looks like from outside, for suites over built and captured records:
// the element each function code opens, and whether every element opened was closed.
#pragma once

#include <string>

#include "ntdef.h"
#include "tests/support/RecordingOutputImp.h"

// Whether every element opened was closed: one check for every decoder suite.
using tdl::test::MarkupBalanced;

// The mark-up element each function code opens: every code reaches its own decoder.
inline std::string UrbElementOf(USHORT code) {
    // One line per element: the codes that share it stand together.
    // clang-format off
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
    // clang-format on
}
