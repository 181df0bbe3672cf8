// The target of an IRP record as the capture document knows it: the device object that had the record's
// address at the record's time, and its driver, in the grid and in mark-up.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "RecordDecoderCases.h"
#include "app/core/document/USBLog.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/app/devices/MarkupRecords.h"
#include "tests/support/LogDetailsPane.h"

namespace {

using decoder_test::Request;

constexpr ULONG64 kAddress = 0xFFFFA80012340000; // the address Request() targets

class RecordTargetTest : public ::testing::Test {
protected:
    RecordTargetTest() {
        m_driver.m_NtDriverObject = 0xFFFFA80077770000;
        m_driver.m_DriverName = "\\Driver\\usbhub";
    }

    // A device object of the document that lived at `address` from `start` to `end` (0: still there).
    CDeviceObject* AddObject(ULONG64 address, const char* name, LONGLONG start, LONGLONG end) {
        DEVICE_NODE node{};
        std::strncpy(node.DeviceName, name, sizeof node.DeviceName - 1);
        node.DeviceObject = address;
        node.StartTime = static_cast<ULONG64>(start);
        node.RemovalTime = static_cast<ULONG64>(end);
        CDeviceObject* object = nullptr;
        EXPECT_TRUE(m_document.GetAttachedDevices()->AddDeviceObject(node, object));
        return object;
    }

    std::string TargetAt(LONGLONG time) {
        tdl::test::LogDetailsPane pane;
        auto record = Request(LogTag::pnpC, 0);
        record.TimeStamp(time);
        EXPECT_TRUE(pane.ShowRecord(&m_document, record.Build()));
        return pane.Shown("Target");
    }

    std::string MarkupAt(LONGLONG time) {
        CXmlOutput writer;
        EXPECT_TRUE(writer.BeginDocument("Records"));
        XmlOutputImp xml(&writer);
        auto builder = Request(LogTag::pnpC, 0);
        builder.TimeStamp(time);
        const std::vector<uint8_t> record = builder.Build();
        std::unique_ptr<LogOutputer>(
            LogOutputer::Create(&xml, &m_document, reinterpret_cast<const _LOGHDR*>(record.data())))
            ->OutputRequestObjects();
        EXPECT_TRUE(markup_test::SameRecordsAsParsed(writer.GetMarkup()));
        return markup_test::Text(writer.GetMarkup());
    }

    // Outlives the document, whose device objects leave its list as they go.
    CDriverObject m_driver;
    CUSBLog m_document;
};

TEST_F(RecordTargetTest, ObjectsSharingAnAddressAreToldApartByTime) {
    m_driver.AddDeviceObject(AddObject(kAddress, "\\Device\\USBPDO-3", 100, 200));
    AddObject(kAddress, "\\Device\\USBPDO-7", 300, 0);
    struct Case {
        LONGLONG time;
        const char* shown;
    } cases[] = {
        {150, "DeviceObject = \\Device\\USBPDO-3\nNtDeviceObject = 0xffffa80012340000\n"
              "DriverObject = \\Driver\\usbhub\nNtDriverObject = 0xffffa80077770000\n"},
        {200, "DeviceObject = \\Device\\USBPDO-3\nNtDeviceObject = 0xffffa80012340000\n"
              "DriverObject = \\Driver\\usbhub\nNtDriverObject = 0xffffa80077770000\n"},
        // The second object has no driver: its driver's texts are unknown, its own name is not.
        {300, "DeviceObject = \\Device\\USBPDO-7\nNtDeviceObject = 0xffffa80012340000\n"
              "DriverObject = ???\nNtDriverObject = ???\n"},
        // Between the two, and before the first: no object had the address.
        {250, "DeviceObject = ???\nNtDeviceObject = 0xffffa80012340000\nDriverObject = ???\nNtDriverObject = ???\n"},
        {99, "DeviceObject = ???\nNtDeviceObject = 0xffffa80012340000\nDriverObject = ???\nNtDriverObject = ???\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown, TargetAt(c.time)) << c.time;
}

TEST_F(RecordTargetTest, MarkupNamesTheDriverOnlyWhenThereIsOne) {
    m_driver.AddDeviceObject(AddObject(kAddress, "\\Device\\USBPDO-3", 100, 200));
    AddObject(kAddress, "\\Device\\USBPDO-7", 300, 0);
    const std::string common = "<DataSize>00000000</DataSize>\r\n<StackID>0102</StackID>\r\n";
    const std::string tail = "<IrpAddr>ffffa80056780000</IrpAddr>\r\n"
                             "<IrpStatus Name=\"STATUS_SUCCESS\">00000000</IrpStatus>\r\n";
    EXPECT_NE(std::string::npos,
              MarkupAt(150).find(common +
                                 "<DeviceObject Name=\"\\Device\\USBPDO-3\">ffffa80012340000</DeviceObject>\r\n"
                                 "<DriverObject Name=\"\\Driver\\usbhub\">ffffa80077770000</DriverObject>\r\n" +
                                 tail));
    EXPECT_NE(std::string::npos,
              MarkupAt(300).find(
                  common + "<DeviceObject Name=\"\\Device\\USBPDO-7\">ffffa80012340000</DeviceObject>\r\n" + tail));
    EXPECT_NE(std::string::npos,
              MarkupAt(250).find(common + "<DeviceObject Name=\"???\">ffffa80012340000</DeviceObject>\r\n" + tail));
}

} // namespace
