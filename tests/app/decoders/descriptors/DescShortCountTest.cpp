// Short input: every sample descriptor and set at every shorter count, through every decoder and both
// walks in the three modes, from an exact-size heap copy so that AddressSanitizer sees any read past the
// count, each row of what a cut shows held against the row at its place in what the whole bytes show; and
// the placeholder decoders' answer to no bytes at all.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "DescTestSupport.h"
#include "tests/support/DescriptorDecoders.h"

namespace {

using namespace desc_test;

// A row of a decoder's output: a field in any medium, its attribute, or a defect. Structure calls (groups,
// elements, tables) are not rows: a cut closes its sections sooner than the whole does.
struct Row {
    std::string line;
    std::string operation;
    std::string label;
};

std::vector<Row> Rows(const std::string& calls) {
    static const char* const kRowOperations[] = {
        "AddItem",           "AddReadOnlyItem",   "WriteValue",  "WriteValueWithAttribute",
        "WriteValueMeaning", "WriteMeaningValue", "AddAttribute"};
    std::vector<Row> rows;
    std::istringstream lines(calls);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t bar = line.find('|');
        Row row{line, line.substr(0, bar), ""};
        if (bar != std::string::npos)
            row.label = line.substr(bar + 1, line.find('|', bar + 1) - bar - 1);
        for (const char* operation : kRowOperations)
            if (row.operation == operation)
                rows.push_back(row);
    }
    return rows;
}

bool IsDefect(const Row& row) {
    return row.label == "Truncated" || row.label == "Malformed";
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The value of a row: its part after the label.
std::string ValueOf(const Row& row) {
    const size_t begin = row.operation.size() + 1 + row.label.size() + 1;
    if (begin > row.line.size())
        return std::string();
    return row.line.substr(begin, row.line.find('|', begin) - begin);
}

// Whether a row of a cut's output stands for the whole output's row: the same row, or that row with what
// the cut does not hold read as "???" (a field the whole shows by its bits, "bmAttributes.0-1" and the like,
// is one "???" row where its byte is missing), or a descriptor's raw bytes or a string's text as far as they
// are there.
bool StandsFor(const Row& row, const Row& whole) {
    if (row.line == whole.line)
        return true;
    const bool unknown = row.line.find("???") != std::string::npos &&
                         (row.operation == "AddAttribute") == (whole.operation == "AddAttribute");
    if (unknown && (row.label == whole.label || StartsWith(whole.label, row.label + ".")))
        return true;
    const size_t range = row.label.find('-');
    const bool bytes = StartsWith(row.label, "Bytes.") && range != std::string::npos &&
                       StartsWith(whole.label, row.label.substr(0, range + 1));
    const bool text = row.operation == whole.operation && row.label == whole.label &&
                      (row.label == "Value" || row.label == "MicrosoftString");
    return (bytes || text) && StartsWith(ValueOf(whole), ValueOf(row));
}

// Every row of the cut's output stands for a row of the whole output, in the whole's order, or is the one
// defect that says the bytes were cut. Rows of the whole may have no row in the cut: those a missing field
// would have given (a packet size's parts, an interval's units), and everything after the cut.
::testing::AssertionResult CutRowsMatchWholeRows(const std::string& cut, const std::string& whole) {
    const std::vector<Row> cutRows = Rows(cut);
    const std::vector<Row> wholeRows = Rows(whole);
    size_t place = 0;
    bool defect = false;
    for (const Row& row : cutRows) {
        size_t found = place;
        while (found < wholeRows.size() && !StandsFor(row, wholeRows[found]))
            ++found;
        if (found < wholeRows.size()) {
            place = found + 1;
            // A field shown by its bits stands for all of them.
            while (place < wholeRows.size() && StartsWith(wholeRows[place].label, row.label + "."))
                ++place;
            continue;
        }
        if (IsDefect(row) && !defect) {
            defect = true;
            continue;
        }
        return ::testing::AssertionFailure() << "no row of the whole from row " << place << " on for " << row.line;
    }
    return ::testing::AssertionSuccess();
}

using DecoderRun = std::function<void(OutputerImp&, int, const BYTE*, ULONG)>;

// The decoder runs of the shared sweep, each as one decoder over the bytes: the configuration walk, which
// the sweep runs in both layouts one after the other, is run in each alone.
std::vector<DecoderRun> SingleRuns() {
    constexpr int kFlagged = 11;
    std::vector<DecoderRun> runs;
    for (int run = 0; run < tdl::test::kDescriptorDecoderRuns; ++run) {
        if (run < 2 * kFlagged && run % kFlagged == kFlagged - 1) {
            for (bool grouped : {false, true})
                runs.push_back([nested = run >= kFlagged, grouped](OutputerImp& out, int mode, const BYTE* p, ULONG n) {
                    FullConfigDescOutputer(&out, nullptr, p, n).Output(mode, "T", "V", nested, grouped);
                });
        } else {
            runs.push_back([run](OutputerImp& out, int mode, const BYTE* p, ULONG n) {
                tdl::test::RunDescriptorDecoder(out, mode, run, p, n);
            });
        }
    }
    return runs;
}

TEST(DescShortCountTest, EveryShorterCountInEveryMode) {
    const std::vector<DecoderRun> runs = SingleRuns();
    for (const Bytes& sample : DescriptorSamples()) {
        for (int mode : kModes) {
            // Some decoder shows something at every count.
            std::vector<bool> shown(sample.size(), false);
            for (size_t run = 0; run < runs.size(); ++run) {
                auto emit = [&](size_t count) {
                    return Emit(Bytes(sample.begin(), sample.begin() + count),
                                [&](OutputerImp* out, const BYTE* p, ULONG n) { runs[run](*out, mode, p, n); });
                };
                const std::string whole = emit(sample.size());
                for (size_t count = 0; count < sample.size(); ++count) {
                    const std::string cut = emit(count);
                    shown[count] = shown[count] || !cut.empty();
                    EXPECT_TRUE(CutRowsMatchWholeRows(cut, whole)) << "sample of " << sample.size() << " bytes cut to "
                                                                   << count << ", mode " << mode << ", run " << run;
                }
            }
            EXPECT_EQ(std::vector<bool>(sample.size(), true), shown) << "mode " << mode;
        }
    }
}

TEST(DescShortCountTest, PlaceholderDecodersAtCountZero) {
    const BYTE none[1] = {0x09};
    auto allMissing = [](const std::string& calls) {
        size_t rows = 0;
        size_t start = 0;
        while (start < calls.size()) {
            const size_t end = calls.find('\n', start);
            const std::string line = calls.substr(start, end - start);
            start = end + 1;
            if (line.rfind("AddItem|", 0) != 0)
                continue;
            ++rows;
            if (line.find("|???|-") == std::string::npos && line.find("|\?\?\? (\?\?\?)|-") == std::string::npos)
                return false;
        }
        return rows > 0;
    };
    struct Case {
        const char* name;
        std::function<ULONG(OutputerImp*)> run;
    } cases[] = {
        {"configuration",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             ConfigDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"interface",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             UCHAR klass = 7;
             InterfaceDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, klass, false);
             EXPECT_EQ(7, klass);
             return consumed;
         }},
        {"association",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             UCHAR klass = 7;
             InterfaceAssocDescOutputer(out, nullptr, none, 0)
                 .Output(OUTPUT_MODE_GRID, "T", "V", consumed, klass, false);
             EXPECT_EQ(7, klass);
             return consumed;
         }},
        {"endpoint",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             EndpointDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"companion",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             CompanionEndpointDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"BOS",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             BosDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"USB 2.0 extension",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             Usb2DevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"SuperSpeed",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             SuperSpeedDevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"container ID",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             ContainerDevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"other capability",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             DevCapDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed);
             return consumed;
         }},
        {"generic",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             GenericDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"HID",
         [&](OutputerImp* out) {
             ULONG consumed = 9;
             HidClassDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", consumed, false);
             return consumed;
         }},
        {"qualifier",
         [&](OutputerImp* out) {
             DevQualifierDescOutputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V");
             return ULONG(0);
         }},
        {"USB 2.0 hub",
         [&](OutputerImp* out) {
             HubClassDescUsb2Outputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", false);
             return ULONG(0);
         }},
        {"SuperSpeed hub",
         [&](OutputerImp* out) {
             HubClassDescUsb3Outputer(out, nullptr, none, 0).Output(OUTPUT_MODE_GRID, "T", "V", false);
             return ULONG(0);
         }},
    };
    for (const Case& c : cases) {
        tdl::test::RecordingOutputImp out;
        EXPECT_EQ(0u, c.run(&out)) << c.name;
        EXPECT_TRUE(allMissing(out.Text())) << c.name << "\n" << out.Text();
        EXPECT_EQ(0u, out.Text().find("BeginValueGroup|T|V\n")) << c.name;
    }
}

} // namespace
