// The capture switches and the filter block deciding URB records: a fixed set of requests sent through the
// hooked target under each setting, and exactly the records each setting selects.
#include <map>
#include <string>

#include "common/FilterBlock.h"
#include "tests/driver/CaptureTestFixture.h"

namespace capturetest {
namespace {

using namespace FilterByte;

constexpr size_t Urb(ULONG function) {
    return UrbFunctions + function;
}

class CaptureGates : public CaptureFixture {
public:
    using CaptureFixture::SetFilter;
    using CaptureFixture::SetOptions;

protected:
    // The requests: name -> how the target ends it.
    struct Request {
        const char* name;
        USHORT function;
        NTSTATUS status;
    };

    // Sends each request and returns, per request, the tags it left in the log.
    std::map<std::string, std::string> Run() {
        const Request requests[] = {
            {"control IN", URB_FUNCTION_CONTROL_TRANSFER, STATUS_SUCCESS},
            {"bulk OUT", URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, STATUS_SUCCESS},
            {"bulk IN", URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, STATUS_SUCCESS},
            {"status", URB_FUNCTION_GET_STATUS_FROM_DEVICE, STATUS_SUCCESS},
            {"status failing", URB_FUNCTION_GET_STATUS_FROM_DEVICE, STATUS_UNSUCCESSFUL},
            {"status warning", URB_FUNCTION_GET_STATUS_FROM_DEVICE, STATUS_BUFFER_OVERFLOW},
            {"status synchronous", URB_FUNCTION_GET_STATUS_FROM_DEVICE | 0x2000, STATUS_SUCCESS},
        };
        std::map<std::string, std::string> tags;
        for (const Request& r : requests) {
            PURB urb = NewUrb(r.function, sizeof(_URB_CONTROL_TRANSFER));
            _URB_CONTROL_TRANSFER& t = urb->UrbControlTransfer;
            const std::string name = r.name;
            if (name == "control IN") {
                const UCHAR setup[8] = {0x80, 6, 0, 1, 0, 0, 18, 0};
                std::memcpy(t.SetupPacket, setup, sizeof setup);
                t.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_DEFAULT_PIPE_TRANSFER;
            } else if (name == "bulk IN") {
                // A pipe the tables do not know: the transfer flags give the direction.
                t.PipeHandle = reinterpret_cast<PVOID>(ULONG_PTR{0x5000});
                t.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
            }
            Target().status = r.status;
            Submit(urb)->Wait();
            tags[r.name] = Tags(ReadLog());
        }
        return tags;
    }
};

TEST_F(CaptureGates, EachSettingCapturesExactlyWhatItSelects) {
    const std::string irc = "urbI urbC urbR"; // the target answers at once: C before R
    struct Case {
        const char* name;
        std::function<void(CaptureGates&)> set;
        std::map<std::string, std::string> want; // requests not named leave nothing
    };
    const Case cases[] = {
        {"the switch without a filter block records every URB whole",
         [](CaptureGates& f) {
             f.SetOptions([](LOGGING_OPTIONS& o) {
                 o.CaptureUrbs = 1;
                 o.FilterPresent = 0;
             });
         },
         {{"control IN", irc},
          {"bulk OUT", irc},
          {"bulk IN", irc},
          {"status", irc},
          {"status failing", irc},
          {"status warning", irc},
          {"status synchronous", irc}}},
        {"the default block selects nothing", [](CaptureGates& f) { f.SetFilter({}); }, {}},
        {"a block in force wins over the switch",
         [](CaptureGates& f) {
             f.SetOptions([](LOGGING_OPTIONS& o) {
                 o.CaptureUrbs = 1;
                 o.FilterPresent = 1;
                 InitLoggingOptions(o.Filter);
                 o.Filter.Bytes[UrbRequest] = o.Filter.Bytes[Urb(19)] = o.Filter.Bytes[AcceptSuccess] = 1;
             });
         },
         {{"status", "urbI urbR"}, {"status failing", "urbI urbR"}, {"status warning", "urbI urbR"}}},
        {"bulk I records, IN only",
         [](CaptureGates& f) {
             f.SetFilter({UrbRequest, Urb(9), AcceptError, AcceptSuccess, AcceptIn});
         },
         {{"bulk IN", "urbI urbR"}}},
        {"bulk I records, OUT only",
         [](CaptureGates& f) {
             f.SetFilter({UrbRequest, Urb(9), AcceptError, AcceptSuccess, AcceptOut});
         },
         {{"bulk OUT", "urbI urbR"}}},
        {"control transfers, both phases, IN",
         [](CaptureGates& f) {
             f.SetFilter({UrbRequest, UrbCompletion, Urb(8), AcceptSuccess, AcceptIn});
         },
         {{"control IN", irc}}},
        {"completions with an error status",
         [](CaptureGates& f) {
             f.SetFilter({UrbCompletion, Urb(19), AcceptError});
         },
         {{"status failing", "urbC"}}},
        {"completions with a success status; the synchronous byte lets those with the flag through",
         [](CaptureGates& f) {
             f.SetFilter({UrbCompletion, Urb(19), AcceptSuccess, UrbSynchronous});
         },
         {{"status", "urbC"}, {"status synchronous", "urbC"}}},
        {"without the synchronous byte, the flagged request stays out",
         [](CaptureGates& f) {
             f.SetFilter({UrbCompletion, Urb(19), AcceptSuccess});
         },
         {{"status", "urbC"}}},
    };
    EnableLog();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set(*this);
        const std::map<std::string, std::string> got = Run();
        for (const auto& [request, tags] : got) {
            const auto want = c.want.find(request);
            EXPECT_EQ(tags, want == c.want.end() ? "" : want->second) << request;
        }
    }
}

} // namespace
} // namespace capturetest
