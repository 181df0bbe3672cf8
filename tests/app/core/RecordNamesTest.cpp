// The record view's names of a function word: each table at its edges and gaps, with its fallback.
#include <string>

#include <gtest/gtest.h>

#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/RecordNames.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"

namespace {

using tdl::test::BuildRecord;
using Name = void (CLogRecordDecode::*)(CString&) const;

struct Row {
    Name op;
    ULONG function;
    const char* text;
};

void ExpectNames(ULONG tag, std::initializer_list<Row> rows) {
    for (const Row& r : rows) {
        const auto bytes = BuildRecord(tag, r.function, 0);
        const CLogRecordDecode view(bytes.data(), bytes.size());
        CString text = "left over";
        (view.*r.op)(text);
        EXPECT_STREQ(r.text, text) << std::hex << r.function;
    }
}

TEST(RecordNames, PnpAndPowerMinorsFallBackToTheirNumber) {
    ExpectNames(LogTag::pnpI, {
                                  {&CLogRecordDecode::GetPnpMinorName, 0, "START_DEVICE"},
                                  {&CLogRecordDecode::GetPnpMinorName, 1, "PNP_01"},
                                  {&CLogRecordDecode::GetPnpMinorName, 2, "REMOVE_DEVICE"},
                                  {&CLogRecordDecode::GetPnpMinorName, 0x18, "PNP_18"},
                                  {&CLogRecordDecode::GetPnpMinorName, 0x1FF, "PNP_1FF"},
                              });
    ExpectNames(LogTag::powI, {
                                  {&CLogRecordDecode::GetPowerMinorName, 0, "WAIT_WAKE"},
                                  {&CLogRecordDecode::GetPowerMinorName, 1, "POWER_SEQUENCE"},
                                  {&CLogRecordDecode::GetPowerMinorName, 2, "SET_POWER"},
                                  {&CLogRecordDecode::GetPowerMinorName, 3, "QUERY_POWER"},
                                  {&CLogRecordDecode::GetPowerMinorName, 4, "POWER_04"},
                                  {&CLogRecordDecode::GetPowerMinorName, 0xAB, "POWER_AB"},
                              });
}

TEST(RecordNames, IoctlTablesNameTheirOwnFamilyAndEmptyTheRest) {
    // 0x220408 and 0x220420 are in more than one family: each table answers with its own name.
    ExpectNames(LogTag::uinI, {
                                  {&CLogRecordDecode::InternalIoctlName, 0x220007, "RESET_PORT"},
                                  {&CLogRecordDecode::InternalIoctlName, 0x220020, "GET_HUB_NAME"},
                                  {&CLogRecordDecode::InternalIoctlName, 0x220420, "GET_BUS_INFO"},
                                  {&CLogRecordDecode::InternalIoctlName, 0x22044F, "GET_DEVICE_CONFIG_INFO"},
                                  {&CLogRecordDecode::InternalIoctlName, 0x220003, ""},
                                  {&CLogRecordDecode::InternalIoctlName, 0x220408, ""},
                                  {&CLogRecordDecode::HcdIoctlName, 0x2203FC, "HCD_GET_STATS_1"},
                                  {&CLogRecordDecode::HcdIoctlName, 0x220408, "GET_ROOT_HUB_NAME"},
                                  {&CLogRecordDecode::HcdIoctlName, 0x220424, "GET_HCD_DRIVERKEY_NAME"},
                                  {&CLogRecordDecode::HcdIoctlName, 0x220438, "USER_REQUEST"},
                                  {&CLogRecordDecode::HcdIoctlName, 0x22042C, ""},
                                  {&CLogRecordDecode::HubIoctlName, 0x220408, "GET_NODE_INFORMATION"},
                                  {&CLogRecordDecode::HubIoctlName, 0x220420, "GET_NODE_CONNECTION_DRIVERKEY_NAME"},
                                  {&CLogRecordDecode::HubIoctlName, 0x220450, "GET_HUB_CAPABILITIES_EX"},
                                  {&CLogRecordDecode::HubIoctlName, 0x220424, ""},
                                  {&CLogRecordDecode::HidIoctlName, 0xB0190, "GET_DRIVER_CONFIG"},
                                  {&CLogRecordDecode::HidIoctlName, 0xB0197, "FLUSH_QUEUE"},
                                  {&CLogRecordDecode::HidIoctlName, 0xB020F, "DISABLE_SECURE_READ"},
                                  {&CLogRecordDecode::HidIoctlName, 0xB0196, ""},
                                  {&CLogRecordDecode::HidIoctlName, 0x220408, ""},
                              });
}

TEST(RecordNames, HookTablesAreIndexedAndEndWhereTheyEnd) {
    ExpectNames(LogTag::buhI, {
                                  {&CLogRecordDecode::HubInterfaceFunctionName, 0, "CreateUsbDevice"},
                                  {&CLogRecordDecode::HubInterfaceFunctionName, 18, "HubIsRoot"},
                                  {&CLogRecordDecode::HubInterfaceFunctionName, 35, "SetDeviceErrataFlag"},
                                  {&CLogRecordDecode::HubInterfaceFunctionName, 36, ""},
                                  {&CLogRecordDecode::HubInterfaceFunctionName, 0xFFFFFFFF, ""},
                              });
    ExpectNames(LogTag::khpI, {
                                  {&CLogRecordDecode::MiniportFunctionName, 0, "OpenEndpoint"},
                                  {&CLogRecordDecode::MiniportFunctionName, 41, "RHClearFeaturePortOvercurrentChange"},
                                  {&CLogRecordDecode::MiniportFunctionName, 63, "RebalanceEndpoint"},
                                  {&CLogRecordDecode::MiniportFunctionName, 79, "GetHcCapabilities"},
                                  {&CLogRecordDecode::MiniportFunctionName, 80, ""},
                              });
}

TEST(RecordNames, ViewWithoutRecordReadsFunctionWordZero) {
    const CLogRecordDecode view;
    CString text;
    view.GetPnpMinorName(text);
    EXPECT_STREQ("START_DEVICE", text);
    view.HubInterfaceFunctionName(text);
    EXPECT_STREQ("CreateUsbDevice", text);
    EXPECT_EQ(nullptr, RecordNames::HidIoctl(0));
}

} // namespace
