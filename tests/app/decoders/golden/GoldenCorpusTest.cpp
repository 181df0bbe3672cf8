// The golden corpus (GoldenCorpus.h): every record set decodes to the expected texts of the Log Details pane,
// the XML report and the HTML report, byte for byte; and so do the descriptor byte strings through every
// descriptor decoder.
#include "GoldenCorpus.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/LogOutputer.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "app/devices/reports/XmlOutput.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"
#include "common/RecordFrame.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/DescriptorDecoders.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"
#include "tests/support/RecordingOutputImp.h"
#include "tests/support/TestGridPane.h"

namespace golden {
namespace {

namespace fs = std::filesystem;

// What a user sees of a grid dump: the lines of items not hidden, with every marker of the dump (a hidden
// item and all below it are left out).
std::string Shown(const CString& dump) {
    std::string text;
    size_t hiddenIndent = std::string::npos;
    const std::string all(dump.GetString(), static_cast<size_t>(dump.GetLength()));
    for (size_t at = 0; at < all.size();) {
        const size_t end = all.find('\n', at);
        const std::string line = all.substr(at, end - at);
        at = end == std::string::npos ? all.size() : end + 1;
        const size_t indent = line.find_first_not_of(' ');
        if (hiddenIndent != std::string::npos && indent > hiddenIndent)
            continue;
        hiddenIndent = std::string::npos;
        if (line.find(" [hidden]") != std::string::npos) {
            hiddenIndent = indent;
            continue;
        }
        text += line + "\n";
    }
    return text;
}

std::string HexLine(const BYTE* bytes, size_t count) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 15];
    }
    return text;
}

std::string HtmlPath() {
    return (fs::temp_directory_path() / ("tdl_golden_" + std::to_string(::getpid()) + ".htm")).string();
}

std::string ReadHtml(const std::string& path) {
    std::string text = ReadText(path);
    fs::remove(path);
    return text;
}

// The three texts of one record.
struct Texts {
    std::string grid;
    std::string xml;
    std::string html;
};

std::string Describe(const Bytes& record);

// The blocks of a shown text under the categories the decoders write rows into (not the pane's own items of
// "Log Entry", "Target" and "IRP").
std::string KindCategories(const std::string& shown) {
    std::string text;
    bool keep = false;
    for (size_t at = 0; at < shown.size();) {
        const size_t end = shown.find('\n', at);
        const std::string line = shown.substr(at, end - at + 1);
        at = end == std::string::npos ? shown.size() : end + 1;
        if (line[0] != ' ')
            keep = line.rfind("Log Entry", 0) != 0 && line.rfind("Target", 0) != 0 && line.rfind("IRP", 0) != 0;
        if (keep)
            text += line;
    }
    return text;
}

// `shared` is a pane that shows the set's records one after the other, making its rows again from those of
// the records before: what it shows of each is what a new pane shows.
Texts DecodeRecord(CUSBLog* document, const _LOGHDR* record, tdl::test::LogDetailsPane& shared) {
    Texts texts;
    {
        tdl::test::RecordingDataBar bar;
        tdl::test::LogDetailsPane pane;
        if (!pane.ShowRecord(document, record))
            texts.grid = "no decoder\n";
        const std::string shown = Shown(pane.Grid().DumpModel(gkDumpAll));
        texts.grid += shown;
        if (bar.Buffers() > 0)
            texts.grid += "Data bar: " + bar.Title() + "\n  " + HexLine(bar.Bytes().data(), bar.Bytes().size()) + "\n";
        shared.ShowRecord(document, record);
        EXPECT_EQ(KindCategories(shown), KindCategories(Shown(shared.Grid().DumpModel(gkDumpAll)))) << Describe(
            Bytes(reinterpret_cast<const uint8_t*>(record), reinterpret_cast<const uint8_t*>(record) + LOGHDR_SIZE));
    }
    texts.xml = tdl::test::MarkupText(document, record) + "\n";
    // The document forgives an element closed once too often; the calls must not need it.
    {
        tdl::test::RecordingOutputImp calls;
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&calls, document, record));
        if (decoder)
            decoder->OutputMarkupRecord(OUTPUT_MODE_XML);
        EXPECT_TRUE(tdl::test::MarkupBalanced(calls.Text())) << calls.Text();
    }
    const std::string path = HtmlPath();
    {
        CHtmlOutput writer;
        if (writer.OpenByName(path.c_str())) {
            HtmlOutputImp html(&writer);
            std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&html, document, record));
            if (decoder)
                decoder->OutputMarkupRecord(OUTPUT_MODE_HTML);
        }
    }
    texts.html = ReadHtml(path);
    return texts;
}

Texts DecodeDescriptor(const Bytes& bytes) {
    // An exact-size heap copy, so that a read past the count shows.
    std::unique_ptr<BYTE[]> copy(new BYTE[bytes.empty() ? 1 : bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    const BYTE* data = bytes.empty() ? nullptr : copy.get();
    const auto count = static_cast<ULONG>(bytes.size());
    Texts texts;
    {
        tdl::test::TestGridPane pane;
        GridOutputImp grid(&pane);
        grid.ShowCategory("URB");
        tdl::test::RunEveryDescriptorDecoder(grid, OUTPUT_MODE_GRID, data, count);
        texts.grid += Shown(CGkPropertyGrid::DumpItems(pane.Category("URB")->GetChilds()));
    }
    {
        CXmlOutput writer;
        writer.BeginDocument("Descriptors");
        XmlOutputImp xml(&writer);
        tdl::test::RunEveryDescriptorDecoder(xml, OUTPUT_MODE_XML, data, count);
        const CString document = writer.GetMarkup().GetDocument();
        texts.xml.assign(document.GetString(), static_cast<size_t>(document.GetLength()));
    }
    const std::string path = HtmlPath();
    {
        CHtmlOutput writer;
        if (writer.OpenByName(path.c_str())) {
            HtmlOutputImp html(&writer);
            tdl::test::RunEveryDescriptorDecoder(html, OUTPUT_MODE_HTML, data, count);
        }
    }
    texts.html = ReadHtml(path);
    return texts;
}

// A short digest of a text: 32-bit FNV-1a.
std::string Digest(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (char c : text) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    char digits[12];
    std::snprintf(digits, sizeof digits, " %08x", hash);
    return digits;
}

// The texts of a whole set: each whole record's under a line naming its place in the set, and its cuts'
// digests on one line below.
struct SetTexts {
    void Add(size_t index, const std::string& what, const Texts& texts) {
        const std::string head = "#### " + std::to_string(index) + " " + what + "\n";
        grid += head + texts.grid;
        xml += head + texts.xml;
        html += head + texts.html;
    }
    void AddCuts(const std::vector<Texts>& cuts) {
        std::string gridLine = "cuts:";
        std::string xmlLine = gridLine;
        std::string htmlLine = gridLine;
        for (const Texts& cut : cuts) {
            gridLine += Digest(cut.grid);
            xmlLine += Digest(cut.xml);
            htmlLine += Digest(cut.html);
        }
        grid += gridLine + "\n";
        xml += xmlLine + "\n";
        html += htmlLine + "\n";
    }
    std::string grid;
    std::string xml;
    std::string html;
};

std::string Describe(const Bytes& record) {
    char text[64];
    const ULONG tag = LogHdr::LogType(record.data());
    std::snprintf(text, sizeof text, "%.4s %08x %u bytes", reinterpret_cast<const char*>(&tag),
                  LogHdr::Function(record.data()), LogHdr::DataSize(record.data()));
    return text;
}

// The record block of `text` that begins at `at`, up to the next.
std::string Block(const std::string& text, size_t at) {
    const size_t end = text.find("\n#### ", at);
    return text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
}

// Where a failed comparison leaves both texts whole, for a diff.
fs::path ComparisonFolder() {
    const fs::path folder = fs::temp_directory_path() / "tdl_golden";
    fs::create_directories(folder);
    return folder;
}

// The set's text against its file: equal, or the first record that differs with both texts.
void ExpectSame(const std::string& file, const std::string& actual) {
    const fs::path path = Folder() / (file + ".gz");
    if (RequestedUpdate() != Update::None) {
        WriteCompressed(path, actual);
        return;
    }
    const std::string expected = ReadCompressed(path);
    if (expected == actual)
        return;
    if (expected.empty()) {
        ADD_FAILURE() << file << ".gz is missing: make it with TDL_GOLDEN_UPDATE=texts";
        return;
    }
    WriteText(ComparisonFolder() / (file + ".expected"), expected);
    WriteText(ComparisonFolder() / (file + ".actual"), actual);
    size_t differ = 0;
    while (differ < expected.size() && differ < actual.size() && expected[differ] == actual[differ])
        ++differ;
    const size_t head = expected.rfind("#### ", differ);
    const size_t at = head == std::string::npos ? 0 : head;
    ADD_FAILURE() << file << " differs from byte " << differ << " (both texts are in " << ComparisonFolder()
                  << ")\n--- expected\n"
                  << Block(expected, at) << "--- actual\n"
                  << Block(actual, std::min(at, actual.size()));
}

void ExpectSet(const std::string& set, const SetTexts& texts) {
    ExpectSame(set + ".grid", texts.grid);
    ExpectSame(set + ".xml", texts.xml);
    ExpectSame(set + ".html", texts.html);
}

// The record in an exact-size heap copy, cut to `size` payload bytes.
std::unique_ptr<uint8_t[]> CopyOf(const Bytes& record, ULONG size) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[LOGHDR_SIZE + size]);
    std::copy(record.begin(), record.begin() + LOGHDR_SIZE + size, copy.get());
    tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, DataSize), size);
    return copy;
}

// A record set: its inputs made again when asked, else read; each decoded whole and, when marked, at every
// shorter size.
void CheckRecordSet(const std::string& set, std::vector<Input> (*make)()) {
    if (RequestedUpdate() == Update::All)
        WriteInputs(set, make());
    const std::vector<Input> inputs = ReadInputs(set);
    ASSERT_FALSE(inputs.empty()) << set << ".records is missing: make it with TDL_GOLDEN_UPDATE=all";
    SetTexts texts;
    tdl::test::LogDetailsPane shared;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Bytes& record = inputs[i].record;
        ASSERT_GE(record.size(), LOGHDR_SIZE) << set << " #" << i;
        const ULONG full = LogHdr::DataSize(record.data());
        ASSERT_EQ(record.size(), LOGHDR_SIZE + full) << set << " #" << i;
        CUSBLog* document = inputs[i].context == Context::Document ? CorpusDocument() : nullptr;
        const auto whole = CopyOf(record, full);
        texts.Add(i, Describe(record) + (document ? " in the document" : ""),
                  DecodeRecord(document, reinterpret_cast<const _LOGHDR*>(whole.get()), shared));
        if (!inputs[i].withCuts)
            continue;
        std::vector<Texts> cuts;
        for (ULONG size = 0; size < full; ++size) {
            const auto cut = CopyOf(record, size);
            cuts.push_back(DecodeRecord(document, reinterpret_cast<const _LOGHDR*>(cut.get()), shared));
        }
        texts.AddCuts(cuts);
    }
    ExpectSet(set, texts);
}

TEST(GoldenCorpusTest, SampleRecordsAndTheirCuts) {
    CheckRecordSet("samples", SampleInputs);
}

TEST(GoldenCorpusTest, IoctlRecordsAndTheirCuts) {
    CheckRecordSet("ioctl", IoctlInputs);
}

TEST(GoldenCorpusTest, CallRecordsAndTheirCuts) {
    CheckRecordSet("calls", CallInputs);
}

TEST(GoldenCorpusTest, UrbRecordsOfEveryFunctionAndClass) {
    CheckRecordSet("urb", UrbInputs);
}

TEST(GoldenCorpusTest, CommandBlocksOfEveryOperationCodeAndCommandSet) {
    CheckRecordSet("scsi", CommandBlockInputs);
}

TEST(GoldenCorpusTest, DescriptorsAndTheirShorterCounts) {
    const fs::path path = Folder() / "descriptors.bytes";
    if (RequestedUpdate() == Update::All) {
        std::string text;
        for (const Bytes& bytes : DescriptorInputs())
            text += "+" + HexLine(bytes.data(), bytes.size()) + "\n";
        WriteText(path, text);
    }
    const std::string text = ReadText(path);
    ASSERT_FALSE(text.empty()) << "descriptors.bytes is missing: make it with TDL_GOLDEN_UPDATE=all";
    SetTexts texts;
    size_t index = 0;
    for (size_t at = 0; at < text.size(); ++index) {
        const size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        const bool withCuts = !line.empty() && line[0] == '+';
        if (withCuts)
            line.erase(0, 1);
        Bytes bytes;
        for (size_t i = 0; i + 1 < line.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
        texts.Add(index, line, DecodeDescriptor(bytes));
        if (!withCuts)
            continue;
        std::vector<Texts> cuts;
        for (size_t count = 0; count < bytes.size(); ++count)
            cuts.push_back(DecodeDescriptor(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count))));
        texts.AddCuts(cuts);
    }
    ExpectSet("descriptors", texts);
}

TEST(GoldenCorpusTest, WorkloadCaptureOfTheSimulatedMachine) {
    const WorkloadCapture capture(RequestedUpdate() == Update::All);
    CUSBLog* document = capture.Document();
    ASSERT_NE(document, nullptr);
    const LogRecords::CLogRecords* records = document->GetLogRecords();
    ASSERT_GT(records->GetCount(), 0);
    SetTexts texts;
    tdl::test::LogDetailsPane shared;
    for (INT_PTR i = 0; i < records->GetCount(); ++i) {
        const _LOGHDR* record = records->GetAt(i);
        const auto* bytes = reinterpret_cast<const uint8_t*>(record);
        texts.Add(static_cast<size_t>(i), Describe(Bytes(bytes, bytes + LOGHDR_SIZE)),
                  DecodeRecord(document, record, shared));
    }
    ExpectSet("workloads", texts);
}

} // namespace
} // namespace golden
