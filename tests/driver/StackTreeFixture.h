// Fixtures of the device-stack tree tests: device stacks built by hand from bare drivers with the names and
// extension signatures the tree classifies, handed to the driver's AddDevice (or the tree's routines) without
// a Plug and Play manager; and readers of the node lists the driver answers with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/FourCC.h"
#include "common/NodeEntries.h"
#include "ntddk.h"
#include "tests/driver/DriverFixture.h"
#include "tests/driver/LogTestHelpers.h"

namespace drivertest {

// Extension bytes of every hand-built device: room for every signature and handle offset.
constexpr ULONG kExtensionSize = 2048;

// Device objects of bare drivers, created, signed, attached and deleted by a test.
class HandBuiltDevices {
public:
    ~HandBuiltDevices() { DeleteAll(); }

    // A loaded driver named `service` ("\Driver\<service>") with no routines of its own.
    PDRIVER_OBJECT Driver(const std::u16string& service);
    // A device of that driver with a zeroed extension of `extensionSize` bytes, named when `name` is given.
    PDEVICE_OBJECT Device(const std::u16string& service, const char16_t* name = nullptr,
                          ULONG extensionSize = kExtensionSize);
    // Writes a word at `offset` of the device's extension.
    static void Sign(PDEVICE_OBJECT device, ULONG offset, ULONG word);
    // Stores a pointer at `offset` of the device's extension.
    static void StorePointer(PDEVICE_OBJECT device, ULONG offset, const void* pointer);
    // Attaches `upper` above the top of `lower`'s stack.
    static void Attach(PDEVICE_OBJECT upper, PDEVICE_OBJECT lower);
    // Detaches `device` from what it is attached to (it leaves the middle of a chain: the device above it
    // is attached to the one below).
    static void LeaveChain(PDEVICE_OBJECT device);

    // Deletes every device (top of each stack first) and unloads the drivers.
    void DeleteAll();

private:
    std::vector<PDEVICE_OBJECT> m_devices;
    std::vector<std::u16string> m_drivers;
};

// A stack built by hand: its physical device object and the device objects above it, bottom up.
struct BuiltStack {
    PDEVICE_OBJECT pdo = nullptr;
    std::vector<PDEVICE_OBJECT> above;
    PDEVICE_OBJECT Top() const { return above.empty() ? pdo : above.back(); }
};

// Stacks of each kind the tree tells apart, with the driver names and the signatures of the Vista group
// (Windows 7, the test machine's release).
class StackBuilder {
public:
    explicit StackBuilder(HandBuiltDevices& devices) : m_devices(devices) {}

    BuiltStack HostController();                              // pci, usbehci "HFDO"
    BuiltStack RootHub();                                     // usbehci "RPDO", usbhub "HUB "
    BuiltStack OnHubPort(const char16_t* function);           // usbhub "HPDO", then the function's driver
    BuiltStack ExternalHub() { return OnHubPort(u"usbhub"); } // the function is a hub: "HUB "
    BuiltStack Composite() { return OnHubPort(u"usbccgp"); }
    BuiltStack Interface(const char16_t* function); // usbccgp, then the function's driver
    // A bare stack of the named drivers, bottom first, without signatures.
    BuiltStack Plain(std::initializer_list<const char16_t*> drivers);

private:
    BuiltStack Chain(PDEVICE_OBJECT pdo, std::initializer_list<PDEVICE_OBJECT> above);
    PDEVICE_OBJECT Named(const char16_t* driver, const char16_t* prefix);

    HandBuiltDevices& m_devices;
    unsigned m_names = 0;
};

// The stacks of a device-stack node list, each with its device objects.
struct ListedStack {
    DEVSTK_NODE stack{};
    std::vector<DEVICE_NODE> devices;
};

struct NodeList {
    std::vector<ListedStack> stacks;
    size_t bytes = 0;
    bool wellFormed = false; // entries of the right kinds and lengths, ended by the end entry at `bytes`
};

// Parses a DEVSTK_NODES reply.
NodeList ParseDevstkNodes(const std::vector<uint8_t>& bytes);

// The loaded driver, with hand-built stacks and node-list requests.
class StackTreeTest : public LoadedDriver {
protected:
    void TearDown() override;

    // The driver's AddDevice for `pdo`, as Plug and Play calls it.
    void AddDevice(PDEVICE_OBJECT pdo);
    // Asks for the size (4-byte buffer), then the list; expects both to succeed.
    NodeList FetchNodes(bool presentOnly = false);
    // The stack of `pdo` in a list, or null.
    static const ListedStack* StackOf(const NodeList& list, PDEVICE_OBJECT pdo);

    IoctlResult Refresh();
    // ENABLE_CLOG, and every change-log record written since, in order.
    void EnableChangeLog();
    std::vector<drvlog_test::ReadRecord> ReadChangeLog();

    HandBuiltDevices m_built;
    StackBuilder m_stacks{m_built};
};

std::string Text(const CHAR* field, size_t width);
template <size_t N> std::string Text(const CHAR (&field)[N]) {
    return Text(field, N);
}

} // namespace drivertest
