// The device-report exports of a live capture document on the default simulated machine: the whole files
// against golden copies, what a browser and an XML parser make of them, values that need escaping or
// another encoding, the time stamp, and every way the export can end (cancel, no file, a failed write, a
// damaged record). The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "WinFileDialogControl.h"
#include "WinModulesControl.h"
#include "WinSetupApiControl.h"
#include "WinVersionControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/system/ProgramVersion.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/System.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/UsbHub.h"
#include "app_core_tests_embedded.h"
#include "commdlg.h"
#include "platform/nt/kernel/NtClock.h"
#include "tests/support/AppStarter.h"
#include "tests/support/CheckedConnectionTree.h"
#include "tests/support/ExternalTools.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

namespace fs = std::filesystem;

using tdl::test::CommandResult;
using tdl::test::CountOf;
using tdl::test::HaveTool;
using tdl::test::RunCommand;

std::string Embedded(const unsigned char* bytes, size_t size) {
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

// Every line ends in CR LF, the last one included, and no LF stands alone.
bool AllLinesEndInCrLf(const std::string& text) {
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        return false;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r')
            return false;
    }
    return true;
}

class DeviceReportExport : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
        CTindaloftApp& app = m_starter.Make();
        app.m_strMachineName = "User@TDL-WORKSTATION";
        app.m_OSVersion.m_strDescription = "Microsoft Windows 7 Service Pack 1 (Build 7601)";
        app.m_Settings.MaxLogBuffer = 4096;
        app.m_Settings.ContinuousLogging = false;
        app.m_Settings.AutoCloseProgress = true;
        app.m_DriverInfo.LogBlockSize = 1024;
        win32::RegisterVersionResource(nullptr, win32::MakeFixedFileInfo(3, 41, 0, 627), {});
        m_dir = fs::temp_directory_path() / ("tdl-report-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_template = std::make_unique<CMultiDocTemplate>(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        m_doc = new CUSBLog;
        m_template->AddDocument(m_doc);
        ASSERT_TRUE(m_doc->OnNewDocument());
        m_checked = std::make_unique<tdl::test::CheckedConnectionTree>(m_doc->GetConnectionTree());
        win32::ClearModalRequests();
        // Kernel addresses differ from run to run; the reports print what the model holds.
        CStackTree* pStacks = m_doc->GetStackTree();
        for (auto* p = pStacks->m_StackMap.PGetFirstAssoc(); p != nullptr; p = pStacks->m_StackMap.PGetNextAssoc(p)) {
            for (const auto& [position, pObject] : p->value->DeviceObjectsByPosition())
                pObject->_NtDeviceObject = 0xFFFFFA8000000000ull + p->value->StackID * 0x1000ull + position * 0x100ull;
        }
    }
    void TearDown() override {
        m_checked.reset();
        if (m_doc != nullptr) {
            m_template->RemoveDocument(m_doc);
            delete m_doc;
        }
        m_template.reset();
        nt::clock::Reset();
        RegisterProgramVersionResource();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
        win32::ClearModalRequests();
        win32::ClearFileDialogRequests();
        win32::ResetSetupApi();
        win32::ResetModules();
        MachineTest::TearDown();
    }

    CHostController* Controller(INT_PTR i) { return m_doc->GetHostControllers()->GetAt(i); }
    // One object of each reporter kind, checked: the first controller, its root hub, the hub on its root
    // hub's first port and the storage device on its second.
    void CheckOneOfEachKind() {
        CUsbHub* pRoot = Controller(0)->GetRootHub();
        ASSERT_NE(nullptr, pRoot);
        ASSERT_NE(nullptr, pRoot->GetPort(1));
        ASSERT_NE(nullptr, pRoot->GetPort(1)->GetExternalHub());
        ASSERT_NE(nullptr, pRoot->GetPort(2));
        m_checked->Check(Controller(0));
        m_checked->Check(pRoot);
        m_checked->Check(pRoot->GetPort(1));
        m_checked->Check(pRoot->GetPort(2));
    }

    // The clock stands at this UTC instant while the report is written.
    static void StopClockAt(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
        SYSTEMTIME st{};
        st.wYear = year;
        st.wMonth = month;
        st.wDay = day;
        st.wHour = hour;
        st.wMinute = minute;
        st.wSecond = second;
        FILETIME ft{};
        ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
        nt::clock::UseVirtualClock();
        nt::clock::SetSystemTime(static_cast<LONGLONG>((ULONGLONG{ft.dwHighDateTime} << 32) | ft.dwLowDateTime));
    }

    // Chooses `name` in the save dialog and runs the export; the file's bytes afterwards.
    std::string Export(bool html, const std::string& name) {
        win32::QueueFileDialogChoice(PathOf(name));
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        if (html)
            m_doc->ExportHtmlReport();
        else
            m_doc->ExportXmlReport();
        return Contents(name);
    }
    std::string ExportHtml() { return Export(true, "report.htm"); }
    std::string ExportXml() { return Export(false, "report.xml"); }

    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }
    std::string Contents(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A copy of the text in a file of the test's folder (for the tools that read files).
    std::string Save(const std::string& name, const std::string& text) const {
        std::ofstream(PathOf(name), std::ios::binary) << text;
        return PathOf(name);
    }

    apptest::AppStarter m_starter;
    fs::path m_dir;
    std::unique_ptr<CMultiDocTemplate> m_template;
    CUSBLog* m_doc = nullptr;
    std::unique_ptr<tdl::test::CheckedConnectionTree> m_checked;
};

// Golden copies are compared byte for byte; TDL_WRITE_GOLDENS=<folder> writes what the test produced there.
void ExpectGolden(const std::string& actual, const std::string& golden, const char* name) {
    if (const char* folder = std::getenv("TDL_WRITE_GOLDENS"))
        std::ofstream(fs::path(folder) / name, std::ios::binary) << actual;
    EXPECT_EQ(golden, actual) << name;
}

TEST_F(DeviceReportExport, WithNoDeviceCheckedTheReportsHoldTheSystemAlone) {
    StopClockAt(2026, 12, 10, 10, 24, 46);
    const std::string html = ExportHtml();
    const std::string xml = ExportXml();
    ExpectGolden(html, Embedded(tdl::embedded::device_report_none_htm, tdl::embedded::device_report_none_htm_size),
                 "device_report_none.htm");
    ExpectGolden(xml, Embedded(tdl::embedded::device_report_none_xml, tdl::embedded::device_report_none_xml_size),
                 "device_report_none.xml");
    EXPECT_EQ((std::vector<std::string>{"HTML Device Report exported successfully.",
                                        "XML Device Report exported successfully."}),
              apptest::AppStarter::TakeBoxTexts());
}

TEST_F(DeviceReportExport, OneDeviceOfEachKindAgainstGoldenCopies) {
    CheckOneOfEachKind();
    StopClockAt(2026, 12, 10, 10, 24, 46);
    const std::string html = ExportHtml();
    const std::string xml = ExportXml();
    ExpectGolden(html, Embedded(tdl::embedded::device_report_each_htm, tdl::embedded::device_report_each_htm_size),
                 "device_report_each.htm");
    ExpectGolden(xml, Embedded(tdl::embedded::device_report_each_xml, tdl::embedded::device_report_each_xml_size),
                 "device_report_each.xml");

    // What the golden copies show, said once more where a careless update would lose it.
    EXPECT_TRUE(AllLinesEndInCrLf(html));
    EXPECT_TRUE(AllLinesEndInCrLf(xml));
    EXPECT_EQ(2u, CountOf(html, "<a name=\"top\"></a>"));
    EXPECT_EQ(4u, CountOf(html, "<td class=\"palegreen\"><b><font class=\"bold_std_black\">"));
    EXPECT_EQ(4u, CountOf(xml, "<Device Type="));
    EXPECT_NE(std::string::npos, html.find(">Stack&nbsp;ID</font>"));
    EXPECT_NE(std::string::npos, html.find(">0x0"));
    EXPECT_EQ(std::string::npos, xml.find("&nbsp;"));
    EXPECT_EQ(std::string::npos, xml.find(">0x"));
    EXPECT_EQ(0u,
              html.find("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
                        "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n<head>\r\n"
                        "    <meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\" />\r\n"));
}

// Well-formed XML: the XML report as it is; the page in the encoding its head declares (an XML parser reads
// only the XML declaration, which an XHTML page served as HTML leaves out), with its one DTD entity spelled
// as a character reference (the parser reads no DTD).
void ExpectWellFormed(const std::string& path, bool page) {
    const std::string command =
        page ? "iconv -f WINDOWS-1252 -t UTF-8 '" + path + "' | sed 's/&nbsp;/\\&#160;/g' | xmllint --noout -"
             : "xmllint --noout '" + path + "'";
    const CommandResult result = RunCommand(command);
    EXPECT_TRUE(result.ok) << path << "\n" << result.output;
}

TEST_F(DeviceReportExport, AnXmlParserAcceptsBothReportsAndCountsTheDevices) {
    if (!HaveTool("xmllint"))
        GTEST_SKIP() << "xmllint is not installed";
    m_checked->CheckAll();
    const std::string xml = ExportXml();
    ExportHtml();
    ExpectWellFormed(PathOf("report.xml"), false);
    ExpectWellFormed(PathOf("report.htm"), true);
    const CommandResult count = RunCommand("xmllint --xpath 'count(//Device)' '" + PathOf("report.xml") + "'");
    EXPECT_EQ(std::to_string(m_checked->CheckedCount()) + "\n", count.output);
    EXPECT_EQ(m_checked->CheckedCount(), CountOf(xml, "<Device Type="));
    EXPECT_EQ(10u, m_checked->CheckedCount()); // every controller and hub of the machine
}

// A value that needs escaping and the ANSI code page: mark-up characters, a German, a typographic and two
// Spanish characters (Windows-1252), and a control byte.
const char kAwkward[] = "A<b>&'\"Ger\xE4t \x92 \xBF\xA1\x01";
// The same text as the browser reads it back (UTF-8, serialized), up to the control byte.
const char kAwkwardInDom[] = "A&lt;b&gt;&amp;'\"Ger\xC3\xA4t \xE2\x80\x99 \xC2\xBF\xC2\xA1";

class DeviceReportValues : public DeviceReportExport {
protected:
    void SetUp() override {
        DeviceReportExport::SetUp();
        CUsbHub* pRoot = Controller(0)->GetRootHub();
        ASSERT_NE(nullptr, pRoot);
        pRoot->m_pDeviceClass->m_DeviceDescription = kAwkward;
        auto objects = pRoot->m_devstk->DeviceObjectsByPosition();
        ASSERT_EQ(2u, objects.size());
        ASSERT_NE(nullptr, objects[1].second->_Driver);
        objects[1].second->_Driver->m_DriverName = kAwkward;
        m_doc->GetHostSystem()->m_SystemName = kAwkward;
        static_cast<CTindaloftApp*>(AfxGetApp())->m_strMachineName = kAwkward;
        m_failedPort = pRoot->GetPort(3);
        ASSERT_NE(nullptr, m_failedPort);
        m_failedPort->m_ConnectionStatus = 2; // a failed enumeration: red in the page
        m_checked->Check(pRoot);
        m_checked->Check(m_failedPort);
    }
    CHubPort* m_failedPort = nullptr;
};

TEST_F(DeviceReportValues, AreEscapedInValuesAndLeftAloneInLabels) {
    const std::string html = ExportHtml();
    const std::string escaped = "A&lt;b&gt;&amp;&apos;&quot;Ger\xE4t \x92 \xBF\xA1?";
    EXPECT_EQ(3u, CountOf(html, escaped)) << "description, driver name and system name";
    EXPECT_EQ(std::string::npos, html.find(kAwkward));
    EXPECT_NE(std::string::npos, html.find("<font class=\"sml_black\">Driver&nbsp;Name</font>"));
    EXPECT_NE(std::string::npos, html.find("0x00000002 (<font color=\"red\">Device failed enumeration</font>)"));

    const std::string xml = ExportXml();
    EXPECT_EQ(3u, CountOf(xml, "A&lt;b&gt;&amp;'\"Ger\xC3\xA4t \xE2\x80\x99 \xC2\xBF\xC2\xA1?"))
        << "description, driver name and machine name, in UTF-8";
    EXPECT_NE(std::string::npos, xml.find("<ConnectionStatus Description=\"&lt;font color=&quot;red&quot;&gt;Device "
                                          "failed enumeration&lt;/font&gt;\">00000002</ConnectionStatus>"));
    if (!HaveTool("xmllint"))
        GTEST_SKIP() << "xmllint is not installed";
    ExpectWellFormed(PathOf("report.xml"), false);
    ExpectWellFormed(PathOf("report.htm"), true);
    const CommandResult read = RunCommand("xmllint --xpath 'string(//SystemName)' '" + PathOf("report.xml") + "'");
    EXPECT_EQ("A<b>&'\"Ger\xC3\xA4t \xE2\x80\x99 \xC2\xBF\xC2\xA1?\n", read.output);
}

TEST_F(DeviceReportValues, ABrowserReadsThePageAsWritten) {
    if (!HaveTool("chromium-headless-shell"))
        GTEST_SKIP() << "chromium-headless-shell is not installed";
    ExportHtml();
    const CommandResult dom = tdl::test::BrowserDom(PathOf("report.htm"));
    ASSERT_TRUE(dom.ok) << dom.output;
    const std::string& text = dom.output;
    EXPECT_NE(std::string::npos, text.find("<title>Tindaloft 3.41.0 - Device Report</title>"));
    for (const char* label : {"Tindaloft Version", "Binary Schema", "System Name", "Windows Platform", "TimeStamp"})
        EXPECT_EQ(1u, CountOf(text, std::string("<font class=\"sml_black\">") + label + "</font>")) << label;
    EXPECT_EQ(2u, CountOf(text, "<font class=\"bold_std_black\">")) << "one sub-heading per device";
    EXPECT_EQ(3u, CountOf(text, kAwkwardInDom)) << text;
    EXPECT_NE(std::string::npos, text.find("<font color=\"red\">Device failed enumeration</font>"));
}

// Every declaration of the page's style sheet ends where the browser expects it, so none is dropped.
TEST_F(DeviceReportExport, ABrowserAppliesEveryStyleDeclaration) {
    if (!HaveTool("chromium-headless-shell"))
        GTEST_SKIP() << "chromium-headless-shell is not installed";
    ExportHtml();
    const tdl::test::StyleCheck check = tdl::test::DroppedStyleDeclarations(PathOf("report.htm"));
    ASSERT_TRUE(check.ok);
    EXPECT_EQ("", check.dropped);
}

TEST_F(DeviceReportExport, TheTimeStampPrintsTheUtcFieldsEvenInADaylightSavingGap) {
    // 02:30 on the last Sunday of March does not exist in this zone's local time.
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone != nullptr ? oldZone : "";
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    StopClockAt(2026, 3, 29, 2, 30, 5);
    const std::string html = ExportHtml();
    const std::string xml = ExportXml();
    if (oldZone != nullptr)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    EXPECT_NE(std::string::npos, html.find("<font class=\"sml_black\">2026-03-29 02:30:05</font>"));
    EXPECT_NE(std::string::npos, xml.find("<TimeStamp>2026-03-29T02:30:05</TimeStamp>"));
}

TEST_F(DeviceReportExport, TheSaveDialogAsksForTheRightFileAndANameGetsItsExtension) {
    for (bool html : {true, false}) {
        win32::ClearFileDialogRequests();
        win32::QueueFileDialogChoice(PathOf("named"));
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        if (html)
            m_doc->ExportHtmlReport();
        else
            m_doc->ExportXmlReport();
        const char* extension = html ? "htm" : "xml";
        EXPECT_TRUE(fs::exists(PathOf(std::string("named.") + extension))) << extension;
        const auto requests = win32::FileDialogRequests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_TRUE(requests[0].save);
        EXPECT_EQ(extension, requests[0].defaultExtension);
        EXPECT_EQ(html ? "HTML Files (*.htm)|*.htm|All Files (*.*)|*.*" : "XML Files (*.xml)|*.xml|All Files (*.*)|*.*",
                  requests[0].filter);
        EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT), requests[0].flags);
        EXPECT_EQ("", requests[0].initialName);
    }
}

TEST_F(DeviceReportExport, ACancelWritesNothingAndAFileThatCannotBeOpenedIsTold) {
    for (bool html : {true, false}) {
        win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
        html ? m_doc->ExportHtmlReport() : m_doc->ExportXmlReport();
        EXPECT_TRUE(fs::is_empty(m_dir));
        EXPECT_TRUE(apptest::AppStarter::TakeBoxTexts().empty());

        const std::string path = PathOf(html ? "missing/report.htm" : "missing/report.xml");
        win32::QueueFileDialogChoice(path);
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failed to open");
        html ? m_doc->ExportHtmlReport() : m_doc->ExportXmlReport();
        EXPECT_EQ(std::vector<std::string>{"Failed to open:\n" + path}, apptest::AppStarter::TakeBoxTexts());
        EXPECT_TRUE(fs::is_empty(m_dir));
    }
}

TEST_F(DeviceReportExport, AFailedWriteIsToldInsteadOfSuccess) {
    for (const char* name : {"full.htm", "full.xml"}) {
        // A file that takes no byte: its writes, or its flush on closing, fail.
        fs::create_symlink("/dev/full", m_dir / name);
        win32::QueueFileDialogChoice(PathOf(name));
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES, "already exists");
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failed to write");
        std::string(name).back() == 'm' ? m_doc->ExportHtmlReport() : m_doc->ExportXmlReport();
        const auto boxes = apptest::AppStarter::TakeBoxTexts();
        ASSERT_EQ(2u, boxes.size()) << name;
        EXPECT_EQ("Failed to write:\n" + PathOf(name), boxes[1]) << name;
    }
}

TEST_F(DeviceReportExport, ADamagedRecordStopsTheReportWithoutSuccess) {
    // A symbolic link whose interface class and target are missing: the reporter's bounds check throws.
    CUsbHub* pRoot = Controller(0)->GetRootHub();
    ASSERT_NE(nullptr, pRoot);
    pRoot->m_pDeviceClass->m_SymbolicLinks.Add("\\\\?\\usb#damaged");
    m_checked->Check(Controller(0));
    m_checked->Check(pRoot);
    for (bool html : {true, false}) {
        win32::QueueFileDialogChoice(PathOf(html ? "damaged.htm" : "damaged.xml"));
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        html ? m_doc->ExportHtmlReport() : m_doc->ExportXmlReport();
        const auto boxes = apptest::AppStarter::TakeBoxTexts();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(std::string::npos, boxes[0].find("successfully")) << boxes[0];
    }
    const std::string html = Contents("damaged.htm");
    EXPECT_NE(std::string::npos, html.find("bold_std_black\">HostController<")) << "written up to the error";
    EXPECT_EQ(std::string::npos, html.find("</html>"));
    EXPECT_EQ("", Contents("damaged.xml"));
}

} // namespace
