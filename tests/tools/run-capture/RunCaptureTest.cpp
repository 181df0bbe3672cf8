// The run command's harness as a user runs it, from a folder of the test's own: its arguments, and one short
// session whose files are read as a user reads them (the records page in headless Chromium, the device
// report's XML with an XML parser).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/ExternalTools.h"
#include "tests/support/FileText.h"

namespace {

namespace fs = std::filesystem;
using tdl::test::CommandResult;
using tdl::test::CountOf;
using tdl::test::FileText;
using tdl::test::HaveTool;
using tdl::test::RunCommand;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class RunCommandTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tdl-run-" + std::to_string(::getpid()) + "-" +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    // The harness started in the test's folder with these arguments.
    CommandResult Run(const std::string& arguments) const {
        return RunCommand("cd '" + m_dir.string() + "' && '" TDL_RUN_CAPTURE "' " + arguments);
    }

    fs::path m_dir;
};

TEST_F(RunCommandTest, ArgumentsGiveTheStatedExits) {
    struct Case {
        const char* arguments;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {"--help", 0, "--seconds <n>"},
        {"-h", 0, "--out <folder>"},
        {"--seconds 2x", 2, "--seconds takes a whole number from 1 to 600, not \"2x\""},
        {"--seconds 0", 2, "not \"0\""},
        {"--seconds 601", 2, "not \"601\""},
        {"--seconds ''", 2, "not \"\""},
        {"--seconds", 2, "usage: run_capture"},
        {"--out", 2, "--out takes a folder, not \"\""},
        {"--out ''", 2, "--out takes a folder, not \"\""},
        {"--frobnicate", 2, "unknown argument \"--frobnicate\""},
    };
    for (const Case& c : cases) {
        const CommandResult result = Run(c.arguments);
        EXPECT_EQ(c.exitCode, result.exitCode) << c.arguments << "\n" << result.output;
        EXPECT_TRUE(Has(result.output, c.says)) << c.arguments << "\n" << result.output;
    }
    // Nothing was written for an argument refused, nor for the help.
    EXPECT_TRUE(fs::is_empty(m_dir));
}

// One session of a second, its folder given relative to where the caller stands.
TEST_F(RunCommandTest, ASessionWritesWhatAUserReads) {
    const CommandResult run = Run("--out session --seconds 1");
    ASSERT_EQ(0, run.exitCode) << run.output;
    const std::string& out = run.output;
    const fs::path folder = m_dir / "session";
    for (const char* file :
         {"session.tdloft", "device-report.htm", "device-report.xml", "records.htm", "main-window.png"}) {
        EXPECT_TRUE(fs::exists(folder / file)) << file;
        EXPECT_TRUE(Has(out, ": " + (folder / file).string() + "\n")) << file << "\n" << out;
    }
    // The main window's picture is the frame's size (its PNG header says so) and shows more than one colour (a
    // blank picture compresses to almost nothing).
    const std::string png = FileText(folder / "main-window.png");
    ASSERT_GT(png.size(), 24u);
    const auto word = [&](size_t at) {
        return (static_cast<unsigned>(static_cast<unsigned char>(png[at])) << 24) |
               (static_cast<unsigned>(static_cast<unsigned char>(png[at + 1])) << 16) |
               (static_cast<unsigned>(static_cast<unsigned char>(png[at + 2])) << 8) |
               static_cast<unsigned>(static_cast<unsigned char>(png[at + 3]));
    };
    const std::string size = std::to_string(word(16)) + " x " + std::to_string(word(20));
    EXPECT_TRUE(Has(out, "main window picture (" + size + "): ")) << size << "\n" << out;
    EXPECT_GE(word(16), 640u);
    EXPECT_GT(png.size(), 20000u) << "a picture of one colour";
    // Each message box once, as the user read it; none reported as unexpected.
    EXPECT_EQ(1u, CountOf(out, "message: HTML Device Report exported successfully.\n")) << out;
    EXPECT_EQ(1u, CountOf(out, "message: XML Device Report exported successfully.\n")) << out;
    EXPECT_FALSE(Has(out, "unexpected")) << out;
    EXPECT_TRUE(Has(out, " requests to the mouse\n")) << out;
    EXPECT_TRUE(Has(out, " requests to the stick\n")) << out;
    // Gaps depend on the host's load; whatever their number, the line says what is known of the records lost.
    EXPECT_TRUE(Has(out, "gaps: 0 (no record lost)\n") || Has(out, " lost)\n") || Has(out, " is not known)\n")) << out;
    // The files were written beside the outputs and moved in place.
    EXPECT_FALSE(fs::exists(folder / "unfinished"));

    // The device report holds both checked devices: the mouse with its descriptor and its HID stack.
    const std::string xml = FileText(folder / "device-report.xml");
    EXPECT_EQ(2u, CountOf(xml, "<Device Type=\"PortDevice\">")) << xml;
    EXPECT_TRUE(Has(xml, "<SetupClass>HIDClass</SetupClass>")) << xml;
    EXPECT_TRUE(Has(xml, "<Description>USB Input Device</Description>")) << xml;
    EXPECT_TRUE(Has(xml, "<DriverName>hidusb</DriverName>")) << xml;
    EXPECT_EQ(2u, CountOf(xml, "<DeviceDescriptor>")) << xml;
    if (HaveTool("xmllint")) {
        const CommandResult count =
            RunCommand("xmllint --xpath 'count(//Device)' '" + (folder / "device-report.xml").string() + "'");
        EXPECT_EQ("2\n", count.output);
    }

    if (!HaveTool("chromium-headless-shell"))
        GTEST_SKIP() << "chromium-headless-shell is not installed";
    const CommandResult dom = tdl::test::BrowserDom((folder / "records.htm").string());
    ASSERT_TRUE(dom.ok);
    const std::string& page = dom.output;
    EXPECT_TRUE(Has(page, "<meta charset=\"utf-8\">")) << page.substr(0, 400);
    EXPECT_TRUE(Has(page, "The capture holds ")) << page.substr(0, 2000);
    for (const char* column : {"#", "Type", "Time", "Request", "Cfg:Ifc:Epa", "Irp Status", "Data"})
        EXPECT_TRUE(Has(page, std::string("<th>") + column + "</th>")) << column;
    EXPECT_GT(CountOf(page, "<tr class=\"record\""), 100u);
    EXPECT_TRUE(Has(page, ">BULK_OR_INTERRUPT_TRANSFER</td>"));
    EXPECT_TRUE(Has(page, ">SUCCESS</td>"));
    EXPECT_TRUE(Has(page, ">01 : 00 : 81</td>"));
    // The stick's rows: command block wrappers with their SCSI commands, and status wrappers.
    EXPECT_TRUE(Has(page, ">USB Mass Storage Device</td>"));
    EXPECT_TRUE(Has(page, ">dCBWSignature</td>"));
    EXPECT_TRUE(Has(page, ">WRITE(10) [2a]</td>") || Has(page, ">READ(10) [28]</td>"));
    EXPECT_TRUE(Has(page, ">bCSWStatus</td>"));
    // The mouse's rows: its completed input reports carry their bytes, as the data bar showed them.
    size_t reports = 0;
    for (size_t at = page.find("<tr class=\"record\""); at != std::string::npos;
         at = page.find("<tr class=\"record\"", at + 1)) {
        const std::string row = page.substr(at, page.find("</tr>", at) - at);
        const size_t data = row.find("<td class=\"data\">");
        if (Has(row, ">USB Input Device</td>") && Has(row, " comp</td>") && data != std::string::npos &&
            row.compare(data + 17, 5, "</td>") != 0)
            ++reports;
    }
    EXPECT_GT(reports, 0u);
    // No request starts out as not supported.
    EXPECT_FALSE(Has(page, "NOT_SUPPORTED"));
    EXPECT_FALSE(Has(page, "c00000bb"));
}

// The desk beside the session: a wrong list is refused before anything is written, with the names there are;
// every activity beside the session's own mouse and stick leaves the session's lines as they are.
TEST_F(RunCommandTest, TheDeskOptionChoosesTheActivitiesBesideTheSession) {
    const std::string names = "the activities are idle, mouse, keyboard, stick, printer, plug";
    const struct {
        const char* arguments;
        std::string says;
    } refused[] = {
        {"--desk mosue", "run_capture: --desk: unknown activity \"mosue\"; " + names},
        {"--desk", "run_capture: --desk takes a list of activities separated by commas; " + names},
        {"--desk ''", "run_capture: --desk takes a list of activities separated by commas; " + names},
    };
    for (const auto& c : refused) {
        const CommandResult result = Run(c.arguments);
        EXPECT_EQ(2, result.exitCode) << c.arguments << "\n" << result.output;
        EXPECT_TRUE(Has(result.output, c.says + "\n")) << c.arguments << "\n" << result.output;
    }
    EXPECT_TRUE(fs::is_empty(m_dir));

    const CommandResult run = Run("--out session --seconds 1 --desk mouse,keyboard,stick,printer,plug");
    ASSERT_EQ(0, run.exitCode) << run.output;
    for (const char* line : {"capturing the mouse and the stick for 1 s\n", " requests to the mouse\n",
                             " requests to the stick\n", "records: ", "capture file: ", "reopened: "})
        EXPECT_TRUE(Has(run.output, line)) << line << "\n" << run.output;
}

} // namespace
