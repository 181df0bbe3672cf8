// Bus time on the virtual clock: a transfer completes once its packets have had their time on its device's
// bus, the devices of one bus share it, interrupt endpoints are served at their interval, a transfer that waits
// for its device takes no bus time meanwhile, and cancelling one on the bus ends it at once. An unpaced machine
// completes the same transfers without any machine time passing.
#include <cctype>
#include <cstring>
#include <string>
#include <thread>

#include "NtClock.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/MachineFixture.h"
#include "usbdlib.h"
#include "usbioctl.h"

namespace {

using tdl::test::BuildTransfer;
using tdl::test::PendingUrb;
using tdl::test::SelectConfiguration;

constexpr LONGLONG kMicrosecond = 10; // machine time units
constexpr LONGLONG kMillisecond = 10'000;

class BusTime : public tdl::test::MachineTest {
protected:
    void Start(const sim::MachineBuilder& hardware = sim::DefaultMachine(), bool busTime = true) {
        sim::MachineOptions options;
        options.busTime = busTime;
        Boot(hardware, options);
        UseVirtualClock();
    }

    // Moves the clock on to each completion on the buses, and no further, until `done`.
    template <class Done> void RunUntil(Done done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            ASSERT_LT(std::chrono::steady_clock::now(), limit) << "nothing on a bus, and the request not done";
            if (!m_machine->AdvanceToNextBusCompletion()) {
                std::this_thread::yield();
            }
        }
    }
    // Machine time from now until the URB completes.
    LONGLONG Take(PendingUrb& urb) {
        const LONGLONG start = nt::clock::Now();
        RunUntil([&] { return urb.Done(); });
        EXPECT_EQ(urb.Wait(), STATUS_SUCCESS);
        return urb.CompletedAt() - start;
    }

    struct Pipes {
        USBD_PIPE_HANDLE in = nullptr;
        USBD_PIPE_HANDLE out = nullptr;
    };
    // The device configured from the test; its bulk or interrupt pipes.
    Pipes Configure(const std::string& device) {
        Pipes pipes;
        for (const USBD_PIPE_INFORMATION& pipe :
             SelectConfiguration(Pdo(device), m_machine->Device(device)->Descriptors().configurations[0])) {
            if (pipe.PipeType == UsbdPipeTypeBulk || pipe.PipeType == UsbdPipeTypeInterrupt) {
                (pipe.EndpointAddress & 0x80 ? pipes.in : pipes.out) = pipe.PipeHandle;
            }
        }
        return pipes;
    }
    // A bulk-only device is told a WRITE(10) of `bytes` is coming (its command block wrapper, sent and done).
    void Command(const std::string& device, USBD_PIPE_HANDLE out, ULONG bytes) {
        UCHAR cbw[31] = {'U', 'S', 'B', 'C', 7, 0, 0, 0};
        std::memcpy(cbw + 8, &bytes, 4);
        cbw[14] = 10;
        cbw[15] = 0x2A; // WRITE(10) at block 0
        const ULONG blocks = bytes / 512;
        cbw[22] = static_cast<UCHAR>(blocks >> 8);
        cbw[23] = static_cast<UCHAR>(blocks);
        URB urb;
        BuildTransfer(urb, out, false, cbw, sizeof cbw);
        PendingUrb sent(Pdo(device), &urb);
        Take(sent);
    }
};

// What a transfer costs on its bus, in machine time.
struct Case {
    const char* what;
    const char* device;
    enum { Write, StorageWrite, Descriptor } kind; // a bulk write (after its command); a control read of 18 bytes
    ULONG bytes;
    LONGLONG least;
    LONGLONG most;
};

class EachTransfer : public BusTime, public ::testing::WithParamInterface<std::tuple<Case, bool>> {};

TEST_P(EachTransfer, TakesItsBusTimeOrNoneUnpaced) {
    const auto [c, busTime] = GetParam();
    Start(sim::DefaultMachine(), busTime);
    LONGLONG took = 0;
    URB urb;
    std::vector<UCHAR> data(std::max<ULONG>(c.bytes, 1), 0x5A);
    if (c.kind == Case::Descriptor) {
        UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_DEVICE_DESCRIPTOR_TYPE, 0, 0,
                                     data.data(), nullptr, c.bytes, nullptr);
        PendingUrb read(Pdo(c.device), &urb);
        took = Take(read);
    } else {
        const Pipes pipes = Configure(c.device);
        if (c.kind == Case::StorageWrite) {
            Command(c.device, pipes.out, c.bytes);
        }
        BuildTransfer(urb, pipes.out, false, data.data(), c.bytes);
        PendingUrb write(Pdo(c.device), &urb);
        took = Take(write);
    }
    EXPECT_EQ(urb.UrbBulkOrInterruptTransfer.TransferBufferLength, c.bytes);
    if (busTime) {
        EXPECT_GE(took, c.least) << c.what;
        EXPECT_LE(took, c.most) << c.what;
    } else {
        EXPECT_EQ(took, 0) << c.what << " on an unpaced machine";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, EachTransfer,
    ::testing::Combine(
        ::testing::Values(Case{"1 MiB to the high-speed stick (35 to 45 MB/s)", "stick", Case::StorageWrite, 1 << 20,
                               22 * kMillisecond, 30 * kMillisecond},
                          Case{"64 KiB to the full-speed loopback (about 1 MB/s)", "loopback", Case::Write, 64 << 10,
                               50 * kMillisecond, 70 * kMillisecond},
                          Case{"1 MiB to the SuperSpeed disk (350 to 450 MB/s)", "ss-disk", Case::StorageWrite, 1 << 20,
                               2330 * kMicrosecond, 3000 * kMicrosecond},
                          Case{"an empty packet to the loopback: the packet's own bytes", "loopback", Case::Write, 0,
                               10 * kMicrosecond, 30 * kMicrosecond},
                          Case{"a descriptor from the low-speed mouse: three stages of 8-byte packets", "mouse",
                               Case::Descriptor, 18, 300 * kMicrosecond, 1000 * kMicrosecond},
                          Case{"a descriptor from the keyboard, through its hub's translator at full speed", "keyboard",
                               Case::Descriptor, 18, 60 * kMicrosecond, 200 * kMicrosecond},
                          Case{"a descriptor from the high-speed stick", "stick", Case::Descriptor, 18,
                               5 * kMicrosecond, 50 * kMicrosecond}),
        ::testing::Bool()),
    [](const auto& test) {
        const Case& c = std::get<0>(test.param);
        std::string name = c.device;
        name += (c.kind == Case::Descriptor ? "Descriptor" : "Write") + std::to_string(c.bytes);
        name += std::get<1>(test.param) ? "" : "Unpaced";
        for (char& letter : name) {
            letter = std::isalnum(static_cast<unsigned char>(letter)) ? letter : '_';
        }
        return name;
    });

TEST_F(BusTime, TheMouseIsServedAtItsInterval) {
    Start();
    const Pipes pipes = Configure("mouse");
    auto* hid = m_machine->Device("mouse")->FunctionAs<sim::HidFunction>(0);
    for (UCHAR n = 1; n <= 3; ++n) {
        hid->QueueInputReport({0, n, n, 0});
    }
    URB urbs[3];
    UCHAR reports[3][4] = {};
    std::vector<std::unique_ptr<PendingUrb>> reads;
    const LONGLONG start = nt::clock::Now();
    for (int i = 0; i < 3; ++i) {
        BuildTransfer(urbs[i], pipes.in, true, reports[i], 4);
        reads.push_back(std::make_unique<PendingUrb>(Pdo("mouse"), &urbs[i]));
    }
    RunUntil([&] { return reads[2]->Done(); });
    // The first at the next frame, each next one bInterval (10 frames) later, whatever the device had queued.
    EXPECT_LE(reads[0]->CompletedAt() - start, kMillisecond + 200 * kMicrosecond);
    EXPECT_EQ(reads[1]->CompletedAt() - reads[0]->CompletedAt(), 10 * kMillisecond);
    EXPECT_EQ(reads[2]->CompletedAt() - reads[1]->CompletedAt(), 10 * kMillisecond);
    EXPECT_EQ(reports[2][1], 3);
}

TEST_F(BusTime, TwoSticksOnOneControllerShareItsBus) {
    sim::MachineBuilder hardware;
    auto& ehci = hardware.AddController(sim::ControllerType::Ehci, "ehci");
    ehci.Plug(1, sim::MakeFlashDrive("stick", u"SIM0001A2B3C"));
    ehci.Plug(2, sim::MakeFlashDrive("second stick", u"SIM0002A2B3C"));
    hardware.AddController(sim::ControllerType::Ehci, "ehci2")
        .Plug(1, sim::MakeFlashDrive("third stick", u"SIM0003A2B3C"));
    Start(hardware);
    const Pipes first = Configure("stick");
    const Pipes second = Configure("second stick");
    const Pipes third = Configure("third stick");
    Command("stick", first.out, 1 << 20);
    Command("second stick", second.out, 1 << 20);
    Command("third stick", third.out, 1 << 20);
    std::vector<UCHAR> data(1 << 20, 0xA5);
    URB urbs[3];
    BuildTransfer(urbs[0], first.out, false, data.data(), 1 << 20);
    BuildTransfer(urbs[1], second.out, false, data.data(), 1 << 20);
    BuildTransfer(urbs[2], third.out, false, data.data(), 1 << 20);
    const LONGLONG start = nt::clock::Now();
    PendingUrb a(Pdo("stick"), &urbs[0]);
    PendingUrb b(Pdo("second stick"), &urbs[1]);
    PendingUrb alone(Pdo("third stick"), &urbs[2]);
    RunUntil([&] { return a.Done() && b.Done() && alone.Done(); });
    // Each of the two gets half of its bus: twice the time of the stick alone on the other controller.
    const LONGLONG single = alone.CompletedAt() - start;
    EXPECT_NEAR(static_cast<double>(a.CompletedAt() - start) / static_cast<double>(single), 2.0, 0.05);
    EXPECT_NEAR(static_cast<double>(b.CompletedAt() - start) / static_cast<double>(single), 2.0, 0.05);
}

TEST_F(BusTime, AWaitingTransferTakesNoBusTimeUntilDataMoves) {
    Start();
    const Pipes pipes = Configure("loopback");
    URB read;
    UCHAR received[64] = {};
    BuildTransfer(read, pipes.in, true, received, sizeof received);
    PendingUrb waiting(Pdo("loopback"), &read);
    nt::clock::AdvanceMilliseconds(100);
    EXPECT_FALSE(waiting.Done()) << "the device NAKs while it has nothing";
    EXPECT_FALSE(m_machine->NextBusCompletion()) << "a NAKed transfer is not on the bus";

    URB write;
    UCHAR sent[64] = {1, 2, 3};
    BuildTransfer(write, pipes.out, false, sent, sizeof sent);
    const LONGLONG start = nt::clock::Now();
    PendingUrb written(Pdo("loopback"), &write);
    RunUntil([&] { return waiting.Done(); });
    // Both 64-byte packets share the bus from the write on: about two packets' time, not the 100 ms waited.
    EXPECT_LT(waiting.CompletedAt() - start, 200 * kMicrosecond);
    EXPECT_EQ(read.UrbBulkOrInterruptTransfer.TransferBufferLength, 64u);
}

TEST_F(BusTime, ATransferCancelledOnTheBusEndsAtOnceAndTheNextTakesOnlyItsOwnTime) {
    Start();
    const Pipes pipes = Configure("loopback");
    std::vector<UCHAR> data(1 << 20);
    URB large;
    URB next;
    BuildTransfer(large, pipes.out, false, data.data(), 1 << 20); // about a second at full speed
    BuildTransfer(next, pipes.out, false, data.data(), 64);
    PendingUrb first(Pdo("loopback"), &large);
    PendingUrb second(Pdo("loopback"), &next);
    nt::clock::AdvanceMilliseconds(10);
    EXPECT_FALSE(first.Done());
    const LONGLONG cancelledAt = nt::clock::Now();
    IoCancelIrp(first.Irp());
    EXPECT_EQ(first.Wait(), STATUS_CANCELLED);
    EXPECT_EQ(large.UrbHeader.Status, USBD_STATUS_CANCELED);
    EXPECT_EQ(first.CompletedAt(), cancelledAt);
    // The next transfer of the pipe goes on as the cancelled one leaves: one 64-byte packet's time.
    RunUntil([&] { return second.Done(); });
    EXPECT_EQ(second.Wait(), STATUS_SUCCESS);
    EXPECT_GE(second.CompletedAt() - cancelledAt, 40 * kMicrosecond);
    EXPECT_LE(second.CompletedAt() - cancelledAt, 100 * kMicrosecond);

    // An abort of the pipe takes what is on the bus off too.
    BuildTransfer(large, pipes.out, false, data.data(), 1 << 20);
    PendingUrb third(Pdo("loopback"), &large);
    URB abort{};
    abort.UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
    abort.UrbHeader.Length = sizeof(_URB_PIPE_REQUEST);
    abort.UrbPipeRequest.PipeHandle = pipes.out;
    EXPECT_EQ(tdl::test::SubmitUrb(Pdo("loopback"), &abort), STATUS_SUCCESS);
    EXPECT_EQ(third.Wait(), STATUS_CANCELLED);
}

} // namespace
