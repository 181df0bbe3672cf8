// The name tables of CStringContent and the URB function names: listed codes, gaps, fallbacks, and whether an
// operation assigns or appends.
#include "app/decoders/framework/StringContent.h"
#include "app/decoders/urb/UrbFunctions.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(StringContent, NtStatusNamesAndHexFallback) {
    const struct {
        ULONG status;
        const char* text;
    } rows[] = {
        {0x00000000, "SUCCESS"},
        {0x00000103, "PENDING"},
        {0xC0000001, "UNSUCCESSFUL"},
        {0xC0000002, "NOT_IMPLEMENTED"},
        {0xC000000D, "INVALID_PARAMETER"},
        {0xC000000E, "NO_SUCH_DEVICE"},
        {0xC0000010, "INVALID_DEVICE_REQUEST"},
        {0xC0000023, "BUFFER_TOO_SMALL"},
        {0xC0000056, "DELETE_PENDING"},
        {0xC000009C, "DEVICE_DATA_ERROR"},
        {0xC000009D, "DEVICE_NOT_CONNECTED"},
        {0xC00000BB, "NOT_SUPPORTED"},
        {0xC0000120, "CANCELLED"},
        {0xC00002B6, "DEVICE_REMOVED"},
        // Unlisted: eight lower-case digits, with leading zeros.
        {0x00000005, "0x00000005"},
        {0xC0000022, "0xc0000022"},
        {0x80000005, "0x80000005"},
        {0xFFFFFFFF, "0xffffffff"},
    };
    const CStringContent names;
    for (const auto& r : rows) {
        CString text = "left over";
        names.NtStatusName(text, r.status);
        EXPECT_STREQ(r.text, text) << std::hex << r.status;
    }
    EXPECT_EQ(nullptr, CStringContent::NtStatusText(0xC0000022));
}

TEST(StringContent, StandardRequestNamesAreAssigned) {
    const struct {
        UCHAR request;
        const char* text;
    } rows[] = {
        {0, "Get_Status"},        {1, "Clear_Feature"},     {2, "Reserved(2)"},    {3, "Set_Feature"},
        {4, "Reserved(4)"},       {5, "Set_Address"},       {6, "Get_Descriptor"}, {7, "Set_Descriptor"},
        {8, "Get_Configuration"}, {9, "Set_Configuration"}, {10, "Get_Interface"}, {11, "Set_Interface"},
        {12, "Synch_Frame"},      {13, "Unknown"},          {47, "Unknown"},       {48, "Set_SEL"},
        {49, "Set_Isoch_Delay"},  {50, "Unknown"},          {255, "Unknown"},
    };
    const CStringContent names;
    for (const auto& r : rows) {
        CString text = "prefix ";
        names.StandardRequestName(r.request, text);
        EXPECT_STREQ(r.text, text) << int(r.request);
    }
}

TEST(StringContent, ClassRequestNamesAreAppended) {
    using Append = void (CStringContent::*)(UCHAR, CString&) const;
    const struct {
        Append op;
        UCHAR request;
        const char* name;
    } rows[] = {
        {&CStringContent::HubRequestName, 0, "GetHubStatus"},
        {&CStringContent::HubRequestName, 1, "ClearHubFeature"},
        {&CStringContent::HubRequestName, 2, "Unknown"},
        {&CStringContent::HubRequestName, 3, "SetHubFeature"},
        {&CStringContent::HubRequestName, 6, "GetHubDescriptor"},
        {&CStringContent::HubRequestName, 7, "SetHubDescriptor"},
        {&CStringContent::HubRequestName, 12, "SetHubDepth"},
        {&CStringContent::HubRequestName, 13, "Unknown"},
        {&CStringContent::PortRequestName, 0, "GetPortStatus"},
        {&CStringContent::PortRequestName, 1, "ClearPortFeature"},
        {&CStringContent::PortRequestName, 2, "GetBusState"},
        {&CStringContent::PortRequestName, 3, "SetPortFeature"},
        {&CStringContent::PortRequestName, 4, "Unknown"},
        {&CStringContent::PortRequestName, 8, "ClearTTBuffer"},
        {&CStringContent::PortRequestName, 9, "ResetTT"},
        {&CStringContent::PortRequestName, 10, "GetTTState"},
        {&CStringContent::PortRequestName, 11, "StopTT"},
        {&CStringContent::PortRequestName, 12, "Unknown"},
        {&CStringContent::PortRequestName, 13, "GetPortErrCount"},
        {&CStringContent::HidRequestName, 0, "Unknown"},
        {&CStringContent::HidRequestName, 1, "Get_Report"},
        {&CStringContent::HidRequestName, 2, "Get_Idle"},
        {&CStringContent::HidRequestName, 3, "Get_Protocol"},
        {&CStringContent::HidRequestName, 9, "Set_Report"},
        {&CStringContent::HidRequestName, 10, "Set_Idle"},
        {&CStringContent::HidRequestName, 11, "Set_Protocol"},
        {&CStringContent::HidRequestName, 12, "Unknown"},
        {&CStringContent::PrinterRequestName, 0, "Get_Device_ID"},
        {&CStringContent::PrinterRequestName, 1, "Get_Port_Status"},
        {&CStringContent::PrinterRequestName, 2, "Soft_Reset"},
        {&CStringContent::PrinterRequestName, 3, "Unknown"},
        {&CStringContent::MscBotRequestName, 0, "Unknown"},
        {&CStringContent::MscBotRequestName, 0xFD, "Unknown"},
        {&CStringContent::MscBotRequestName, 0xFE, "Get_Max_LUN"},
        {&CStringContent::MscBotRequestName, 0xFF, "MSC_BOT_Reset"},
    };
    const CStringContent names;
    for (const auto& r : rows) {
        CString text = "Request: ";
        (names.*r.op)(r.request, text);
        EXPECT_EQ(std::string("Request: ") + r.name, text.GetString()) << int(r.request);
    }
}

TEST(StringContent, UrbFunctionNamesCoverBothRangesAndNothingElse) {
    const struct {
        USHORT code;
        const char* name;
    } rows[] = {
        {0, "SELECT_CONFIGURATION"},
        {8, "CONTROL_TRANSFER"},
        {9, "BULK_OR_INTERRUPT_TRANSFER"},
        {10, "ISOCH_TRANSFER"},
        {22, "RESERVED_0X0016"},
        {29, "RESERVED_0X001D"},
        {31, "CLASS_OTHER"},
        {42, "GET_MS_FEATURE_DESCRIPTOR"},
        {43, "RESERVED_0X002B"},
        {47, "RESERVED_0X002F"},
        {48, "SYNC_RESET_PIPE"},
        {50, "CONTROL_TRANSFER_EX"},
        {52, "GET_PIPE_IO_POLICY"},
        {53, "UNKNOWN"},
        {0x0FFF, "UNKNOWN"},
        {0x1000, "OPEN_ENDPOINT"},
        {0x1001, "CLOSE_ENDPOINT"},
        {0x1002, "GET_ENDPOINT_STATE"},
        {0x1003, "UNKNOWN"},
        {0xFFFF, "UNKNOWN"},
    };
    for (const auto& r : rows)
        EXPECT_STREQ(r.name, UrbFunctionName(r.code)) << r.code;
    // Every listed code has a name of its own.
    for (USHORT code = 0; code <= 52; ++code)
        for (USHORT other = 0; other < code; ++other)
            EXPECT_STRNE(UrbFunctionName(code), UrbFunctionName(other)) << code << " " << other;
}

} // namespace
