// The buffer rules of the control device, from user mode: every implemented code with no buffer, a zero
// length, a short, an exact and a long buffer on the side its rule reads; and the codes that are not served.
#include <string>
#include <vector>

#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "common/DriverInfo.h"
#include "common/LoggingOptions.h"
#include "common/Memlog.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

enum class Rule { None, Input, Output };
enum class Shape { Null, Zero, Short, Exact, Long };

struct CodeCase {
    const char* name;
    DWORD code;
    Rule rule;
    DWORD exact;       // the length the code needs
    DWORD shortLength; // a length it refuses (0: every length is enough)
    NTSTATUS shortStatus;
    DWORD returned; // bytes returned for an exact or long buffer
    // What the handler answers to an exact or long buffer that passed the rule.
    NTSTATUS servedStatus = STATUS_SUCCESS;
    // Non-zero for an output code that also reads its request from the buffer, as the application sends it
    // (in and out alike): the buffer's first u32, the rest zero.
    ULONG requestWord = 0;
};

constexpr ULONG kMemlogReply = MemlogReplySize(MEMLOG_RING_SIZE);

// In this order: the reads come while both logs are empty, before ENABLE_LOG writes its start record.
const CodeCase kCodes[] = {
    {"INFO", IOCTL_TINDALOFT_INFO, Rule::Output, 19, 18, STATUS_INVALID_PARAMETER, 19},
    {"READ_LOG", IOCTL_TINDALOFT_READ_LOG, Rule::Output, 16, 0, STATUS_SUCCESS, 0},
    {"READ_CLOG", IOCTL_TINDALOFT_READ_CLOG, Rule::Output, 16, 0, STATUS_SUCCESS, 0},
    {"ENABLE_LOG", IOCTL_TINDALOFT_ENABLE_LOG, Rule::Input, 4, 3, STATUS_INVALID_PARAMETER, 0},
    {"DISABLE_LOG", IOCTL_TINDALOFT_DISABLE_LOG, Rule::None, 0, 0, STATUS_SUCCESS, 0},
    {"CLEAR_LOG", IOCTL_TINDALOFT_CLEAR_LOG, Rule::None, 0, 0, STATUS_SUCCESS, 0},
    {"ENABLE_CLOG", IOCTL_TINDALOFT_ENABLE_CLOG, Rule::Input, 4, 3, STATUS_INVALID_PARAMETER, 0},
    {"DISABLE_CLOG", IOCTL_TINDALOFT_DISABLE_CLOG, Rule::None, 0, 0, STATUS_SUCCESS, 0},
    {"CLEAR_CLOG", IOCTL_TINDALOFT_CLEAR_CLOG, Rule::None, 0, 0, STATUS_SUCCESS, 0},
    {"SET_BOOTFLAG", IOCTL_TINDALOFT_SET_BOOTFLAG, Rule::Input, 4, 3, STATUS_INVALID_PARAMETER, 0},
    {"SET_LOGGING_OPTIONS", IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, Rule::Input, 325, 324, STATUS_INVALID_PARAMETER, 0},
    {"GET_LOGGING_OPTIONS", IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, Rule::Output, 325, 324, STATUS_INVALID_PARAMETER, 325},
    {"NOP", IOCTL_TINDALOFT_NOP, Rule::Input, 4, 3, STATUS_INVALID_PARAMETER, 0},
    {"GET_MEMLOG", IOCTL_TINDALOFT_GET_MEMLOG, Rule::Output, kMemlogReply, 5, STATUS_BUFFER_TOO_SMALL, kMemlogReply},
    {"CLR_REGNODES", IOCTL_TINDALOFT_CLR_REGNODES, Rule::None, 0, 0, STATUS_SUCCESS, 0},
    // The tree is empty: every list is the end entry alone, and four bytes ask for its size.
    {"DRVOBJ_NODES", IOCTL_TINDALOFT_DRVOBJ_NODES, Rule::Output, 4, 3, STATUS_BUFFER_TOO_SMALL, 4},
    {"DEVSTK_NODES", IOCTL_TINDALOFT_DEVSTK_NODES, Rule::Output, 4, 3, STATUS_BUFFER_TOO_SMALL, 4},
    {"DEVSTK_NODES_EX", IOCTL_TINDALOFT_DEVSTK_NODES_EX, Rule::Output, 4, 3, STATUS_BUFFER_TOO_SMALL, 4},
    // A run that begins with its end entry applies nothing; three bytes cannot hold that entry.
    {"SET_DEVOBJ_FLAGS", IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, Rule::Input, 4, 3, STATUS_UNSUCCESSFUL, 0},
    {"DEVSTK_REFRESH", IOCTL_TINDALOFT_DEVSTK_REFRESH, Rule::None, 0, 0, STATUS_SUCCESS, 0},
    // A device-descriptor request for a stack that does not exist: past the rule, the lookup fails.
    {"GET_DEVSTK_INFO", IOCTL_TINDALOFT_GET_DEVSTK_INFO, Rule::Output, 8, 7, STATUS_INVALID_PARAMETER, 0,
     STATUS_UNSUCCESSFUL, 0x0100FFFF},
};

const Shape kShapes[] = {Shape::Null, Shape::Zero, Shape::Short, Shape::Exact, Shape::Long};

const char* ShapeName(Shape shape) {
    switch (shape) {
    case Shape::Null: return "null";
    case Shape::Zero: return "zero";
    case Shape::Short: return "short";
    case Shape::Exact: return "exact";
    case Shape::Long: return "long";
    }
    return "?";
}

class ControlBufferRules : public LoadedDriver {};

TEST_F(ControlBufferRules, EveryCodeAppliesItsRule) {
    for (const CodeCase& c : kCodes) {
        for (Shape shape : kShapes) {
            SCOPED_TRACE(std::string(c.name) + " with a " + ShapeName(shape) + " buffer");
            if (shape == Shape::Short && c.shortLength == 0) {
                continue;
            }
            // The buffer the rule reads; for the zero-length case it is a real address with length 0, and
            // the other side has four bytes so that a system buffer exists.
            std::vector<uint8_t> ruled;
            std::vector<uint8_t> other;
            switch (shape) {
            case Shape::Null: break;
            case Shape::Zero:
                ruled.assign(1, 0);
                other.assign(4, 0);
                break;
            case Shape::Short: ruled.assign(c.shortLength, 0); break;
            case Shape::Exact: ruled.assign(c.exact, 0); break;
            case Shape::Long: ruled.assign(c.exact + 64, 0); break;
            }
            const bool sendsRequest =
                c.requestWord != 0 && ruled.size() >= sizeof c.requestWord && shape != Shape::Zero;
            if (sendsRequest) {
                tdl::StoreLe<ULONG>(ruled.data(), c.requestWord);
            }
            const DWORD ruledLength = shape == Shape::Zero ? 0 : static_cast<DWORD>(ruled.size());
            void* ruledBuffer = ruled.empty() ? nullptr : ruled.data();
            void* otherBuffer = other.empty() ? nullptr : other.data();
            DWORD otherLength = static_cast<DWORD>(other.size());
            if (sendsRequest) {
                otherBuffer = ruledBuffer;
                otherLength = ruledLength;
            }
            const IoctlResult result = c.rule == Rule::Output
                                           ? Ioctl(c.code, otherBuffer, otherLength, ruledBuffer, ruledLength)
                                           : Ioctl(c.code, ruledBuffer, ruledLength, otherBuffer, otherLength);

            if (c.rule == Rule::None) {
                EXPECT_TRUE(result.ok) << result.error;
                EXPECT_EQ(result.bytes, 0u);
                continue;
            }
            switch (shape) {
            case Shape::Null:
                EXPECT_FALSE(result.ok);
                EXPECT_EQ(result.error, ErrorOf(STATUS_INVALID_PARAMETER));
                break;
            case Shape::Zero:
                EXPECT_FALSE(result.ok);
                EXPECT_EQ(result.error, ErrorOf(STATUS_INVALID_BUFFER_SIZE));
                break;
            case Shape::Short:
                EXPECT_FALSE(result.ok);
                EXPECT_EQ(result.error, ErrorOf(c.shortStatus));
                break;
            case Shape::Exact:
            case Shape::Long:
                if (c.servedStatus == STATUS_SUCCESS) {
                    EXPECT_TRUE(result.ok) << result.error;
                    EXPECT_EQ(result.bytes, c.returned);
                } else {
                    EXPECT_FALSE(result.ok);
                    EXPECT_EQ(result.error, ErrorOf(c.servedStatus));
                }
                break;
            }
            if (!result.ok) {
                EXPECT_EQ(result.bytes, 0u);
            }
        }
    }
}

// The size query of GET_MEMLOG: exactly four bytes ask for the size, any other length for the data.
TEST_F(ControlBufferRules, MemlogSizeQueryTakesExactlyFourBytes) {
    ULONG size = 0;
    IoctlResult query = Ioctl(IOCTL_TINDALOFT_GET_MEMLOG, nullptr, 0, &size, sizeof size);
    EXPECT_TRUE(query.ok);
    EXPECT_EQ(query.bytes, 4u);
    EXPECT_EQ(size, 262176u);

    std::vector<uint8_t> three(3);
    std::vector<uint8_t> none;
    IoctlResult tooShort = Ioctl(IOCTL_TINDALOFT_GET_MEMLOG, none, three);
    EXPECT_FALSE(tooShort.ok);
    EXPECT_EQ(tooShort.error, ErrorOf(STATUS_BUFFER_TOO_SMALL));
}

// Codes outside the table, and other transfer methods or device types of known functions, complete as
// unknown codes.
TEST_F(ControlBufferRules, UnservedCodesAreNotImplemented) {
    const DWORD codes[] = {
        CTL_CODE(FILE_DEVICE_UNKNOWN, 0x815, METHOD_BUFFERED, FILE_ANY_ACCESS),
        CTL_CODE(FILE_DEVICE_UNKNOWN, 0x7FF, METHOD_BUFFERED, FILE_ANY_ACCESS),
        CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_NEITHER, FILE_ANY_ACCESS),
        CTL_CODE(FILE_DEVICE_UNKNOWN, 0x813, METHOD_BUFFERED, FILE_ANY_ACCESS),
        CTL_CODE(0x12, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS),
    };
    for (DWORD code : codes) {
        std::vector<uint8_t> in(64, 0);
        std::vector<uint8_t> out(64, 0);
        const IoctlResult result = Ioctl(code, in, out);
        EXPECT_FALSE(result.ok) << std::hex << code;
        EXPECT_EQ(result.error, ErrorOf(STATUS_NOT_IMPLEMENTED)) << std::hex << code;
        EXPECT_EQ(result.bytes, 0u) << std::hex << code;
    }
}

} // namespace
} // namespace drivertest
