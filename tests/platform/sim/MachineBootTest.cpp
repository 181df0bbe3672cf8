// Describing and booting machines: the builder, the capture driver's installation as the USB class's boot
// filter, the state folder and its registry file.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "NtRegistryStore.h"
#include "tests/support/MachineFixture.h"

namespace {

namespace fs = std::filesystem;
using nt::version::Release;

const char16_t kUsbClassKey[] =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
const char16_t kCaptureServiceKey[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\KxTdloft";

NTSTATUS g_captureStatus = STATUS_SUCCESS;
int g_captureAdds = 0;

NTSTATUS CaptureAddDevice(PDRIVER_OBJECT, PDEVICE_OBJECT) {
    ++g_captureAdds;
    return STATUS_SUCCESS;
}
void CaptureUnload(PDRIVER_OBJECT) {}
NTSTATUS CaptureEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->DriverExtension->AddDevice = CaptureAddDevice;
    driver->DriverUnload = CaptureUnload;
    return g_captureStatus;
}

std::optional<nt::registry::Value> RegistryValue(std::u16string_view key, std::u16string_view name) {
    nt::registry::KeyRef ref;
    nt::registry::Value value;
    if (!NT_SUCCESS(nt::registry::OpenKey(nullptr, key, ref)) ||
        !NT_SUCCESS(nt::registry::QueryValue(ref, name, value))) {
        return std::nullopt;
    }
    return value;
}

bool UpperFiltersNameCapture() {
    auto filters = RegistryValue(kUsbClassKey, u"UpperFilters");
    if (!filters) {
        return false;
    }
    std::u16string text(reinterpret_cast<const char16_t*>(filters->data.data()), filters->data.size() / 2);
    return text.find(u"KxTdloft") != std::u16string::npos;
}

class MachineBoot : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        g_captureStatus = STATUS_SUCCESS;
        g_captureAdds = 0;
        m_state = fs::temp_directory_path() / ("simtopo-boot-" + std::to_string(::getpid()));
        fs::remove_all(m_state);
    }
    void TearDown() override {
        MachineTest::TearDown();
        fs::remove_all(m_state);
    }
    fs::path m_state;
};

TEST_F(MachineBoot, AMachineDescribedInAFewLinesBoots) {
    sim::MachineBuilder machine;
    auto hub = machine.AddController(sim::ControllerType::Ehci, "ehci", 2).Plug(1, sim::MakeHub20("hub"));
    hub->Plug(2, sim::MakeKeyboard("keyboard"));
    machine.AddController(sim::ControllerType::Ohci).Plug(3, sim::MakePrinter("printer"));
    Boot(machine);

    EXPECT_EQ(m_machine->Controllers().size(), 2u);
    EXPECT_NE(m_machine->Controller("hc1"), nullptr) << "an unnamed controller is named by its place";
    EXPECT_EQ(m_machine->Device("keyboard"), hub->DeviceAt(2));
    ASSERT_NE(Pdo("keyboard"), nullptr);
    ASSERT_NE(Pdo("printer"), nullptr);
    EXPECT_EQ(tdl::test::Property(Pdo("keyboard"), DevicePropertyLocationInformation).substr(0, 12), u"Port_#0002.H");
    // PCI bus, two controllers and root hubs, the hub, the keyboard and its collection, the printer and its
    // printer device.
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), 1u + 2 + 2 + 1 + 2 + 2);
}

TEST_F(MachineBoot, TheCaptureDriverIsTheUsbClassBootFilter) {
    BootDefault(Release::Windows7, CaptureEntry);
    EXPECT_EQ(m_machine->CaptureDriverStatus(), STATUS_SUCCESS);
    EXPECT_NE(nt::pnp::LoadedDriver(u"KxTdloft"), nullptr);
    EXPECT_TRUE(UpperFiltersNameCapture());
    auto start = RegistryValue(kCaptureServiceKey, u"Start");
    ASSERT_TRUE(start);
    EXPECT_EQ(start->data, (std::vector<UCHAR>{0, 0, 0, 0})) << "boot start";
    // Every USB-class device of the default machine: four controllers, four root hubs, two hubs, the stick, the
    // loopback device, the printer, the composite device and its storage function, the SuperSpeed disk.
    EXPECT_EQ(g_captureAdds, 16);
}

TEST_F(MachineBoot, ACaptureDriverThatFailsToLoadIsReported) {
    g_captureStatus = STATUS_INSUFFICIENT_RESOURCES;
    sim::MachineOptions options;
    options.captureDriverEntry = CaptureEntry;
    m_machine = sim::Machine::BootDefault(options);
    EXPECT_EQ(m_machine->CaptureDriverStatus(), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(m_machine->Status(), STATUS_INSUFFICIENT_RESOURCES);
}

TEST_F(MachineBoot, TheStateFolderKeepsTheRegistryAndABootWithoutCaptureDropsTheFilter) {
    sim::MachineOptions options{Release::Windows7, CaptureEntry, m_state};
    Boot(sim::DefaultMachine(), options);
    m_machine->Shutdown();
    ASSERT_TRUE(fs::exists(m_state / "registry.txt"));

    options.captureDriverEntry = nullptr;
    Boot(sim::DefaultMachine(), options);
    EXPECT_FALSE(UpperFiltersNameCapture());
    EXPECT_TRUE(RegistryValue(kCaptureServiceKey, u"Start")) << "the service key stays, as an installed driver's does";
    for (const auto& node : nt::pnp::DeviceNodes()) {
        EXPECT_TRUE(node.started || node.service.empty()) << "no device waits for a filter that is not there";
    }
}

TEST_F(MachineBoot, ADamagedRegistryFileIsLeftAloneAndTheMachineRunsInMemory) {
    fs::create_directories(m_state);
    { std::ofstream(m_state / "registry.txt") << "[\\REGISTRY\\MACHINE\\Broken\n\"Value\"=nonsense\n"; }
    const auto size = fs::file_size(m_state / "registry.txt");
    m_machine = sim::Machine::BootDefault({Release::Windows7, nullptr, m_state});
    EXPECT_EQ(m_machine->Status(), STATUS_REGISTRY_CORRUPT);
    EXPECT_NE(Pdo("stick"), nullptr) << "the machine runs all the same";
    m_machine->Shutdown();
    EXPECT_EQ(fs::file_size(m_state / "registry.txt"), size);
}

TEST(StateFolder, FollowsTheEnvironment) {
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* name : {"TINDALOFT_STATE_DIR", "XDG_DATA_HOME", "HOME"}) {
        const char* value = std::getenv(name);
        saved.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    setenv("HOME", "/home/user", 1);
    unsetenv("XDG_DATA_HOME");
    unsetenv("TINDALOFT_STATE_DIR");
    EXPECT_EQ(sim::DefaultStateFolder(), fs::path("/home/user/.local/share/tindaloft"));
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(sim::DefaultStateFolder(), fs::path("/data/tindaloft"));
    setenv("TINDALOFT_STATE_DIR", "/state/{pid}", 1);
    EXPECT_EQ(sim::DefaultStateFolder(), fs::path("/state/" + std::to_string(::getpid())));
    setenv("TINDALOFT_STATE_DIR", "", 1);
    EXPECT_EQ(sim::DefaultStateFolder(), fs::path("/data/tindaloft")) << "an empty setting counts as none";
    for (const Saved& s : saved) {
        if (s.value) {
            setenv(s.name, s.value->c_str(), 1);
        } else {
            unsetenv(s.name);
        }
    }
}

} // namespace
