// Memory running out while the document reads a hub's arrival from the driver's change log: each allocation
// the device model makes for it (a port, a hub, a connection block, a driver key, an interface class list, a
// configuration and its records) fails, once or every time, and the change-log processing still returns with a model in
// which no stack or node names anything gone. AddressSanitizer watches the paths that give up half way.
#include "tests/app/core/LiveDocumentFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AfxMemoryControl.h"
#include "app/core/capture/KxTdloft.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/UsbHub.h"
#include "platform/sim/UsbDevice.h"
#include "platform/sim/UsbHubModel.h"
#include "tests/app/core/TopologyChecks.h"
#include "tests/app/core/TraceCapture.h"

namespace {

using Blocks = std::vector<std::vector<BYTE>>;

class ChangeLogOutOfMemory : public apptest::LiveDocumentTest {
protected:
    void SetUp() override {
        LiveDocumentTest::SetUp();
        m_hub = m_machine->Device("hub");
        ASSERT_NE(nullptr, m_hub);
        m_pParent = m_hub->ParentHub();
        m_port = m_hub->PortNumber();
    }
    void TearDown() override {
        afx::memory::ClearInjectedFailures();
        LiveDocumentTest::TearDown();
    }

    // The change log's blocks as the main frame reads them, not yet given to a document.
    static Blocks TakeChangeLog() {
        Blocks blocks;
        CKxTdloft device;
        EXPECT_TRUE(device.TryDeviceOpen());
        for (int i = 0; i < 31; ++i) {
            std::vector<BYTE> buffer(66560);
            DWORD dwLength = static_cast<DWORD>(buffer.size());
            if (!device.IoctlReadChangeLog(buffer.data(), dwLength) || dwLength == 0)
                break;
            buffer.resize(dwLength);
            blocks.push_back(std::move(buffer));
        }
        device.DeviceClose();
        return blocks;
    }

    // A live document made while the external hub is away, and the change log of the hub (with the devices
    // below it) plugged in since.
    CUSBLog* DocumentBeforeTheHubArrives(Blocks& arrival) {
        CloseDocuments();
        if (m_machine->Device("hub") != nullptr)
            EXPECT_NE(nullptr, m_machine->Unplug("hub"));
        CUSBLog* doc = NewLive();
        TakeChangeLog();
        EXPECT_TRUE(m_machine->Plug(*m_pParent, m_port, m_hub));
        arrival = TakeChangeLog();
        return doc;
    }

    static void Dissect(CUSBLog& doc, const Blocks& blocks) {
        for (const std::vector<BYTE>& block : blocks)
            doc.DissectChangeLogFragment(block.data(), static_cast<DWORD>(block.size()));
    }

    // The port the external hub hangs on, once the document knows it.
    static CHubPort* HubsPort(CUSBLog& doc) {
        for (INT_PTR i = 0; i < doc.GetHostControllers()->GetCount(); ++i) {
            CUsbHub* pRoot = doc.GetHostControllers()->GetAt(i)->GetRootHub();
            for (INT_PTR p = 0; pRoot != nullptr && p < pRoot->GetPortCount(); ++p)
                if (pRoot->m_Ports[p]->GetExternalHub() != nullptr)
                    return pRoot->m_Ports[p];
        }
        return nullptr;
    }

    std::shared_ptr<sim::UsbDevice> m_hub;
    sim::UsbHubModel* m_pParent = nullptr;
    int m_port = 0;
};

struct Allocation {
    const char* what;
    size_t bytes;
    const char* trace; // what the guarded allocation says when it fails
};

TEST_F(ChangeLogOutOfMemory, EachAllocationOfAHubsArrivalFailsAndTheModelStaysWhole) {
    // A clean arrival first: it tells the sizes of the buffers this hub's port asks for.
    Blocks arrival;
    CUSBLog* doc = DocumentBeforeTheHubArrives(arrival);
    Dissect(*doc, arrival);
    CHubPort* pPort = HubsPort(*doc);
    ASSERT_NE(nullptr, pPort);
    ASSERT_NE(nullptr, pPort->GetDeviceClass());
    ASSERT_EQ(1, pPort->m_Configurations.GetSize());
    // USB_NODE_CONNECTION_DRIVERKEY_NAME behind its 8-byte request head: index, length, the key and its NUL.
    const size_t driverKeyRequest = 8 + 8 + (pPort->GetDeviceClass()->m_DriverKey.GetLength() + 1) * 2;
    const size_t configurationBuffer = pPort->m_Configurations[0]->m_nConfigDescLength + 8;

    const Allocation allocations[] = {
        {"connection block", CHubPort::ConnectionBlockSize, "CHubPort::QueryConnectionInformation - out of memory"},
        {"driver key request", driverKeyRequest, "CHubPort::QueryDriverKeyName - out of memory"},
        {"configuration buffer", configurationBuffer, "CHubPort::RequestCurrentPortConfigDescriptor - out of memory"},
        {"configuration", sizeof(CUsbConfiguration), "CHubPort::RequestCurrentPortConfigDescriptor - out of memory"},
        {"interface record", sizeof(CUsbInterface), "CUsbConfiguration::ParseConfigurationDescriptor - out of memory"},
        // An interface class list's first entry, then its second (the list grows from one to five).
        {"port's interface class list", sizeof(const GUID*), "CHubPort::InitHubPortInstance - out of memory"},
        {"hub's interface class list", 5 * sizeof(const GUID*), "CHubPort::CreateExternalHub - out of memory"},
        {"external hub", sizeof(CUsbHub), "CHubPort::CreateExternalHub - out of memory"},
        {"port", sizeof(CHubPort), "CUsbHub::EnumerateHubPorts - out of memory for port"},
    };
    const afx::memory::FailurePlan plans[] = {{0, 1}, {0, UINT64_MAX}};
    for (const Allocation& allocation : allocations) {
        for (const afx::memory::FailurePlan& plan : plans) {
            SCOPED_TRACE(std::string(allocation.what) + (plan.count == 1 ? ", the first" : ", every one"));
            doc = DocumentBeforeTheHubArrives(arrival);
            apptest::TraceCapture errors(TRACE_ERROR, TRACE_AREA_DEVICES);
            afx::memory::InjectFailureOfSizeOnAnyThread(allocation.bytes, plan);
            bool escaped = false;
            try {
                Dissect(*doc, arrival);
            } catch (...) {
                escaped = true;
            }
            afx::memory::ClearInjectedFailures();
            EXPECT_FALSE(escaped) << "a memory failure escaped the change-log processing";
            // Failing every one reaches the guarded allocation for sure; the first of a size may be another's.
            bool said = false;
            for (const std::string& text : errors.Texts())
                said = said || text.rfind(allocation.trace, 0) == 0;
            EXPECT_TRUE(said || plan.count == 1) << allocation.trace;
            apptest::ExpectNoStaleLinks(*doc);
            if (HasFatalFailure())
                return;
        }
    }
}

} // namespace
