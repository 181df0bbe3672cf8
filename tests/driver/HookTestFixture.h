// Fixtures of the hooking, descriptor-cache, handle-table and stack-information tests: drivers with dispatch
// and unload routines of their own ("routine drivers") whose calls the tests can see, devices of them that
// a test creates and deletes itself, and readers of the DRVOBJ_NODES list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/NodeEntries.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "ntddk.h"
#include "tests/driver/StackTreeFixture.h"
#include "usb.h"

namespace drivertest {

// What the routine drivers saw.
struct RoutineCall {
    PDEVICE_OBJECT device;
    UCHAR major;
    ULONG code;    // IoControlCode of device-control requests
    bool ownMark;  // the IRP carried the capture driver's own mark
    bool internal; // IRP_MJ_INTERNAL_DEVICE_CONTROL
};

struct RoutineLog {
    std::vector<RoutineCall> calls;
    std::vector<PDRIVER_OBJECT> unloads;  // drivers whose own unload routine ran
    bool pendNext = false;                // the next request returns STATUS_PENDING (completed before return)
    NTSTATUS answer = STATUS_SUCCESS;     // the status of the next answered request
    std::vector<uint8_t> connectionBlock; // answer to IOCTL_USB_GET_NODE_CONNECTION_INFORMATION (35 bytes)
};
RoutineLog& Routines();

// The routine every MajorFunction entry of a routine driver points at.
NTSTATUS RoutineDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp);

// A SELECT_CONFIGURATION or SELECT_INTERFACE request as the USB stack completes it: the URB head, the
// configuration descriptor pointer and handle, then interface information records back to back. The bytes
// are exactly Hdr.Length long, so a read past the request shows.
struct PipeSpec {
    UCHAR endpoint;
    ULONG_PTR handle;
    USHORT maxPacket = 64;
};
struct InterfaceSpec {
    UCHAR number;
    UCHAR alternate;
    ULONG_PTR handle;
    std::vector<PipeSpec> pipes;
};
class SelectRequest {
public:
    static SelectRequest Configuration(PUSB_CONFIGURATION_DESCRIPTOR descriptor, ULONG_PTR configurationHandle,
                                       const std::vector<InterfaceSpec>& interfaces);
    static SelectRequest Interface(ULONG_PTR configurationHandle, const InterfaceSpec& interface);

    const struct _URB_SELECT_CONFIGURATION* AsConfiguration() const;
    const struct _URB_SELECT_INTERFACE* AsInterface() const;
    // The record bytes after the URB's fixed part, for tests that damage them; and the URB's length.
    uint8_t* Records();
    void SetUrbLength(USHORT length);

private:
    size_t m_recordsOffset = 0;
    std::vector<uint64_t> m_storage; // 8-byte aligned
    size_t m_size = 0;
    // The request, exactly m_size bytes, in pool as a client's URB is (so what lies past it is no one's).
    struct PoolFree {
        void operator()(uint8_t* bytes) const;
    };
    std::unique_ptr<uint8_t, PoolFree> m_exact;
    void Seal();
};

// A configuration descriptor of `total` bytes (the head, then filler) in memory the kernel treats as valid.
class ConfigurationBytes {
public:
    explicit ConfigurationBytes(USHORT total, UCHAR fill = 0x5A);
    ~ConfigurationBytes();
    ConfigurationBytes(const ConfigurationBytes&) = delete;
    ConfigurationBytes& operator=(const ConfigurationBytes&) = delete;
    PUSB_CONFIGURATION_DESCRIPTOR Descriptor() {
        return reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(m_bytes.data());
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// One DRIVER_NODE of a DRVOBJ_NODES list and the DEVICE_NODEs after it.
struct ListedDriver {
    DRIVER_NODE driver{};
    std::vector<DEVICE_NODE> devices;
};
struct DriverNodeList {
    std::vector<ListedDriver> drivers;
    bool wellFormed = false; // right kinds and lengths, ended by the end entry
    size_t bytes = 0;
};
DriverNodeList ParseDriverNodes(const std::vector<uint8_t>& bytes);

class HookTest : public StackTreeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A driver named "\Driver\<service>" whose 28 entries are RoutineDispatch and which has an unload routine
    // (or none).
    PDRIVER_OBJECT LoadRoutineDriver(const std::u16string& service, bool withUnload = true);
    // A device of a loaded routine driver with `signature` at extension offset 0 (0: none); the test may
    // delete it earlier with DeleteDevice.
    PDEVICE_OBJECT CreateDevice(const std::u16string& service, ULONG signature = 0);
    void DeleteDevice(PDEVICE_OBJECT device);
    // Deletes the driver's remaining devices and unloads it (through HookedDriverUnload when it is hooked).
    void UnloadRoutineDriver(const std::u16string& service);

    // A root hub stack of routine drivers: "usbehci" physical device object ("RPDO") under a "usbhub"
    // functional device object ("HUB "); every device object of it is selected for hooking.
    BuiltStack RoutineRootHub();

    // A device-control request to `device`, sent as a client would; returns the final status.
    NTSTATUS SendIoctl(PDEVICE_OBJECT device, ULONG code, void* buffer, ULONG length, bool internal = false);

    DriverNodeList FetchDriverNodes();

    // The StackID of the stack whose physical device object is `pdo`, from DEVSTK_NODES (0 when unlisted).
    USHORT StackIdOf(PDEVICE_OBJECT pdo);
    // The stack of `pdo`, referenced until the test ends.
    PDEVICE_STACK StackOf(PDEVICE_OBJECT pdo);

private:
    std::vector<PDEVICE_OBJECT> m_devices;
    std::vector<std::u16string> m_drivers;
    std::vector<PDEVICE_STACK> m_stackRefs;
};

} // namespace drivertest
