// Fixture of the IOCTL, power and PnP capture tests: the request-capture fixture's hooked target, with its
// stack made whatever family a test needs (a hub, a host controller, a HID collection under a captured
// parent), and requests of every transfer method sent to it as a client sends them.
//
// Expected payloads are written as hex with placeholders that stand for what a run decides: the request's
// system buffer, MDL and caller's buffer addresses, its arguments, and the bytes a row gives or answers.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/driver/CaptureTestFixture.h"

namespace capturetest {

// What the target's stack is to the device-control families.
enum class StackKind { Plain, Hub, HostController };

// One device-control or internal request and how the target answers it.
struct IoctlRequest {
    ULONG code = 0;
    bool internal = false;
    std::vector<uint8_t> input = {};  // the caller's input buffer
    ULONG outputLength = 0;           // the caller's output buffer: this many bytes, starting as `output`
    std::vector<uint8_t> output = {}; // (zeros beyond it)
    PVOID arguments[4] = {};          // internal requests: Argument1 to Argument4 (null: leave what the builder set)
    // The target: what it writes into the output buffer (by the code's method), Information and status.
    std::vector<uint8_t> answer = {};
    ULONG_PTR information = 0;
    NTSTATUS status = STATUS_SUCCESS;
    std::function<void(PIRP)> device = {}; // anything else it does (writes through arguments)
    bool own = false;                      // the request carries the capture driver's own mark
};

// What a sent request left: its records and the values the placeholders stand for.
struct IoctlSent {
    std::vector<ReadRecord> records;
    std::map<std::string, ULONG64> addresses; // "sb", "mdl", "ub", "a1" ... "a4"
    NTSTATUS status = STATUS_SUCCESS;         // what IoCallDriver returned
    SentRequest* sent = nullptr;              // the request (kept by the fixture): Wait() for a pending one
};

class IoctlCaptureFixture : public CaptureFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    void MakeStack(StackKind kind);
    // Sends the request to the target (or `device`) and reads the log.
    IoctlSent Send(const IoctlRequest& request, PDEVICE_OBJECT device = nullptr);
    // A power or PnP request with `fill` setting its parameters; the target answers with `status` (and
    // `information`) after running `device`.
    IoctlSent SendMajor(UCHAR major, UCHAR minor, const std::function<void(PIO_STACK_LOCATION)>& fill,
                        NTSTATUS status = STATUS_SUCCESS, ULONG_PTR information = 0,
                        const std::function<void(PIRP)>& device = {}, PDEVICE_OBJECT to = nullptr);

    // The HID collection's parent: a stack of its own, with one device object, capture on.
    PDEVOBJ_NODE ParentNode() const { return m_parentNode; }

private:
    std::vector<std::unique_ptr<SentRequest>> m_sent; // events and status blocks outlive pending requests
    PDEVICE_OBJECT m_parentDevice = nullptr;
    PDEVOBJ_NODE m_parentNode = nullptr;
};

// Expands an expected payload: hex digits (blanks ignored) and placeholders: {sb} {mdl} {ub} {a1}..{a4}
// (eight bytes, little-endian, of that address), {input} {output} {answer} (the request's bytes; with
// @offset and :count a part of them), {zero:N}, {bang:N} (N bytes of 0 or '!').
std::vector<uint8_t> ExpectedPayload(const std::string& pattern, const IoctlRequest& request, const IoctlSent& sent);
std::string Hex(std::span<const uint8_t> bytes);
// Bytes 0, 1, 2 ... (n of them, wrapping at 256) starting at `first`.
std::vector<uint8_t> Counting(size_t n, uint8_t first = 0);

} // namespace capturetest
