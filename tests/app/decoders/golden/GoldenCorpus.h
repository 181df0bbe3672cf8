// The decoders' golden corpus: records of every family and descriptor byte strings, kept as files in this
// folder with what each one decodes to in the three media, compared byte for byte. A change to the decoders
// that is meant to leave their output alone proves it here; a change meant to alter it updates the expected
// texts in the same commit and says why.
//
// Each set is one file of inputs and three files of expected texts:
//   <set>.records    one record a line: the document it is decoded with ("-" none, "d" the corpus document),
//                    "+" when each shorter cut of it is decoded too, a blank, then the record's bytes in
//                    hexadecimal (the header and the DataSize payload bytes it counts)
//   <set>.grid.gz    what the Log Details pane shows of each record: the items a user sees, with every
//                    marker of the grid's dump, and what went to the data bar
//   <set>.xml.gz     each record's mark-up form through the XML back-end, as the XML report holds it
//   <set>.html.gz    each record's mark-up form through the HTML back-end, as the HTML report holds it
// A whole record's texts are kept in full; those of its cuts (every shorter DataSize, in an exact-size heap
// copy) as one 32-bit digest each, on one line. The texts are kept compressed: a failing comparison names the
// first record that differs with both texts, and leaves the whole expected and actual texts side by side in
// a folder of the system's temporary folder (tdl_golden) for a diff.
// The descriptor set keeps byte strings (descriptors.bytes, one a line, "+" for its shorter counts too)
// decoded by every descriptor decoder; the workload set keeps a capture file of the simulated machine
// (workloads.tdloft.gz), whose document is the context of its records.
//
// Regenerating, deliberately:
//   TDL_GOLDEN_UPDATE=texts  rewrites the expected texts from the stored inputs (an intended output change);
//   TDL_GOLDEN_UPDATE=all    also makes the inputs again: the records from the tests' builders and a new
//                            capture of the machine's workloads (only when the corpus itself grows).
// Run the suite's GoldenCorpus tests with the variable set, e.g.
//   TDL_GOLDEN_UPDATE=texts app_decoders_tests --gtest_filter='GoldenCorpus*'
// and commit the files that changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "windows.h"

class CUSBLog;

namespace golden {

using Bytes = std::vector<uint8_t>;

// The document a record is decoded with.
enum class Context : char { None = '-', Document = 'd' };

struct Input {
    Context context;
    Bytes record;
    bool withCuts = false;
};

// What TDL_GOLDEN_UPDATE asks for.
enum class Update { None, Texts, All };
Update RequestedUpdate();

std::filesystem::path Folder();

// Records of a set, read from or written to its file.
std::vector<Input> ReadInputs(const std::string& set);
void WriteInputs(const std::string& set, const std::vector<Input>& inputs);

// A file, whole; empty when it is missing.
std::string ReadText(const std::filesystem::path& path);
void WriteText(const std::filesystem::path& path, const std::string& text);
// A file compressed with gzip, whole; empty when it is missing.
std::string ReadCompressed(const std::filesystem::path& path);
void WriteCompressed(const std::filesystem::path& path, const std::string& text);

// The record sets the builders make: every sample record with its cuts, with and without a document; the
// IOCTL, call, URB and command-block families, many with their cuts.
std::vector<Input> SampleInputs();
std::vector<Input> IoctlInputs();
std::vector<Input> CallInputs();
std::vector<Input> UrbInputs();
std::vector<Input> CommandBlockInputs();
// Descriptor samples, each with its shorter counts.
std::vector<Bytes> DescriptorInputs();

// The corpus document: a device stack of each URB class kind (StackIDs 1 to 5) and mass-storage stacks of the
// other command sets (6: reduced block commands, 7: multimedia, 8: any other subclass), with their device
// objects.
CUSBLog* CorpusDocument();
constexpr USHORT kRbcStack = 6;
constexpr USHORT kMmcStack = 7;
constexpr USHORT kOtherCommandSetStack = 8;

// The capture of the simulated machine's workloads, loaded from the corpus (made again first when asked to)
// into a document of its own, which lives as long as this object.
class WorkloadCapture {
public:
    explicit WorkloadCapture(bool captureAgain);
    ~WorkloadCapture();
    WorkloadCapture(const WorkloadCapture&) = delete;
    WorkloadCapture& operator=(const WorkloadCapture&) = delete;

    // Null (after a test failure) when the capture could not be loaded.
    CUSBLog* Document() const { return m_document.get(); }

private:
    std::filesystem::path m_file;
    std::unique_ptr<CUSBLog> m_document;
};

} // namespace golden
