// Plug and Play requests through a hooked device: the "pnp" records, and what the device-stack tree learns
// from them (a start walks the stack again, a removal takes the stack out, bus relations bring children in,
// QUERY_ID gives the IDs), including answers that run past their memory and completions above
// PASSIVE_LEVEL.
#include <cstring>

#include "common/RecordTags.h"
#include "driver/stacktree/Classify.h"
#include "tests/driver/CaptureIoctlFixture.h"

namespace capturetest {
namespace {

class PnpCapture : public IoctlCaptureFixture {
protected:
    void EnableChangeLog() {
        const ULONG word = 0;
        ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_CLOG, &word, sizeof word, nullptr, 0).ok);
        ReadLog(IOCTL_TINDALOFT_READ_CLOG);
    }
    // The tags of the change-log records written since the last read, with the device objects they name.
    std::vector<std::pair<ULONG, ULONG64>> Changes() {
        std::vector<std::pair<ULONG, ULONG64>> changes;
        for (const ReadRecord& record : ReadLog(IOCTL_TINDALOFT_READ_CLOG)) {
            changes.emplace_back(record.tag, HeaderDeviceObject(record));
        }
        return changes;
    }

    // A pool copy of a UTF-16 text with its terminators (a multi-string when it holds NULs of its own).
    PWCHAR Text(std::u16string text) {
        text.push_back(u'\0');
        auto* copy = reinterpret_cast<PWCHAR>(Allocate(static_cast<ULONG>(text.size() * sizeof(WCHAR))));
        std::memcpy(copy, text.data(), text.size() * sizeof(WCHAR));
        return copy;
    }

    IoctlSent QueryId(BUS_QUERY_ID_TYPE type, const VOID* answer) {
        return SendMajor(
            IRP_MJ_PNP, IRP_MN_QUERY_ID, [type](PIO_STACK_LOCATION l) { l->Parameters.QueryId.IdType = type; },
            STATUS_SUCCESS, reinterpret_cast<ULONG_PTR>(answer));
    }

    IoctlSent ReportChildren(std::initializer_list<PDEVICE_OBJECT> children) {
        auto* relations = reinterpret_cast<PDEVICE_RELATIONS>(
            Allocate(static_cast<ULONG>(sizeof(DEVICE_RELATIONS) + children.size() * sizeof(PDEVICE_OBJECT))));
        auto* objects = reinterpret_cast<PDEVICE_OBJECT*>(reinterpret_cast<PUCHAR>(relations) +
                                                          offsetof(DEVICE_RELATIONS, Objects));
        for (PDEVICE_OBJECT child : children) {
            objects[relations->Count++] = child;
        }
        return SendMajor(
            IRP_MJ_PNP, IRP_MN_QUERY_DEVICE_RELATIONS,
            [](PIO_STACK_LOCATION l) { l->Parameters.QueryDeviceRelations.Type = ::BusRelations; }, STATUS_SUCCESS,
            reinterpret_cast<ULONG_PTR>(relations));
    }

    // A device object of the target's driver, outside any stack (a child it reports).
    PDEVICE_OBJECT NewDevice() {
        PDEVICE_OBJECT device = nullptr;
        EXPECT_EQ(IoCreateDevice(m_pdo->DriverObject, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
                  STATUS_SUCCESS);
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        m_devices.push_back(device);
        return device;
    }

    void TearDown() override {
        for (PDEVICE_OBJECT device : m_devices) {
            IoDeleteDevice(device);
        }
        if (m_function != nullptr) {
            IoDetachDevice(m_upper);
            IoDeleteDevice(m_function);
        }
        IoctlCaptureFixture::TearDown();
    }

    std::vector<PDEVICE_OBJECT> m_devices;
    PDEVICE_OBJECT m_function = nullptr; // attached above the stack's top
};

ULONG64 Address(const void* p) {
    return reinterpret_cast<ULONG64>(p);
}

TEST_F(PnpCapture, StartIsRecordedAndWalksTheStackAgain) {
    // An interface stack: every device object in it is to be hooked. Capture starts with automatic selection.
    TargetStack()->BottomClass = BOTTOM_CLASS_INTERFACE;
    const ULONG autoEnable = 1;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &autoEnable, sizeof autoEnable, nullptr, 0).ok);
    ReadLog();
    EnableChangeLog();
    // A function driver attached after the tree learnt the stack.
    ASSERT_EQ(IoCreateDevice(m_upper->DriverObject, sizeof(PDEVICE_OBJECT), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE,
                             &m_function),
              STATUS_SUCCESS);
    PDEVICE_OBJECT function = m_function;
    function->Flags &= ~DO_DEVICE_INITIALIZING;
    *static_cast<PDEVICE_OBJECT*>(function->DeviceExtension) = IoAttachDeviceToDeviceStack(function, m_pdo);

    const IoctlSent sent = SendMajor(IRP_MJ_PNP, IRP_MN_START_DEVICE, {});
    ASSERT_EQ(Tags(sent.records), "pnpI pnpC pnpR");
    for (const ReadRecord& record : sent.records) {
        EXPECT_EQ(record.function, 0u);
        EXPECT_EQ(record.dataSize, 0u);
    }
    // The new device object got its node ("vedA"), is marked and its driver hooked ("vrdA"), and capture is on
    // for it; the started device object is told again.
    const auto changes = Changes();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].first, LogTag::vrdA);
    EXPECT_EQ(changes[1], std::make_pair(LogTag::vedA, Address(function)));
    EXPECT_EQ(changes[2], std::make_pair(LogTag::vedA, Address(m_pdo)));
    PDEVOBJ_NODE node = FindDeviceNode(function, TRUE);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Position, 2);
    EXPECT_EQ(DeviceNodeFlags(node) & (DEVOBJ_SELECTED | DEVOBJ_HOOKED | DEVOBJ_CAPTURE_OFF),
              DEVOBJ_SELECTED | DEVOBJ_HOOKED);
    DeviceNodeRelease(node);

    // Started again, a known device object is told once more, and nothing else is.
    ASSERT_EQ(Tags(SendMajor(IRP_MJ_PNP, IRP_MN_START_DEVICE, {}).records), "pnpI pnpC pnpR");
    const auto again = Changes();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0], std::make_pair(LogTag::vedA, Address(m_pdo)));

    // A failed start teaches nothing and leaves a C record with its status.
    const IoctlSent failed = SendMajor(IRP_MJ_PNP, IRP_MN_START_DEVICE, {}, STATUS_UNSUCCESSFUL);
    ASSERT_EQ(Tags(failed.records), "pnpI pnpC pnpR");
    EXPECT_EQ(HeaderStatus(failed.records[1]), static_cast<ULONG>(STATUS_UNSUCCESSFUL));
    EXPECT_TRUE(Changes().empty());
}

TEST_F(PnpCapture, TheExcludedDeviceStaysUnmarkedWhenItStarts) {
    DeviceNodeClearFlags(TargetNode(), DEVOBJ_SELECTED);
    TargetStack()->BottomClass = BOTTOM_CLASS_HUB_PORT; // would be marked, but for its ID
    QueryId(BusQueryDeviceID, Text(u"USB\\Vid_0423&Pid_000D"));
    SendMajor(IRP_MJ_PNP, IRP_MN_START_DEVICE, {});
    EXPECT_FALSE(DeviceNodeFlags(TargetNode()) & DEVOBJ_SELECTED);
}

TEST_F(PnpCapture, RemoveIsRecordedAndTakesTheStackOutOfTheTree) {
    EnableChangeLog();
    const IoctlSent sent = SendMajor(IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE, {});
    ASSERT_EQ(Tags(sent.records), "pnpI pnpR");
    EXPECT_EQ(sent.records[0].function, ULONG{IRP_MN_REMOVE_DEVICE});
    EXPECT_EQ(sent.records[1].function, 0u);
    // Both device objects of the stack go, then the stack.
    const auto changes = Changes();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0], std::make_pair(LogTag::vedR, Address(m_pdo)));
    EXPECT_EQ(changes[1], std::make_pair(LogTag::vedR, Address(m_upper)));
    EXPECT_EQ(changes[2].first, LogTag::ktsR);
    EXPECT_TRUE(TargetStack()->Removed);
    EXPECT_EQ(DeviceNodeFlags(TargetNode()) & (DEVOBJ_REMOVED | DEVOBJ_REMOVING), DEVOBJ_REMOVED | DEVOBJ_REMOVING);
    // What the device object is sent afterwards is not recorded under it.
    EXPECT_EQ(Tags(SendMajor(IRP_MJ_PNP, IRP_MN_START_DEVICE, {}).records), "");
}

TEST_F(PnpCapture, BusRelationsBringChildrenIntoTheTree) {
    PDEVICE_OBJECT first = NewDevice();
    PDEVICE_OBJECT second = NewDevice();
    EXPECT_EQ(Tags(ReportChildren({first, second}).records), ""); // watched, never recorded
    PDEVICE_STACK stacks[2];
    for (int i = 0; i < 2; ++i) {
        PDEVOBJ_NODE node;
        ASSERT_TRUE(FindStackByPdo(i == 0 ? first : second, &stacks[i], &node));
        DeviceNodeRelease(node);
        StackRelease(stacks[i]);
        EXPECT_EQ(stacks[i]->Parent, TargetStack());
    }
    EXPECT_EQ(TargetStack()->Children.Count, 2);

    // A report that leaves one out: it is on its way out; when the parent goes, it goes with it.
    ReportChildren({first});
    EXPECT_FALSE(stacks[0]->Invalidated);
    EXPECT_TRUE(stacks[1]->Invalidated);
    SendMajor(IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE, {});
    EXPECT_TRUE(stacks[0]->Removed);
    EXPECT_TRUE(stacks[1]->Removed);
}

TEST_F(PnpCapture, BusRelationsReadOnlyWhatIsThere) {
    // A count far beyond the report's memory, and an entry that is no device object: the children that are
    // there are learnt, nothing else is read.
    PDEVICE_OBJECT child = NewDevice();
    auto* relations = reinterpret_cast<PDEVICE_RELATIONS>(Allocate(sizeof(DEVICE_RELATIONS) + sizeof(PDEVICE_OBJECT)));
    relations->Count = 1000;
    auto* objects =
        reinterpret_cast<PDEVICE_OBJECT*>(reinterpret_cast<PUCHAR>(relations) + offsetof(DEVICE_RELATIONS, Objects));
    objects[0] = reinterpret_cast<PDEVICE_OBJECT>(0x10);
    objects[1] = child;
    SendMajor(
        IRP_MJ_PNP, IRP_MN_QUERY_DEVICE_RELATIONS,
        [](PIO_STACK_LOCATION l) { l->Parameters.QueryDeviceRelations.Type = ::BusRelations; }, STATUS_SUCCESS,
        reinterpret_cast<ULONG_PTR>(relations));
    PDEVICE_STACK stack;
    PDEVOBJ_NODE node;
    ASSERT_TRUE(FindStackByPdo(child, &stack, &node));
    EXPECT_EQ(stack->Parent, TargetStack());
    DeviceNodeRelease(node);
    StackRelease(stack);
    EXPECT_EQ(TargetStack()->Children.Count, 1);
}

TEST_F(PnpCapture, QueryIdGivesTheTreeTheDeviceIdAndTheFirstCompatibleId) {
    EXPECT_EQ(Tags(QueryId(BusQueryDeviceID, Text(u"USB\\VID_7A51&PID_0001")).records), "");
    EXPECT_STREQ(TargetStack()->DeviceID, "USB\\VID_7A51&PID_0001");
    QueryId(BusQueryCompatibleIDs, Text(std::u16string(u"USB\\Class_09&SubClass_00&Prot_02\0USB\\Class_09", 45)));
    EXPECT_STREQ(TargetStack()->CompatibleID, "USB\\Class_09&SubClass_00&Prot_02");
    EXPECT_EQ(TargetStack()->DeviceClass, 9);
    EXPECT_EQ(TargetStack()->DeviceProtocol, 2);
    // Hardware IDs are the properties' business, and a failed query teaches nothing.
    QueryId(BusQueryHardwareIDs, Text(u"USB\\VID_FFFF&PID_FFFF"));
    EXPECT_STREQ(TargetStack()->DeviceID, "USB\\VID_7A51&PID_0001");
    SendMajor(
        IRP_MJ_PNP, IRP_MN_QUERY_ID, [](PIO_STACK_LOCATION l) { l->Parameters.QueryId.IdType = BusQueryDeviceID; },
        STATUS_UNSUCCESSFUL, reinterpret_cast<ULONG_PTR>(Text(u"USB\\VID_FFFF&PID_FFFF")));
    EXPECT_STREQ(TargetStack()->DeviceID, "USB\\VID_7A51&PID_0001");

    // An ID without its terminator is read up to the end of its memory and no further.
    auto* unterminated = reinterpret_cast<PWCHAR>(Allocate(3 * sizeof(WCHAR)));
    std::memcpy(unterminated, u"ABC", 3 * sizeof(WCHAR));
    QueryId(BusQueryDeviceID, unterminated);
    EXPECT_STREQ(TargetStack()->DeviceID, "ABC");
}

TEST_F(PnpCapture, ACompletionAbovePassiveLevelTeachesNothing) {
    Target().pend = true;
    const IoctlSent sent = SendMajor(IRP_MJ_PNP, IRP_MN_QUERY_ID,
                                     [](PIO_STACK_LOCATION l) { l->Parameters.QueryId.IdType = BusQueryDeviceID; });
    ASSERT_EQ(sent.status, STATUS_PENDING);
    Target().queued.front()->IoStatus.Information = reinterpret_cast<ULONG_PTR>(Text(u"USB\\VID_7A51&PID_0002"));
    KIRQL irql;
    KeRaiseIrql(DISPATCH_LEVEL, &irql);
    CompleteQueued(STATUS_SUCCESS);
    KeLowerIrql(irql);
    EXPECT_EQ(sent.sent->Wait(), STATUS_SUCCESS);
    EXPECT_EQ(TargetStack()->DeviceID, nullptr);
}

} // namespace
} // namespace capturetest
