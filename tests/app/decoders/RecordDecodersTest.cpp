// The record decoders as the Log Details pane runs them: the log entry, the IRP base's target and IRP
// fields over initiated, returned and completed records, the function-call status, and the device-control,
// PnP and power kinds.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "RecordDecoderCases.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

using decoder_test::Request;
using decoder_test::Words;
using tdl::test::LogDetailsPane;

std::string LogEntry(LogDetailsPane& pane) {
    return pane.Shown("Log Entry");
}

TEST(RecordDecodersTest, LogEntryShowsNumberStateAndTrimmedType) {
    struct Case {
        ULONG sequence;
        const char* number;
    } cases[] = {{0, "0"}, {4294967295u, "4294967295"}};
    for (const Case& c : cases) {
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, tdl::test::RecordBuilder(LogTag::pnpR).Sequence(c.sequence).Build()));
        EXPECT_EQ(std::string("Type = PNP* \"One of URB, USBINT, IHUB, MPORT, HCD, HUB, HID, PNP, PWR\"\n"
                              "State = ret \"One of Initiated, Returned, or Completed.\"\n"
                              "Record = ") +
                      c.number + " \"The sequence number of the log record.\"\n" +
                      "Status = STATUS_SUCCESS \"Status returned by Irp dispatch routine\" {0xABCDEF}\n",
                  LogEntry(pane));
    }
}

TEST(RecordDecodersTest, IrpStatusByRecordState) {
    struct Case {
        ULONG tag;
        const char* status;   // the "Status" line, or "" when hidden
        const char* ioStatus; // the "IoStatus.Status" line, or "" when hidden
    } cases[] = {
        {LogTag::ctlI, "", "IoStatus.Status = STATUS_INVALID_PARAMETER\n"},
        {LogTag::ctlR, "Status = STATUS_INVALID_PARAMETER \"Status returned by Irp dispatch routine\" {0x0000FF}\n",
         ""},
        {LogTag::ctlC, "Status = STATUS_INVALID_PARAMETER \"Irp completion status\" {0x0000FF}\n",
         "IoStatus.Status = STATUS_INVALID_PARAMETER\n"},
    };
    for (const Case& c : cases) {
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, Request(c.tag, 0x222003, 0xC000000D).Build()));
        const std::string entry = LogEntry(pane);
        const size_t at = entry.find("Status = ");
        EXPECT_EQ(c.status, at == std::string::npos ? std::string() : entry.substr(at)) << FourCCChar(c.tag, 3);
        const std::string irp = pane.Shown("IRP");
        const size_t io = irp.find("IoStatus.Status");
        EXPECT_EQ(c.ioStatus, io == std::string::npos ? std::string() : irp.substr(io, irp.find('\n', io) + 1 - io));
    }
}

TEST(RecordDecodersTest, OnlyErrorSeverityIsRed) {
    struct Case {
        ULONG status;
        const char* line;
    } cases[] = {
        {0xC0000001, "Status = STATUS_UNSUCCESSFUL \"Irp completion status\" {0x0000FF}\n"},
        {0x80000005, "Status = STATUS_0x80000005 \"Irp completion status\" {0xABCDEF}\n"},
        {0x40000000, "Status = STATUS_0x40000000 \"Irp completion status\" {0xABCDEF}\n"},
        {0x00000103, "Status = STATUS_PENDING \"Irp completion status\" {0xABCDEF}\n"},
    };
    for (const Case& c : cases) {
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, Request(LogTag::pnpC, 0, c.status).Build()));
        const std::string entry = LogEntry(pane);
        EXPECT_EQ(c.line, entry.substr(entry.find("Status = ")));
    }
}

TEST(RecordDecodersTest, IrpFieldsWidenStackBytesAsSigned) {
    struct Case {
        UCHAR count, location;
        const char* countText;
        const char* locationText;
    } cases[] = {{3, 2, "0x03", "0x02"}, {0x80, 0xFF, "0xffffff80", "0xffffffff"}, {0x7F, 0, "0x7f", "0x00"}};
    for (const Case& c : cases) {
        auto builder = Request(LogTag::powC, 1, 0);
        builder.Header().StackCount = c.count;
        builder.Header().CurrentLocation = c.location;
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, builder.Build()));
        EXPECT_EQ(std::string("Irp Address = 0xffffa80056780000\n"
                              "IoStatus.Status = STATUS_SUCCESS\n"
                              "Irp Stack Pointer = 0xffffa80056780100\n"
                              "Stack Count = ") +
                      c.countText + "\nCurrent Stack Location = " + c.locationText +
                      "\nMajor Function = IRP_MJ_POWER (0x16)\nMinor Function = 0x01\n",
                  pane.Shown("IRP"));
    }
}

TEST(RecordDecodersTest, TargetWithoutDocumentShowsTheAddressAndUnknownNames) {
    LogDetailsPane pane;
    ASSERT_TRUE(pane.ShowRecord(nullptr, Request(LogTag::pnpI, 0).Build()));
    EXPECT_EQ("DeviceObject = ???\n"
              "NtDeviceObject = 0xffffa80012340000\n"
              "DriverObject = ???\n"
              "NtDriverObject = ???\n",
              pane.Shown("Target"));
}

TEST(RecordDecodersTest, TargetFillsEachAddressBeforeItsName) {
    tdl::test::RecordingOutputImp out;
    const std::vector<uint8_t> record = Request(LogTag::ctlC, 0x222003).Build();
    std::unique_ptr<LogOutputer>(LogOutputer::Create(&out, nullptr, reinterpret_cast<const _LOGHDR*>(record.data())))
        ->OutputTarget();
    EXPECT_EQ("ShowCategory|Target\n"
              "SetItemValueById|5001|0xffffa80012340000\n"
              "SetItemValueById|5000|???\n"
              "SetItemValueById|5003|???\n"
              "SetItemValueById|5002|???\n",
              out.Text());
}

// The status row of a completed hub-interface call reads the returned value as the type the call returns:
// an NTSTATUS by name (red for an error), HubIsRoot's BOOLEAN and SetDeviceHandleIdleReadyState's ULONG as
// themselves, in the ordinary colour.
TEST(RecordDecodersTest, FunctionCallStatusOnlyOnCompletedHubInterfaceCalls) {
    struct Case {
        ULONG tag;
        ULONG function;
        ULONG status;
        const char* shown;
    } cases[] = {
        {LogTag::buhC, 11, 0xC00002B6, "Status = STATUS_DEVICE_REMOVED \"Function call return status\" {0x0000FF}\n"},
        {LogTag::buhI, 11, 0xC00002B6, ""},
        {LogTag::khpI, 11, 0xC00002B6, ""},
        {LogTag::khpC, 11, 0xC00002B6, ""},
        {LogTag::buhC, 18, 1, "Status = TRUE \"Function call return status\" {0xABCDEF}\n"},
        {LogTag::buhC, 18, 0, "Status = FALSE \"Function call return status\" {0xABCDEF}\n"},
        {LogTag::buhI, 18, 0, ""},
        {LogTag::buhC, 30, 0xC0000001, "Status = 0xc0000001 \"Function call return status\" {0xABCDEF}\n"},
    };
    for (const Case& c : cases) {
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, Request(c.tag, c.function, c.status).Build()));
        const std::string entry = LogEntry(pane);
        const size_t at = entry.find("Status = ");
        EXPECT_EQ(c.shown, at == std::string::npos ? std::string() : entry.substr(at))
            << FourCCChar(c.tag, 0) << " " << c.function;
        // Function calls have no IRP.
        EXPECT_EQ("", pane.Shown("IRP"));
    }
}

TEST(RecordDecodersTest, DeviceControlKindsShowTheWholeIoctlCode) {
    struct Case {
        ULONG tag;
        ULONG code;
        const char* major;
        const char* code_text;
    } cases[] = {
        {LogTag::ctlC, 0x222003, "IRP_MJ_DEVICE_CONTROL (0x0e)", "0x222003"},
        {LogTag::ctlI, 0x2000, "IRP_MJ_DEVICE_CONTROL (0x0e)", "0x2000"},
        {LogTag::intR, 0x220003, "IRP_MJ_INTERNAL_DEVICE_CONTROL (0x0f)", "0x220003"},
        {LogTag::intC, 0xFFFFFFFF, "IRP_MJ_INTERNAL_DEVICE_CONTROL (0x0f)", "0xFFFFFFFF"},
    };
    for (const Case& c : cases) {
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, Request(c.tag, c.code).Build()));
        const std::string irp = pane.Shown("IRP");
        EXPECT_NE(std::string::npos, irp.find(std::string("Major Function = ") + c.major + "\n")) << irp;
        EXPECT_NE(std::string::npos, irp.find(std::string("IoControlCode = ") + c.code_text + "\n")) << irp;
        EXPECT_EQ(std::string::npos, irp.find("Minor Function")) << irp;
        // No kind category for these.
        for (const char* category : {"PNP", "PWR", "URB"})
            EXPECT_EQ("", pane.Shown(category));
    }
}

TEST(RecordDecodersTest, PnpMinorFunctionsByNumberAndName) {
    struct Case {
        ULONG minor;
        const char* number;
        const char* name;
    } cases[] = {
        {0, "0x00", "IRP_MN_START_DEVICE"},
        {2, "0x02", "IRP_MN_REMOVE_DEVICE"},
        {7, "0x07", "IRP_MN_PNP_07"},
        {0x14, "0x14", "IRP_MN_PNP_14"},
    };
    for (const Case& c : cases) {
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, Request(LogTag::pnpI, c.minor).Build()));
        const std::string irp = pane.Shown("IRP");
        EXPECT_NE(std::string::npos, irp.find("Major Function = IRP_MJ_PNP (0x1b)\n")) << irp;
        EXPECT_NE(std::string::npos, irp.find(std::string("Minor Function = ") + c.number + "\n")) << irp;
        EXPECT_EQ(std::string::npos, irp.find("IoControlCode")) << irp;
        EXPECT_EQ(std::string("PnP Request = ") + c.name + "\n", pane.Shown("PNP"));
    }
}

TEST(RecordDecodersTest, TwoPnpRecordsInARowLeaveOneRequestItem) {
    LogDetailsPane pane;
    ASSERT_TRUE(pane.ShowRecord(nullptr, Request(LogTag::pnpI, 0).Build()));
    ASSERT_TRUE(pane.ShowRecord(nullptr, Request(LogTag::pnpC, 2).Build()));
    EXPECT_EQ("PnP Request = IRP_MN_REMOVE_DEVICE\n", pane.Shown("PNP"));
}

TEST(RecordDecodersTest, PowerRequestsAndTheirParameters) {
    struct Case {
        const char* what;
        ULONG tag;
        ULONG minor;
        std::vector<uint8_t> payload;
        const char* shown;
    } cases[] = {
        {"set power, device D3, no action", LogTag::powI, 2, Words({1, 4, 0}),
         "Power Request = IRP_MN_SET_POWER\n"
         "Set Power Parameters =\n"
         "  PowerType = Device\n"
         "  PowerState = 0x4 (Device Sleeping (D3))\n"
         "  PowerAction = 0x0 (None)\n"},
        {"query power, system S4", LogTag::powI, 3, Words({0, 5, 3}),
         "Power Request = IRP_MN_QUERY_POWER\n"
         "Query Power Parameters =\n"
         "  PowerType = System\n"
         "  PowerState = 0x5 (System Hibernate (S4))\n"
         "  PowerAction = 0x3 (Hibernate)\n"},
        {"states and actions past the tables", LogTag::powI, 2, Words({7, 5, 8}),
         "Power Request = IRP_MN_SET_POWER\n"
         "Set Power Parameters =\n"
         "  PowerType = Device\n"
         "  PowerState = 0x5 (Device State (D5))\n"
         "  PowerAction = 0x8 (Unknown)\n"},
        {"system state past the table", LogTag::powI, 3, Words({0, 7, 7}),
         "Power Request = IRP_MN_QUERY_POWER\n"
         "Query Power Parameters =\n"
         "  PowerType = System\n"
         "  PowerState = 0x7 (System State (S7))\n"
         "  PowerAction = 0x7 (WarmEject)\n"},
        {"wait wake", LogTag::powI, 0, Words({4}),
         "Power Request = IRP_MN_WAIT_WAKE\n"
         "Wait Wake Power State =\n"
         "  SystemWake = 0x4 (System Sleeping (S3))\n"},
        {"completed power sequence", LogTag::powC, 1, Words({1, 0x20, 0x300}),
         "Power Request = IRP_MN_POWER_SEQUENCE\n"
         "Power Sequence Parameters =\n"
         "  SequenceD1 = 0x00000001\n"
         "  SequenceD2 = 0x00000020\n"
         "  SequenceD3 = 0x00000300\n"},
        {"initiated power sequence", LogTag::powI, 1, Words({1, 2, 3}), "Power Request = IRP_MN_POWER_SEQUENCE\n"},
        {"returned set power", LogTag::powR, 2, Words({1, 4, 0}), "Power Request = IRP_MN_SET_POWER\n"},
        {"returned wait wake", LogTag::powR, 0, Words({4}), "Power Request = IRP_MN_WAIT_WAKE\n"},
        {"completed set power", LogTag::powC, 2, Words({1, 4, 0}), "Power Request = IRP_MN_SET_POWER\n"},
        {"completed wait wake", LogTag::powC, 0, Words({4}), "Power Request = IRP_MN_WAIT_WAKE\n"},
        {"other minor function", LogTag::powI, 0x2A, Words({1, 2, 3}), "Power Request = IRP_MN_POWER_2A\n"},
    };
    for (const Case& c : cases) {
        LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, Request(c.tag, c.minor).Part1(c.payload).Build()));
        EXPECT_EQ(c.shown, pane.Shown("PWR")) << c.what;
    }
}

} // namespace
